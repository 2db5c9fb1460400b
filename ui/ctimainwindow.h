#pragma once

#include <QMap>
#include <QSharedPointer>
#include <QWidget>

namespace Ui {
class CTIMainWindow;
}

class Addresses;
class AddressBookWindow;
class Click2DialComponent;
class ConfigTab;
class DialSuggestionModel;
class Line;
class QueueMonitorMainWindow;
class ReconnectWindow;
class RunningLineView;
class StickyBuddyList;
class SystemTrayIcon;
class UCConversationsList;

//! The window the user works in after login: the dial field, one view per running call, and the
//! conversation history. Owns the reconnect window and the tray component; lives until the
//! process ends.
class CTIMainWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(CTIMainWindow)

public:
    explicit CTIMainWindow(QWidget *parent = nullptr);
    ~CTIMainWindow() override;

    //! Sends the first requests to the server; called once after login, before show().
    void onApplicationStartup();
    void onApplicationShutdown();
    void restoreWindowGeometry();
    static QString getAppPartName() { return QStringLiteral("MainWindow"); }

    //! The views of the running calls, by call id.
    const QMap<QString, RunningLineView *> &lineViews() const { return m_lineViews; }
    ReconnectWindow *reconnectWindow() const { return m_reconnectWindow; }
    AddressBookWindow *addressBookWindow() const { return m_addressBookWindow; }
    StickyBuddyList *extensionMonitor() const { return m_stickyBuddyList; }
    ConfigTab *configTab() const { return m_configTab; }
    QueueMonitorMainWindow *queueMonitor() const { return m_queueMonitor.data(); }
    Click2DialComponent *clickToDial() const { return m_click2Dial; }

public slots:
    void lineOpenend(Line *line);
    void lineChanged(Line *line);
    void lineClosed(Line *line);
    void onDissconnect();
    void addressAdded(Addresses *contact);
    void addressDeleted(const QString &addressId);
    void onDialButtonClicked();
    void onAddressBookButtonClicked();
    void onQueueMonitorButtonClicked();
    void setNumberToDialEdit(const QString &number);
    void onHideShowToggleRequest();
    void quitApplication();

signals:
    void applicationQuitRequest();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    static void notify(Line *line);

    Ui::CTIMainWindow *ui;
    QMap<QString, RunningLineView *> m_lineViews;
    AddressBookWindow *m_addressBookWindow = nullptr;
    ReconnectWindow *m_reconnectWindow = nullptr;
    QSharedPointer<QueueMonitorMainWindow> m_queueMonitor;
    UCConversationsList *m_conversationsList = nullptr;
    ConfigTab *m_configTab = nullptr;
    StickyBuddyList *m_stickyBuddyList = nullptr;
    Click2DialComponent *m_click2Dial = nullptr;
    SystemTrayIcon *m_trayIcon = nullptr;
    DialSuggestionModel *m_suggestions = nullptr;
};
