#include "addressbooktabwidget.h"
#include "addressbookwindow.h"
#include "connectedsimulator.h"
#include "cticonnector.h"
#include "ctimainwindow.h"
#include "line.h"
#include "queuemonitormainwindow.h"
#include "reconnectwindow.h"
#include "registry.h"
#include "rolloverpopup.h"
#include "runninglineview.h"
#include "settings.h"
#include "simcalls.h"
#include "stickybuddylist.h"
#include "ucconversationslist.h"

#include <QApplication>
#include <QCompleter>
#include <QScreen>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

// The main window as the application builds it after login, against the simulator.
class tst_CTIMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void callViewsFollowTheLines();
    void callsLiveThroughAnOutage();
    void linesGoneBeforeTheirViews();
    void aBurstOfLines();
    void dialField_data();
    void dialField();
    void conversationClickFillsTheDialField();
    void suggestionsFollowTheContacts();
    void connectionLostShowsTheReconnectWindow();
    void addressBookWindow();
    void queueMonitorButton_data();
    void queueMonitorButton();
    void geometrySurvivesARestart_data();
    void geometrySurvivesARestart();

private:
    QStringList viewOrder() const;
    QList<RollOverPopUp *> popUps() const;
    int suggestionRows() const { return window->findChild<QCompleter *>()->model()->rowCount(); }
    void reopen()
    {
        delete window;
        init();
    }

    ConnectedSimulator sim{"127.0.0.51"};
    CTIConnector *connector = CTIConnector::instance();
    CTIMainWindow *window = nullptr;
};

void tst_CTIMainWindow::initTestCase()
{
    sim.logIn();
}

void tst_CTIMainWindow::init()
{
    window = new CTIMainWindow;
    QCOMPARE(Registry::instance()->getCTIMainWindow(), window);
    window->onApplicationStartup();
    window->show();
}

void tst_CTIMainWindow::cleanup()
{
    for (const QString &id : sim.calls().callIds())
        sim.calls().endCall(id);
    QTRY_VERIFY(window->lineViews().isEmpty());
    delete window;
    QCOMPARE(Registry::instance()->getCTIMainWindow(), nullptr);
    sim.clearReceived();
}

QStringList tst_CTIMainWindow::viewOrder() const
{
    // The order on screen is the layout's; read each view's number label.
    QStringList numbers;
    auto *layout = window->findChild<QVBoxLayout *>(QStringLiteral("lineListLayout"));
    for (int i = 0; i < layout->count(); ++i) {
        if (QWidget *view = layout->itemAt(i)->widget())
            numbers << view->findChild<QLabel *>(QStringLiteral("phoneNumberLabel"))->text();
    }
    return numbers;
}

QList<RollOverPopUp *> tst_CTIMainWindow::popUps() const
{
    QList<RollOverPopUp *> shown;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *popUp = qobject_cast<RollOverPopUp *>(widget); popUp && popUp->isVisible())
            shown << popUp;
    }
    return shown;
}

void tst_CTIMainWindow::callViewsFollowTheLines()
{
    const QString first = sim.calls().startIncomingCall(QStringLiteral("0711 1111"), QStringLiteral("Anna"),
                                                        QStringLiteral("Meyer")).value(0);
    QTRY_COMPARE(viewOrder(), QStringList{"0711 1111"});
    // A ringing incoming call rolls in a pop-up; the window itself is not raised for it.
    QTRY_VERIFY(!popUps().isEmpty());

    const QString second = sim.calls().startIncomingCall(QStringLiteral("0711 2222")).value(0);
    QTRY_COMPARE(viewOrder(), (QStringList{"0711 1111", "0711 2222"}));
    const QPointer<RunningLineView> secondView = window->lineViews().value(second);

    // A change neither adds nor moves a view.
    QSignalSpy changed(connector, &CTIConnector::lineChanged);
    QVERIFY(sim.calls().answerCall(second));
    QTRY_VERIFY(!changed.isEmpty());
    QCOMPARE(viewOrder(), (QStringList{"0711 1111", "0711 2222"}));
    QCOMPARE(window->lineViews().value(second), secondView.data());

    QVERIFY(sim.calls().endCall(first));
    QTRY_COMPARE(viewOrder(), QStringList{"0711 2222"});
    QVERIFY(secondView);
    QTRY_VERIFY(popUps().isEmpty());
}

