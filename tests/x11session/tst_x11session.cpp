#include "x11programs.h"

#include <QImage>
#include <QSet>
#include <QtTest>

#include <algorithm>

// Starts the simulator and the client as a user would, in an X session under openbox, and looks at
// what the window system shows: the main window after the automatic login clear of the extension
// monitor, the incoming-call pop-up at the top right leaving the keyboard where it was, and a
// screenshot that is not blank.
class tst_X11Session : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { X11Session::verifyNothingHung(); }
    void loginShowsTheMainWindowClearOfTheMonitor();
    void incomingCallRollsInAtTheTopRight();
    void screenshotIsNotBlank();
    void endedCallRollsThePopUpOut();
    void markedNumberIsDialledWithTheHotKey();
    void desktopShortcutDialsTheMarkedNumber();
    void telLinksAreOfferedInTurnAndWaitForAChoice();
    void framelessMonitorStaysOnTop();

private:
    //! How many lines of that log hold every one of the words.
    int logged(const QString &log, const QStringList &words) const;
    QRect popUp() const { return x11.window(QStringLiteral("Incoming call!")); }
    QRect mainWindow() const { return x11.window(mainTitle); }
    //! Whether the keyboard is in the main window.
    bool mainWindowHasTheFocus() const
    {
        return X11Session::xdotool({QStringLiteral("getwindowfocus")}).trimmed() == x11.windowId(mainTitle);
    }

    const QString mainTitle = QStringLiteral("Talvero CTI Client");
    const QString monitorTitle = QStringLiteral("Extension Monitor");

    X11Programs x11{QStringLiteral("127.0.0.50")};
    QString callId;
};

void tst_X11Session::initTestCase()
{
    TALVERO_REQUIRE_X11(QStringLiteral("xdotool"), QStringLiteral("xclip"), QStringLiteral("import"));
    QVERIFY(x11.startSimulator());
    QVERIFY(x11.startClient());
}

void tst_X11Session::loginShowsTheMainWindowClearOfTheMonitor()
{
    QTRY_VERIFY_WITH_TIMEOUT(mainWindow().isValid(), 60000);
    QVERIFY(x11.drawnMonitor().isValid());
    // Where the client puts them by default, framed: inside the screen, neither covering the other.
    QRect main;
    QRect monitor;
    const bool clear = QTest::qWaitFor(
        [&] {
            main = x11.frame(mainTitle);
            monitor = x11.frame(monitorTitle);
            return x11.screen().contains(main) && x11.screen().contains(monitor) && !main.intersects(monitor);
        },
        10000);
    QString frames;
    QDebug(&frames) << "main window" << main << "monitor" << monitor;
    QVERIFY2(clear, qPrintable(frames));
    QVERIFY(main.height() > mainWindow().height()); // the frame is the window manager's
    QVERIFY(mainWindow().width() >= 200 && mainWindow().height() >= 400);
    // The user types into the main window; the monitor, drawn after it, does not take the keyboard.
    QTRY_VERIFY_WITH_TIMEOUT(mainWindowHasTheFocus(), 10000);
}

void tst_X11Session::incomingCallRollsInAtTheTopRight()
{
    QVERIFY(mainWindowHasTheFocus());
    const QString answer = x11.simCommand(QStringLiteral("ring \"0711 5550123\" Anna Meyer \"Meyer & Söhne <GmbH>\""));
    QVERIFY2(answer.startsWith(QLatin1String("ringing ")) && answer != QLatin1String("ringing -"), qPrintable(answer));
    callId = answer.section(QLatin1Char(' '), 1, 1);

    // Without a panel the available area is the whole screen: the pop-up ends flush at the top
    // right, at least as big as its form.
    QRect geometry;
    QTRY_VERIFY_WITH_TIMEOUT((geometry = popUp()).isValid() && geometry.y() == 0, 15000);
    QCOMPARE(geometry.right(), x11.screen().right());
    QVERIFY(geometry.width() >= 309 && geometry.height() >= 68);
    // It rolled in without taking the keyboard from the window the user types in.
    QVERIFY(mainWindowHasTheFocus());
}

void tst_X11Session::screenshotIsNotBlank()
{
    const QString file = QStringLiteral(TALVERO_SCREENSHOT);
    QFile::remove(file);
    X11Session::run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), file});
    QImage image(file);
    QVERIFY2(!image.isNull(), qPrintable(file));
    QCOMPARE(image.size(), x11.screen().size());

    // Every window drew something: each holds more than a handful of colours.
    const auto colours = [&image](const QRect &area) {
        QSet<QRgb> seen;
        const QRect inside = area & image.rect();
        for (int y = inside.top(); y <= inside.bottom(); y += 2) {
            for (int x = inside.left(); x <= inside.right(); x += 2)
                seen.insert(image.pixel(x, y));
        }
        return seen.size();
    };
    QVERIFY(colours(mainWindow()) > 20);
    QVERIFY(colours(popUp()) > 20);
    QVERIFY(colours(x11.window(monitorTitle)) > 20); // its lamps, not a black strip
}

