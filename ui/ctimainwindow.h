#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QSharedPointer>
#include <QSize>
#include <QTimer>
#include <QWidget>

namespace Ui {
class CTIMainWindow;
}

class Addresses;
class AddressBookWindow;
class Announcer;
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

    //! Bulk work of one pass of the event loop (see PassBudget) up to which call views are built
    //! and freed; the rest waits for the next. Showing them and laying out the list come on top,
    //! within one frame.
    static constexpr int viewPassBudgetMs = 5;
    //! While calls end in a burst, their views leave the list's layout at most this often.
    static constexpr int sweepIntervalMs = 50;
    //! Freeing this many views in a burst leaves enough unused heap to give back to the system,
    //! once no more have been freed for this long.
    static constexpr int heapReturnViews = 200;
    static constexpr int heapReturnDelayMs = 300;
    //! What a window manager's frame may add to a window's size, at most, where it is not known yet.
    static constexpr QSize decorationRoom{16, 56};
    //! The running calls' area grows up to this share of the screen's height, then scrolls.
    static constexpr double lineAreaScreenShare = 0.4;
    //! Keys of the everyday work; the newest call's are the call view's own.
    inline static const QKeySequence dialFieldKeys{Qt::CTRL | Qt::Key_L};
    inline static const QKeySequence addressBookKeys{Qt::CTRL | Qt::Key_B};
    inline static const QKeySequence monitorKeys{Qt::CTRL | Qt::Key_M};

    //! The views of the running calls, by call id; a line's view comes in the next event-loop pass.
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
    //! The keyboard in the dial field, its text chosen: typing replaces it.
    void focusDialField();
    //! The running call shown last, or null.
    RunningLineView *newestLineView() const;
    void onHideShowToggleRequest();
    void quitApplication();

signals:
    //! The program should end: the tray's quit, or the window closed while there is no tray.
    void applicationQuitRequest();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    static void notify(Line *line);
    bool isPending(Line *line) const;
    //! Hides a view at once; it leaves the list and is freed in later passes.
    void retireView(RunningLineView *view);
    //! The next pass of buildPendingViews() in delayMs at the latest.
    void scheduleViewPass(int delayMs = 0);
    void buildPendingViews();
    //! Rolls in the pop-up of a batch of lines once all its views are built.
    void notifyBurst();
    //! Tells a screen reader the call's party and state.
    void announceCall(const RunningLineView *view);
    int maxLineAreaHeight() const;
    void fitLineArea();
    void fitLineAreaWidth();
    //! The first place, where nothing is stored: clear of the extension monitor.
    void placeClearOfMonitor();
    void addShortcuts();

    Ui::CTIMainWindow *ui;
    QMap<QString, RunningLineView *> m_lineViews;
    //! Lines reported open whose views are not built yet, in the order they opened; the map
    //! tells which entry is still current for its call id.
    QList<QPointer<Line>> m_pendingLines;
    QHash<QString, const Line *> m_pendingByCallId;
    //! Lines whose views were built since the last pop-up check.
    QList<QPointer<Line>> m_burst;
    //! Views of ended calls, hidden, still in the list's layout; those taken out of it, waiting
    //! to be freed; and how many were freed in a row.
    QList<RunningLineView *> m_retiredViews;
    QList<RunningLineView *> m_unlistedViews;
    QElapsedTimer m_lastSweep;
    int m_freedViews = 0;
    QTimer m_heapReturn;
    QTimer m_viewPass;
    int m_grownForLines = 0;
    int m_movedUpForLines = 0;
    AddressBookWindow *m_addressBookWindow = nullptr;
    ReconnectWindow *m_reconnectWindow = nullptr;
    Announcer *m_announcer = nullptr;
    QSharedPointer<QueueMonitorMainWindow> m_queueMonitor;
    UCConversationsList *m_conversationsList = nullptr;
    ConfigTab *m_configTab = nullptr;
    StickyBuddyList *m_stickyBuddyList = nullptr;
    Click2DialComponent *m_click2Dial = nullptr;
    SystemTrayIcon *m_trayIcon = nullptr;
    DialSuggestionModel *m_suggestions = nullptr;
};