// After a drop the server's line status is learnt again: the calls keep their views, in their
// places and with their hold marks, and the pop-up of a call answered meanwhile rolls out.
void tst_CTIMainWindow::callsLiveThroughAnOutage()
{
    const QString held = sim.calls().startIncomingCall(QStringLiteral("0711 3333")).value(0);
    QSignalSpy changed(connector, &CTIConnector::lineChanged);
    QVERIFY(sim.calls().answerCall(held));
    QTRY_COMPARE(window->lineViews().size(), 1);
    QTRY_VERIFY(!changed.isEmpty()); // answered: the messages may come in separate passes
    const QPointer<RunningLineView> heldView = window->lineViews().value(held);
    auto *holdButton = heldView->findChild<QPushButton *>(QStringLiteral("holdButton"));
    changed.clear();
    holdButton->click();
    // The hold reaches the server and comes back as a change of the line (more of the answer's
    // messages may still come: a read's messages may be handled over several passes).
    QTRY_VERIFY(!sim.receivedCommands(QStringLiteral("hold")).isEmpty());
    QTRY_VERIFY(!changed.isEmpty());
    const QString ringing = sim.calls().startIncomingCall(QStringLiteral("0711 4444")).value(0);
    QTRY_COMPARE(viewOrder(), (QStringList{"0711 3333", "0711 4444"}));
    QTRY_COMPARE(popUps().size(), 1);
    const QPointer<RunningLineView> ringingView = window->lineViews().value(ringing);

    bool answered = false; // as the server reports it after the reconnection
    const auto learn = [&](Line *line) { answered |= line->callId() == ringing && line->callState() == CallState::Connected; };
    QObject context;
    connect(connector, &CTIConnector::lineOpenend, &context, learn);
    connect(connector, &CTIConnector::lineChanged, &context, learn);
    sim.dropAllConnections();
    QTRY_VERIFY(connector->isReconnecting());
    QVERIFY(sim.calls().answerCall(ringing));
    QTRY_VERIFY_WITH_TIMEOUT(answered, 15000);
    QTRY_VERIFY(popUps().isEmpty());
    QVERIFY(heldView && ringingView);
    QCOMPARE(window->lineViews().value(held), heldView.data());
    QCOMPARE(window->lineViews().value(ringing), ringingView.data());
    QCOMPARE(viewOrder(), (QStringList{"0711 3333", "0711 4444"}));
    QVERIFY(holdButton->isChecked());
}

// Views come a pass after their lines: what happened to a line meanwhile must not be undone.
void tst_CTIMainWindow::linesGoneBeforeTheirViews()
{
    const auto event = [](const QString &id, int state, const QString &number) {
        return QStringLiteral(R"({"type":"event","name":"updateLineStatus","data":{"callid":"%1","state":%2,"direction":1,"remote_number":"%3"}})")
            .arg(id).arg(state).arg(number);
    };
    const auto status = [](const QString &id, const QString &number) {
        return QStringLiteral(R"({"type":"response","name":"requestLineStatus","data":{"lines":{"%1":{"callid":"%1","state":2,"direction":1,"remote_number":"%2"}}}})")
            .arg(id, number);
    };
    // In one pass: a call that rang and ended at once; one reported open twice over.
    connector->onMessage(event(QStringLiteral("brief"), 1, QStringLiteral("0711 0001")));
    connector->onMessage(event(QStringLiteral("brief"), 3, QStringLiteral("0711 0001")));
    connector->onMessage(status(QStringLiteral("twice"), QStringLiteral("0711 0002")));
    connector->onMessage(status(QStringLiteral("twice"), QStringLiteral("0711 0003")));
    QTRY_COMPARE(viewOrder(), QStringList{"0711 0003"});
    QCOMPARE(window->lineViews().keys(), QStringList{"twice"});
    QTest::qWait(50);
    QCOMPARE(viewOrder(), QStringList{"0711 0003"});
    QVERIFY(popUps().isEmpty());
    connector->onMessage(event(QStringLiteral("twice"), 3, QStringLiteral("0711 0003")));
}

