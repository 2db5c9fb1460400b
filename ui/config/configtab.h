#pragma once

#include <QHash>
#include <QString>
#include <QWidget>

namespace Ui {
class ConfigTab;
}

class ConfigTab_Phone;
class ConfigTab_Queue;
class ForwardPreset;
class Phone;
class QLayout;
class Queue;

//! The main window's "Configure" page: the active forwarding preset, the phones and queues the
//! user can log in to, do-not-disturb, and the way to the configuration dialog. Every change goes
//! to the server; what the page shows comes back from it. The records are the connector's.
class ConfigTab final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(ConfigTab)

public:
    explicit ConfigTab(QWidget *parent = nullptr);
    ~ConfigTab() override;

    //! Asks for the phone configuration; at the end of the start-up.
    void initialise();

public slots:
    void forwardPresetAdded(ForwardPreset *preset);
    void activeForwardPresetChanged(const QString &presetId);
    void onDNDStatusChanged(const bool &dndIsActivated);
    void phoneAdded(Phone *phone);
    void phoneChanged(Phone *phone);
    void logoutPhone(const QString &phoneId);
    void loginPhone(const QString &phoneId);
    void queueAdded(Queue *queue);
    void queueChanged(Queue *queue);
    void logoutQueue(const QString &queueId);
    void loginQueue(const QString &queueId);
    void onAdvancedConfigButtonClicked();
    void onCallForwardDropDownActivated(int index);
    void dndCheckboxToggled(const bool &dndIsActive);
    //! The server no longer lists it: its item or row goes.
    void forwardPresetRemoved(const QString &presetId);
    void phoneRemoved(Phone *phone);
    void queueRemoved(Queue *queue);

private:
    //! The button of the last phone or queue row of that layout, or otherwise when it has none.
    static QWidget *lastRow(QLayout *rows, QWidget *otherwise);
    Ui::ConfigTab *ui;
    //! The drop-down's text while there is no preset to choose.
    QString m_noPresetText;
    //! The rows by the id of their phone or queue; records without an id get none.
    QHash<QString, ConfigTab_Phone *> m_phoneRows;
    QHash<QString, ConfigTab_Queue *> m_queueRows;
};
