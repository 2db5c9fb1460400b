#include "x11programs.h"

#include <QImage>
#include <QSet>
#include <QtTest>

#include <algorithm>

// Starts the simulator and the client as a user would, on the X server in DISPLAY, and looks at
// what the window system shows: the main window after the automatic login, the incoming-call
// pop-up at the top right, and a screenshot that is not blank.
class tst_X11Session : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { X11Programs::verifyNothingHung(); }
    void loginShowsTheMainWindow();
    void incomingCallRollsInAtTheTopRight();
    void screenshotIsNotBlank();
    void endedCallRollsThePopUpOut();
    void markedNumberIsDialledWithTheHotKey();
    void telLinksAreOfferedInTurnAndWaitForAChoice();

private:
    //! How many lines of that log hold every one of the words.
    int logged(const QString &log, const QStringList &words) const;
    QRect popUp() const { return x11.window(QStringLiteral("Incoming call!")); }
    QRect mainWindow() const { return x11.window(QStringLiteral("Talvero CTI Client")); }
    QString simCommand(const QString &line);

    X11Programs x11{QStringLiteral("127.0.0.50")};
    QString callId;
};

void tst_X11Session::initTestCase()
{
    if (const char *why = X11Programs::missing({QStringLiteral("xdotool"), QStringLiteral("import")}))
        QSKIP(why);
    QVERIFY(x11.startSimulator());
    QVERIFY(x11.startClient());
}

QString tst_X11Session::simCommand(const QString &line)
{
    x11.sim.write(line.toUtf8() + '\n');
    if (!QTest::qWaitFor([this] { return x11.sim.canReadLine(); }, 10000))
        return QString();
    return QString::fromUtf8(x11.sim.readLine()).trimmed();
}

void tst_X11Session::loginShowsTheMainWindow()
{
    QTRY_VERIFY_WITH_TIMEOUT(mainWindow().isValid(), 60000);
    const QRect geometry = mainWindow();
    QVERIFY2(x11.screen().contains(geometry), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(geometry.x()).arg(geometry.y())
                                                       .arg(geometry.width()).arg(geometry.height())));
    QVERIFY(geometry.width() >= 200 && geometry.height() >= 400);
}

void tst_X11Session::incomingCallRollsInAtTheTopRight()
{
    const QString answer = simCommand(QStringLiteral("ring \"0711 5550123\" Anna Meyer \"Meyer & Söhne <GmbH>\""));
    QVERIFY2(answer.startsWith(QLatin1String("ringing ")) && answer != QLatin1String("ringing -"), qPrintable(answer));
    callId = answer.section(QLatin1Char(' '), 1, 1);

    // Without a panel the available area is the whole screen: the pop-up ends flush at the top
    // right, at least as big as its form.
    QRect geometry;
    QTRY_VERIFY_WITH_TIMEOUT((geometry = popUp()).isValid() && geometry.y() == 0, 15000);
    QCOMPARE(geometry.right(), x11.screen().right());
    QVERIFY(geometry.width() >= 309 && geometry.height() >= 68);
    QVERIFY(mainWindow().isValid());
}

void tst_X11Session::screenshotIsNotBlank()
{
    const QString file = QStringLiteral(TALVERO_SCREENSHOT);
    QFile::remove(file);
    X11Programs::run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), file});
    QImage image(file);
    QVERIFY2(!image.isNull(), qPrintable(file));
    QCOMPARE(image.size(), x11.screen().size());

    // Both windows drew something: each holds more than a handful of colours.
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
}

void tst_X11Session::endedCallRollsThePopUpOut()
{
    QVERIFY(!callId.isEmpty());
    QCOMPARE(simCommand(QStringLiteral("end ") + callId), QStringLiteral("ended ") + callId);
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
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("primary"), QStringLiteral("-i")});
    xclip.write("Tel. 089 123456");
    xclip.closeWriteChannel();
    QVERIFY(xclip.waitForFinished(10000));
    QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("client.log"), {QStringLiteral("click-to-dial listens to Alt+F1")}), 10000);
    X11Programs::xdotool({QStringLiteral("key"), QStringLiteral("alt+F1")});
    QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("client.log"), {QStringLiteral("click-to-dial offers "), QStringLiteral("089123456")}), 10000);
    // The menu takes the keyboard although no window of the client has the focus; Enter is
    // pressed until the menu, once up, has it.
    QTRY_VERIFY_WITH_TIMEOUT((X11Programs::xdotool({QStringLiteral("key"), QStringLiteral("Return")}),
                              logged(QStringLiteral("sim.log"), {QStringLiteral("dialNumber"), QStringLiteral("089123456")})),
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
    const auto press = [](const QString &keys) {
        X11Programs::xdotool(QStringList{QStringLiteral("key")} + keys.split(QLatin1Char(' ')));
    };
    for (const QString &number : {first, second}) {
        const QStringList offer{QStringLiteral("click-to-dial offers "), number};
        QTRY_VERIFY_WITH_TIMEOUT(logged(clientLog, offer), 10000);
        // Enter, typed for something else, until the menu has the keyboard: it dials nothing.
        const int before = logged(clientLog, waits);
        QTRY_VERIFY_WITH_TIMEOUT((press(QStringLiteral("Return")), logged(clientLog, waits) > before), 10000);
        // The first is aborted, the second chosen with the arrow key.
        press(number == first ? QStringLiteral("Escape") : QStringLiteral("Down Return"));
    }
    const QString simLog = QStringLiteral("sim.log");
    QTRY_VERIFY_WITH_TIMEOUT(logged(simLog, {QStringLiteral("dialNumber"), second}), 10000);
    QCOMPARE(logged(simLog, {QStringLiteral("dialNumber"), first}), 0);
}

QTEST_GUILESS_MAIN(tst_X11Session)
#include "tst_x11session.moc"