void tst_CTIMainWindow::aBurstOfLines()
{
    const int count = 30;
    const auto callId = [](int i) { return QStringLiteral("burst-%1").arg(i, 2, 10, QLatin1Char('0')); };
    QJsonObject lines;
    QStringList numbers;
    for (int i = 0; i < count; ++i) {
        numbers << QStringLiteral("0711 1%1").arg(i, 3, 10, QLatin1Char('0'));
        lines.insert(callId(i), QJsonObject{{"callid", callId(i)}, {"state", i % 2 ? 2 : 1}, {"direction", 1},
                                            {"remote_number", numbers.last()}});
    }
    // In the lower half of the screen: the window moves up as it grows, and back as it shrinks.
    const QRect available = window->screen()->availableGeometry();
    window->move(available.left(), available.bottom() - window->frameGeometry().height() - 20);
    const QPoint place = window->pos();
    const int formHeight = window->height();
    auto *area = window->findChild<QScrollArea *>(QStringLiteral("lineScrollArea"));
    const int emptyAreaHeight = area->height();

    sim.pushResponse(QStringLiteral("requestLineStatus"), QJsonObject{{"lines", lines}});
    QTRY_COMPARE(viewOrder(), numbers);
    // Pop-ups roll in one over the other: only the newest ringing call's is rolled in.
    QTRY_COMPARE(popUps().size(), 1);
    QCOMPARE(popUps().at(0)->findChild<QLabel *>(QStringLiteral("textLine1Label"))->text(), numbers.at(count - 2));

    // The calls take up to their share of the screen and scroll beyond it; the window grows for
    // them, but not past the screen.
    QTRY_VERIFY(area->verticalScrollBar()->maximum() > 0);
    QVERIFY(area->height() <= available.height() * CTIMainWindow::lineAreaScreenShare);
    QVERIFY(window->height() > formHeight);
    QVERIFY(available.contains(window->frameGeometry()));

    // What the window grew and moved by for the calls is not stored as the user's choice.
    QVERIFY(window->close());
    QCOMPARE(Settings::instance()->getValueForKey(QStringLiteral("MainWindow/height")).toInt(), formHeight);
    QCOMPARE(Settings::instance()->getValueForKey(QStringLiteral("MainWindow/y")).toInt(), place.y());
    window->show();

    // Every other call ends in one burst: the rest keep their places and their turn for Tab.
    const auto end = [&](int i) {
        sim.pushEvent(QStringLiteral("updateLineStatus"), QJsonObject{{"callid", callId(i)}, {"state", 3}, {"direction", 1}});
    };
    // An ended call's view is out of sight at once, and the keyboard on it goes nowhere rather
    // than onto another call's buttons.
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    window->lineViews().value(callId(1))->findChild<QPushButton *>(QStringLiteral("hangupButton"))->setFocus();
    QHash<QString, QPointer<RunningLineView>> ending;
    for (int i = 1; i < count; i += 2)
        ending.insert(callId(i), window->lineViews().value(callId(i)));
    bool endedInSight = false;
    QStringList newest; // what the keys for the newest call reach as each call ends
    QObject context;
    connect(connector, &CTIConnector::lineClosed, &context, [&](Line *line) {
        const QPointer<RunningLineView> view = ending.value(line->callId());
        endedInSight |= view && view->isVisible();
        if (const RunningLineView *shown = window->newestLineView())
            newest << shown->findChild<QLabel *>(QStringLiteral("phoneNumberLabel"))->text();
    });
    QSignalSpy closed(connector, &CTIConnector::lineClosed);
    QStringList left;
    for (int i = 0; i < count; ++i) {
        if (i % 2)
            end(i);
        else
            left << numbers.at(i);
    }
    QTRY_COMPARE(closed.count(), count / 2);
    QCOMPARE(window->lineViews().size(), count - count / 2);
    QTRY_COMPARE(window->findChildren<RunningLineView *>().size(), left.size());
    QCOMPARE(viewOrder(), left);
    QStringList tabbed;
    auto *dialButton = window->findChild<QPushButton *>(QStringLiteral("dialPushButton"));
    for (QWidget *w = dialButton->nextInFocusChain(); w != dialButton; w = w->nextInFocusChain()) {
        if (w->objectName() == QLatin1String("hangupButton") && w->isVisibleTo(window))
            tabbed << w->parentWidget()->findChild<QLabel *>(QStringLiteral("phoneNumberLabel"))->text();
    }
    QCOMPARE(tabbed, left);
    QCOMPARE(newest.value(count / 2 - 1), left.last());
    // A click on a call's background leaves the keyboard where it is.
    for (const RunningLineView *view : window->findChildren<RunningLineView *>())
        QCOMPARE(view->focusPolicy(), Qt::NoFocus);
    QVERIFY(!endedInSight);
    QVERIFY(!QApplication::focusWidget() || !qobject_cast<RunningLineView *>(QApplication::focusWidget()->parentWidget()));
    auto *list = window->findChild<QVBoxLayout *>(QStringLiteral("lineListLayout"));
    QTRY_COMPARE(area->height(), std::min(list->sizeHint().height(), int(available.height() * CTIMainWindow::lineAreaScreenShare)));

    for (int i = 0; i < count; i += 2)
        end(i);
    QTRY_VERIFY(window->lineViews().isEmpty());
    QTRY_VERIFY(!window->findChild<RunningLineView *>());
    // ... and gives it back when they end.
    QTRY_COMPARE(area->height(), emptyAreaHeight);
    QCOMPARE(window->height(), formHeight);
    QCOMPARE(window->pos(), place);
    QTRY_VERIFY(popUps().isEmpty());
}

