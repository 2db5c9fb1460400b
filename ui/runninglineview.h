#pragma once

#include "calldirection.h"
#include "callstate.h"

#include <QKeySequence>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <utility>

class Line;

namespace Ui {
class RunningLineView;
}

//! One running call in the main window's line list: state, duration, caller and the call
//! buttons. Follows its line's changed(); the line belongs to the connector.
class RunningLineView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(RunningLineView)

public:
    //! The transfer button's fixed target; there is no field to choose another.
    static const QString transferTarget;
    //! The main window's keys for the newest call, named in the buttons' tool tips.
    inline static const QKeySequence hangupKeys{Qt::CTRL | Qt::SHIFT | Qt::Key_H};
    inline static const QKeySequence holdKeys{Qt::CTRL | Qt::SHIFT | Qt::Key_P};
    inline static const QKeySequence transferKeys{Qt::CTRL | Qt::SHIFT | Qt::Key_T};

    RunningLineView(Line *line, QWidget *parent = nullptr);
    ~RunningLineView() override;

    //! What a screen reader reads: the party and number, and the state and duration as they are now.
    QString spokenName() const;
    QString spokenDescription() const;
    //! The state alone, as a screen reader tells it when it changes.
    QString spokenState() const;
    //! The buttons in the order Tab should reach them, as they stand from left to right.
    QList<QWidget *> tabStops() const;
    //! Hold and transfer are offered where their buttons show.
    bool offersHold() const;
    bool offersTransfer() const;

signals:
    //! A new state to tell (not a new second of the duration).
    void stateChanged();

public slots:
    void updateView();
    void hangupCall();
    void holdCall();
    void recordCall();
    void transferCall();
    //! Every view receives every picture; only the own caller's, and only a real one, is taken.
    void showAddressPicture(const QPixmap &picture, const QString &addressId);

private:
    //! A new state is told to a screen reader; the duration is read when asked.
    void announceState();

    Ui::RunningLineView *ui;
    QPointer<Line> m_line;
    //! Follows the user's clicks only, never the state the server reports.
    bool m_held = false;
    //! The state and direction the call-state icon shows; the icon is set again only when they change.
    std::pair<CallState::State, CallDirection::Direction> m_shownIcon{CallState::State(-1),
                                                                      CallDirection::Direction(-1)};
};
