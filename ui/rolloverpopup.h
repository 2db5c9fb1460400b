#pragma once

#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

class QIcon;
class QPropertyAnimation;

namespace Ui {
class RollOverPopUp;
}

//! The frameless pop-up that slides down at the top right of the screen to announce a call and
//! slides back up on the next line event. It has no parent and deletes itself after rolling out.
class RollOverPopUp final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(RollOverPopUp)

public:
    static constexpr int animationDurationMs = 1500;

    explicit RollOverPopUp(QWidget *parent = nullptr);
    ~RollOverPopUp() override;

    void setTitle(const QString &title);
    void setInnerTextLine1(const QString &text);
    void setInnerTextLine2(const QString &text);
    void setIcon(const QIcon &icon);
    //! Frames the picture in ":/images/avatar_frame.png".
    void setAvatar(const QIcon &icon);
    //! Asks the connector for this contact's picture; only that picture is shown.
    void setAddressbookId(const QString &addressId);
    QString addressbookId() const { return m_addressbookId; }
    QSize iconLabelSize() const;
    QSize avatarLabelSize() const;

    //! Slides in; unless duration is -1, rolls out by itself duration ms after the slide ended.
    //! From now on every change or close of any line rolls it out, but not the line event being
    //! delivered while it is rolled in.
    void rollIn(int duration);
    //! Whether screen readers were told of it as it rolled in: not when it replaced one telling the same.
    bool isTold() const { return m_told; }

    //! Just above the top edge, flush right on the screen.
    static QRect rollInStart(const QSize &popup, const QRect &screen);
    //! Just below what the system reserves at the top of the desktop (such as a menu bar).
    static QRect rollInEnd(const QSize &popup, const QRect &screen, const QRect &available);

public slots:
    //! Slides up and out, then hides and deletes the pop-up. Later calls do nothing.
    void rollOut();
    void showAddressPicture(const QPixmap &picture, const QString &addressId);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPropertyAnimation *slide(const QRect &from, const QRect &to);
    static QRect screenGeometry();

    Ui::RollOverPopUp *ui;
    QString m_addressbookId;
    QPixmap m_background;
    QPointer<QPropertyAnimation> m_slide;
    bool m_rollingOut = false;
    bool m_told = false;
};