void tst_CTIMainWindow::dialField_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byReturn");
    QTest::addColumn<QStringList>("dialled");

    QTest::newRow("button") << "0711 4444" << false << QStringList{"0711 4444"};
    QTest::newRow("return") << "+49 (711) 5555" << true << QStringList{"+49 (711) 5555"};
    QTest::newRow("empty field") << "" << false << QStringList{};
}

void tst_CTIMainWindow::dialField()
{
    QFETCH(QString, typed);
    QFETCH(bool, byReturn);
    QFETCH(QStringList, dialled);

    auto *field = window->findChild<QLineEdit *>(QStringLiteral("dialerLineEdit"));
    field->setText(typed);
    if (byReturn)
        QTest::keyClick(field, Qt::Key_Return);
    else
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("dialPushButton")), Qt::LeftButton);

    QCOMPARE(sim.sent(QStringLiteral("dialNumber"), QStringLiteral("number")), dialled);
    QCOMPARE(field->text(), typed);
}

void tst_CTIMainWindow::conversationClickFillsTheDialField()
{
    auto *field = window->findChild<QLineEdit *>(QStringLiteral("dialerLineEdit"));
    field->setText(QStringLiteral("old"));
    emit window->findChild<UCConversationsList *>()->onNumberClick(QStringLiteral("0711 6666"));
    QCOMPARE(field->text(), QStringLiteral("0711 6666"));
}

void tst_CTIMainWindow::suggestionsFollowTheContacts()
{
    const QJsonObject meyer{{"n_given", "Anna"},
                            {"n_family", "Meyer"},
                            {"tel_work", "030 1234"},
                            {"tel_home", ""},
                            {"tel_cell_private", "0170 555"},
                            {"tel_cell", "0171 999"}};
    sim.pushEvent(QStringLiteral("addressAdded"), {{"id", "c1"}, {"address", meyer}});
    QTRY_COMPARE(suggestionRows(), 2);

    // A change replaces the contact's rows; a deletion takes them away.
    QJsonObject changed = meyer;
    changed.insert(QStringLiteral("tel_home"), QStringLiteral("030 9876"));
    sim.pushEvent(QStringLiteral("addressChanged"), {{"id", "c1"}, {"address", changed}});
    QTRY_COMPARE(suggestionRows(), 3);
    sim.pushEvent(QStringLiteral("addressDeleted"), {{"id", "c1"}});
    QTRY_COMPARE(suggestionRows(), 0);
}

void tst_CTIMainWindow::connectionLostShowsTheReconnectWindow()
{
    window->showMinimized();
    emit connector->connectionLost();
    ReconnectWindow *reconnect = window->reconnectWindow();
    QVERIFY(reconnect->isVisible());
    QVERIFY(!(reconnect->windowState() & Qt::WindowMinimized));
    reconnect->hide();
}