void tst_X11Session::endedCallRollsThePopUpOut()
{
    QVERIFY(!callId.isEmpty());
    QCOMPARE(x11.simCommand(QStringLiteral("end ") + callId), QStringLiteral("ended ") + callId);
    QTRY_VERIFY_WITH_TIMEOUT(popUp().isNull(), 10000);
    QVERIFY(mainWindow().isValid());
}

int tst_X11Session::logged(const QString &log, const QStringList &words) const
{
    QFile file(x11.filePath(log));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    int lines = 0;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine());
        if (std::all_of(words.cbegin(), words.cend(), [&line](const QString &word) { return line.contains(word); }))
            ++lines;
    }
    return lines;
}

void tst_X11Session::markedNumberIsDialledWithTheHotKey()
{
    // The user marks a number somewhere (the PBX's dial prefix comes in front), presses the hot key and chooses the offer with Enter.
    X11Session::mark(QStringLiteral("Tel. 089 123456"));
    QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("client.log"), {QStringLiteral("click-to-dial listens to Alt+F1")}), 10000);
    X11Session::press(QStringLiteral("alt+F1"));
    QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("client.log"), {QStringLiteral("click-to-dial offers "), QStringLiteral("089123456")}), 10000);
    // The menu takes the keyboard although no window of the client has the focus; Enter is
    // pressed until the menu, once up, has it.
    QTRY_VERIFY_WITH_TIMEOUT((X11Session::press(QStringLiteral("Return")),
                              logged(QStringLiteral("sim.log"), {QStringLiteral("dialNumber"), QStringLiteral("089123456")})),
                             10000);
}

void tst_X11Session::desktopShortcutDialsTheMarkedNumber()
{
    // What a keyboard shortcut of the desktop's runs: a second start hands it, with the startup
    // id the desktop gave it, to the running client, whose menu then takes the keyboard.
    X11Session::mark(QStringLiteral("Fax 0711 987654"));
    QProcess shortcut;
    QProcessEnvironment environment = x11.clientEnvironment();
    environment.insert(QStringLiteral("DESKTOP_STARTUP_ID"), QStringLiteral("openbox-shortcut-7_TIME42"));
    shortcut.setProcessEnvironment(environment);
    shortcut.start(QStringLiteral(TALVERO_CLIENT_BIN), {QStringLiteral("--dial-selection")});
    QVERIFY(shortcut.waitForFinished(15000));
    QCOMPARE(shortcut.exitCode(), 0);
    const QString clientLog = QStringLiteral("client.log");
    QTRY_VERIFY_WITH_TIMEOUT(logged(clientLog, {QStringLiteral("startup id openbox-shortcut-7_TIME42")}), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(logged(clientLog, {QStringLiteral("click-to-dial offers "), QStringLiteral("0711987654")}),
                             10000);
    QTRY_VERIFY_WITH_TIMEOUT((X11Session::press(QStringLiteral("Return")),
                              logged(QStringLiteral("sim.log"), {QStringLiteral("dialNumber"), QStringLiteral("0711987654")})),
                             10000);
}

void tst_X11Session::telLinksAreOfferedInTurnAndWaitForAChoice()
{
    // A web page opens two links while the user types elsewhere; the running client offers
    // each in a menu of its own.
    const QString first = QStringLiteral("0301234567");
    const QString second = QStringLiteral("0307654321");
    QProcess link;
    link.setProcessEnvironment(x11.clientEnvironment());
    link.start(QStringLiteral(TALVERO_CLIENT_BIN), {QStringLiteral("tel:") + first, QStringLiteral("tel:") + second});
    QVERIFY(link.waitForFinished(15000));
    QCOMPARE(link.exitCode(), 0);
    const QString clientLog = QStringLiteral("client.log");
    const QStringList waits{QStringLiteral("a link's menu waits for a choice")};
    for (const QString &number : {first, second}) {
        const QStringList offer{QStringLiteral("click-to-dial offers "), number};
        QTRY_VERIFY_WITH_TIMEOUT(logged(clientLog, offer), 10000);
        // Enter, typed for something else, until the menu has the keyboard: it dials nothing.
        const int before = logged(clientLog, waits);
        QTRY_VERIFY_WITH_TIMEOUT((X11Session::press(QStringLiteral("Return")), logged(clientLog, waits) > before), 10000);
        // The first is aborted, the second chosen with the arrow key.
        X11Session::press(number == first ? QStringLiteral("Escape") : QStringLiteral("Down Return"));
    }
    const QString simLog = QStringLiteral("sim.log");
    QTRY_VERIFY_WITH_TIMEOUT(logged(simLog, {QStringLiteral("dialNumber"), second}), 10000);
    QCOMPARE(logged(simLog, {QStringLiteral("dialNumber"), first}), 0);
}

void tst_X11Session::framelessMonitorStaysOnTop()
{
    x11.stopClient();
    QVERIFY(x11.startClient("stickyBuddyListAutoPosition=false\n"));
    QVERIFY(x11.drawnMonitor().isValid());
    QVERIFY(x11.property(monitorTitle, QStringLiteral("_NET_WM_STATE")).contains(QLatin1String("_NET_WM_STATE_ABOVE")));
}

TALVERO_X11_TEST_MAIN(tst_X11Session, QCoreApplication)
#include "tst_x11session.moc"
