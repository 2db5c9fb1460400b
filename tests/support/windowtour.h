#pragma once

#include "addressbooktabwidget.h"
#include "addressbookwindow.h"
#include "configdialog.h"
#include "ctimainwindow.h"
#include "logindialog.h"
#include "pbxsimulator.h"
#include "queuemonitormainwindow.h"
#include "reconnectwindow.h"
#include "rolloverpopup.h"
#include "simcalls.h"
#include "stickybuddylist.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPointer>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>

#include <functional>
#include <memory>

// Every window of the client in turn, filled from what the simulator holds, as the user opens
// them: the main window with a ringing call and each of its tabs, the pop-up, the extension
// monitor, the address book (list, contact, editing), the queue monitor, the reconnect window,
// the configuration dialog and each of its tabs, the login dialog. The connector must be logged
// in to the simulator; the windows go with the tour.
class WindowTour
{
public:
    struct Caller
    {
        QString number;
        QString firstName;
        QString lastName;
        QString company;
    };
    //! Shown and exposed: look at it.
    using Visit = std::function<void(QWidget *window, const QString &name)>;

    WindowTour(PbxSimulator &sim, Visit visit) : m_sim(sim), m_visit(std::move(visit)) {}
    ~WindowTour()
    {
        for (const QString &call : qAsConst(m_calls))
            m_sim.calls().endCall(call);
        m_window.reset();
    }

    //! Answers what did not come in time, or nothing when every window was seen.
    QString run(const Caller &caller, const QString &contactId, int colleagues, int queueCalls)
    {
        m_window = std::make_unique<CTIMainWindow>();
        CTIMainWindow *window = m_window.get();
        window->onApplicationStartup();
        window->show();
        m_calls = m_sim.calls().startIncomingCall(caller.number, caller.firstName, caller.lastName, caller.company,
                                                  QStringLiteral("demo"));
        if (!waitFor([&] { return window->lineViews().size() == 1; }))
            return QStringLiteral("the call's view");
        if (!waitFor([&] { return window->findChild<QAbstractItemView *>(QStringLiteral("treeView"))->model()->rowCount() > 0; }))
            return QStringLiteral("the history");
        if (!visitEveryTab(window, QStringLiteral("main window")))
            return QStringLiteral("the main window");
        // An earlier pop-up may free itself while this one is looked at.
        QList<QPointer<QWidget>> popUps;
        for (QWidget *popUp : QApplication::topLevelWidgets()) {
            if (qobject_cast<RollOverPopUp *>(popUp))
                popUps << popUp;
        }
        for (const QPointer<QWidget> &popUp : qAsConst(popUps)) {
            if (popUp && popUp->isVisible() && !visit(popUp, QStringLiteral("pop-up")))
                return QStringLiteral("the pop-up");
        }

        StickyBuddyList *monitor = window->extensionMonitor();
        const QRegularExpression lampTexts(QStringLiteral("^txt_"));
        if (!waitFor([&] { return monitor->findChildren<QLabel *>(lampTexts).size() >= colleagues; }))
            return QStringLiteral("the colleagues' lamps");
        monitor->show();
        if (!visit(monitor, QStringLiteral("extension monitor")))
            return QStringLiteral("the extension monitor");

        AddressBookWindow *books = window->addressBookWindow();
        books->show();
        if (!waitFor([&] { return !books->tabs().isEmpty() && books->tabs().first()->isLoaded(); }))
            return QStringLiteral("the address book");
        AddressBookTabWidget *book = books->tabs().first();
        if (!visit(books, QStringLiteral("address book, list")))
            return QStringLiteral("the address book");
        book->loadAddressIntoView(contactId);
        if (!visit(books, QStringLiteral("address book, contact")))
            return QStringLiteral("the address book");
        book->findChild<QAbstractButton *>(QStringLiteral("editButton"))->click();
        if (!visit(books, QStringLiteral("address book, editing")))
            return QStringLiteral("the address book");
        books->hide();

        QueueMonitorMainWindow *queues = window->queueMonitor();
        queues->show();
        if (!waitFor([&] {
                const auto views = queues->findChildren<QAbstractItemView *>();
                return !views.isEmpty() && views.first()->model()->rowCount() >= queueCalls;
            })
            || !visitEveryTab(queues, QStringLiteral("queue monitor")))
            return QStringLiteral("the queue monitor");
        queues->hide();

        window->onDissconnect();
        if (!visit(window->reconnectWindow(), QStringLiteral("reconnect window")))
            return QStringLiteral("the reconnect window");
        window->reconnectWindow()->hide();

        ConfigDialog dialog;
        dialog.show();
        if (!visitEveryTab(&dialog, QStringLiteral("configuration dialog")))
            return QStringLiteral("the configuration dialog");
        dialog.hide();
        LoginDialog login;
        login.show();
        if (!visit(&login, QStringLiteral("login dialog")))
            return QStringLiteral("the login dialog");
        return QString();
    }

private:
    static bool waitFor(const std::function<bool()> &done)
    {
        const QDeadlineTimer deadline(10000);
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(20);
        }
        return true;
    }

    bool visit(QWidget *root, const QString &name)
    {
        const QPointer<QWidget> guard(root); // a pop-up leaves by itself
        root->window()->raise();
        if (!QTest::qWaitForWindowExposed(root->window()))
            return !guard;
        // Laid out as it ends up: a layout that grows the window asks for another pass.
        QWidget *window = root->window();
        for (int pass = 0; pass < 20 && guard; ++pass) {
            const QSize before = window->size();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QTest::qWait(5);
            if (guard && window->size() == before && window->size() == window->size().expandedTo(window->minimumSize()))
                break;
        }
        if (guard)
            m_visit(root, name);
        return true;
    }

    bool visitEveryTab(QWidget *root, const QString &name)
    {
        if (!visit(root, name))
            return false;
        for (QTabWidget *tabs : root->findChildren<QTabWidget *>()) {
            for (int i = 1; i < tabs->count(); ++i) {
                tabs->setCurrentIndex(i);
                if (!visit(root, name + QLatin1String(", ") + tabs->tabText(i).remove(QLatin1Char('&'))))
                    return false;
            }
            tabs->setCurrentIndex(0);
        }
        return true;
    }

    PbxSimulator &m_sim;
    Visit m_visit;
    std::unique_ptr<CTIMainWindow> m_window;
    QStringList m_calls;
};