void tst_CTIMainWindow::addressBookWindow()
{
    sim.scenario().addGeneratedAddressBook(QStringLiteral("b1"), QStringLiteral("One"), 30, 3);
    sim.scenario().addGeneratedAddressBook(QStringLiteral("b2"), QStringLiteral("Two"), 20, 4);
    sim.clearReceived();
    reopen();
    AddressBookWindow *books = window->addressBookWindow();
    QTRY_COMPARE(books->tabs().size(), 2);
    QTRY_VERIFY(books->tabs().at(0)->isLoaded() && books->tabs().at(1)->isLoaded());
    QCOMPARE(books->tabs().at(0)->listModel()->rowCount() + books->tabs().at(1)->listModel()->rowCount(), 50);
    // Each book is asked for once; the dial field hears of the contacts of both.
    QStringList asked;
    for (const QJsonObject &command : sim.receivedCommands(QStringLiteral("getAddresses")))
        asked << command.value("data").toObject().value("bookid").toString();
    QCOMPARE(asked, (QStringList{"b1", "b2"}));
    QTRY_VERIFY(suggestionRows() > 0);

    // The address book button toggles the window; the tray's hide takes it along.
    QVERIFY(books->isHidden());
    auto *button = window->findChild<QPushButton *>(QStringLiteral("addressBookPushButton"));
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(books->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(books->isHidden());
    QTest::mouseClick(button, Qt::LeftButton);
    window->onHideShowToggleRequest();
    QVERIFY(window->isHidden());
    QVERIFY(books->isHidden());
    window->onHideShowToggleRequest();
    QVERIFY(window->isVisible());
    sim.setScenario(Scenario());
    sim.addAccount(QStringLiteral("demo"), QStringLiteral("demo"));
}

void tst_CTIMainWindow::queueMonitorButton_data()
{
    QTest::addColumn<QJsonArray>("queues");
    QTest::newRow("none") << QJsonArray();
    QTest::newRow("one") << QJsonArray{QJsonObject{{"id", "q600"}, {"extension", "600"}}};
}

void tst_CTIMainWindow::queueMonitorButton()
{
    // The button is offered once the configuration lists a queue, and toggles the monitor.
    QFETCH(QJsonArray, queues);
    QVERIFY(sim.scenario().setSection(QStringLiteral("phoneConfig"), QJsonObject{{"queues", queues}}));
    delete window;
    sim.settle(); // the configurations asked for before
    window = new CTIMainWindow;
    QueueMonitorMainWindow *monitor = window->queueMonitor();
    QSignalSpy told(monitor, &QueueMonitorMainWindow::queuesAvailable);
    window->onApplicationStartup();
    window->show();
    auto *button = window->findChild<QPushButton *>(QStringLiteral("queueMonitorPushButton"));
    QTRY_COMPARE(told.size(), 1);
    QCOMPARE(button->isVisible(), !queues.isEmpty());
    if (!queues.isEmpty()) {
        QVERIFY(button->width() <= window->findChild<QPushButton *>(QStringLiteral("addressBookPushButton"))->width());
        QVERIFY(monitor->isHidden());
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(monitor->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(monitor->isHidden());
    }
    sim.setScenario(Scenario());
    sim.addAccount(QStringLiteral("demo"), QStringLiteral("demo"));
}

void tst_CTIMainWindow::geometrySurvivesARestart_data()
{
    QTest::addColumn<QRect>("stored"); // frame position and size
    QTest::addColumn<QRect>("restored");
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QTest::newRow("inside the screen") << QRect(120, 80, 300, 520) << QRect(120, 80, 300, 520);
    QTest::newRow("grown past the screen") << QRect(120, 80, 300, 5000) << QRect(120, screen.top(), 300, screen.height());
    QTest::newRow("on a screen no longer attached")
        << QRect(screen.right() + 500, 80, 300, 520) << QRect(screen.right() + 1 - 300, 80, 300, 520);
    QTest::newRow("wider than the screen, above it")
        << QRect(-50, -900, 5000, 520) << QRect(screen.left(), screen.top(), screen.width(), 520);
}

void tst_CTIMainWindow::geometrySurvivesARestart()
{
    QFETCH(QRect, stored);
    QFETCH(QRect, restored);
    // Nothing stored: the form's size (widened to what its texts need), at a first place clear
    // of the extension monitor.
    for (const char *key : {"x", "y", "width", "height"})
        Settings::instance()->removeValueForKey(QStringLiteral("MainWindow/") + QLatin1String(key));
    reopen();
    QCOMPARE(window->size(), QSize(248, 485).expandedTo(window->minimumSizeHint()));
    const QRect monitor = window->extensionMonitor()->frameGeometry();
    QVERIFY(window->extensionMonitor()->isVisible());
    QVERIFY(!window->frameGeometry().intersects(monitor));
    QVERIFY(window->screen()->availableGeometry().contains(window->frameGeometry()));

    // A place saved on a screen that is gone, or a size bigger than the screen, comes back inside it.
    window->move(stored.topLeft());
    window->resize(stored.size());
    QVERIFY(window->close());
    reopen();
    QCOMPARE(QRect(window->pos(), window->size()), restored);
}

QTEST_MAIN(tst_CTIMainWindow)
#include "tst_ctimainwindow.moc"
