#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QMap>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
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
    void cleanupTestCase();
    void cleanup();
    void loginShowsTheMainWindow();
    void incomingCallRollsInAtTheTopRight();
    void screenshotIsNotBlank();
    void endedCallRollsThePopUpOut();
    void markedNumberIsDialledWithTheHotKey();
    void telLinksAreOfferedInTurnAndWaitForAChoice();

private:
    //! How many lines of that log hold every one of the words.
    int logged(const QString &log, const QStringList &words) const;
    struct Window
    {
        QString name;
        QRect geometry;
    };
    //! The client's viewable top-level window of that title, as the X server has it.
    Window window(const QString &name) const;
    Window popUp() const { return window(QStringLiteral("Incoming call!")); }
    Window mainWindow() const { return window(QStringLiteral("Talvero CTI Client")); }
    QString simCommand(const QString &line);
    //! Runs an X tool, bounded: one that overruns is killed and named in the failure of the
    //! test function that ran it (a busy X server must not hang the whole test).
    static QString run(const QString &program, const QStringList &args);
    static QStringList hung;

    QTemporaryDir home;
    QProcess sim;
    QProcess client;
    QProcessEnvironment clientEnvironment;
    QRect screen;
    QString callId;
};

namespace {
const QString address = QStringLiteral("127.0.0.50");
}

QStringList tst_X11Session::hung;

QString tst_X11Session::run(const QString &program, const QStringList &args)
{
    // After one has hung the rest of this test function is not worth waiting for.
    if (!hung.isEmpty())
        return QString();
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(2000);
        hung << program + QLatin1Char(' ') + args.join(QLatin1Char(' '));
        return QString();
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

void tst_X11Session::cleanup()
{
    const QStringList steps = hung;
    hung.clear();
    QVERIFY2(steps.isEmpty(), qPrintable(QStringLiteral("did not finish within 10 s: ") + steps.join(QStringLiteral("; "))));
}

void tst_X11Session::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X server (DISPLAY)");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("import")).isEmpty())
        QSKIP("needs xdotool and import");
    QVERIFY(home.isValid());

    const QStringList size = run(QStringLiteral("xdotool"), {QStringLiteral("getdisplaygeometry")}).split(QLatin1Char(' '));
    QCOMPARE(size.size(), 2);
    screen = QRect(0, 0, size.at(0).toInt(), size.at(1).trimmed().toInt());

    sim.setProcessChannelMode(QProcess::SeparateChannels);
    sim.setStandardErrorFile(home.filePath(QStringLiteral("sim.log")));
    sim.start(QStringLiteral(TALVERO_SIM_BIN), {QStringLiteral("--address"), address, QStringLiteral("--control")});
    QVERIFY(sim.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), 15000);
    QVERIFY(sim.readLine().contains("listening on"));

    // Throw-away settings that log the demo user in by themselves.
    const QString config = home.filePath(QStringLiteral("config"));
    QVERIFY(QDir().mkpath(config + QStringLiteral("/Talvero Europe GmbH")));
    QFile conf(config + QStringLiteral("/Talvero Europe GmbH/Talvero CTI Client.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("[loginDialog]\nlastUsername=demo\nlastHost=" + address.toUtf8() + "\npassword=demo\n");
    conf.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("cti.debug=true"));
    env.remove(QStringLiteral("LANGUAGE"));
    env.remove(QStringLiteral("LC_ALL"));
    clientEnvironment = env;
    client.setProcessEnvironment(env);
    client.setStandardOutputFile(home.filePath(QStringLiteral("client.log")));
    client.setStandardErrorFile(home.filePath(QStringLiteral("client.log")), QIODevice::Append);
    client.start(QStringLiteral(TALVERO_CLIENT_BIN), QStringList());
    QVERIFY(client.waitForStarted());
}

void tst_X11Session::cleanupTestCase()
{
    for (QProcess *process : {&client, &sim}) {
        if (process->state() == QProcess::NotRunning)
            continue;
        process->terminate();
        if (!process->waitForFinished(5000))
            process->kill();
        process->waitForFinished(5000);
    }
}

tst_X11Session::Window tst_X11Session::window(const QString &name) const
{
    const QString xdotool = QStringLiteral("xdotool");
    const QStringList ids = run(xdotool, {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                          QString::number(client.processId())})
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &id : ids) {
        if (run(xdotool, {QStringLiteral("getwindowname"), id}).trimmed() != name)
            continue;
        // X=, Y=, WIDTH=, HEIGHT= lines
        QMap<QString, int> values;
        for (const QString &line : run(xdotool, {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id})
                                       .split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            values.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1).toInt());
        return {name, QRect(values.value(QStringLiteral("X")), values.value(QStringLiteral("Y")),
                            values.value(QStringLiteral("WIDTH")), values.value(QStringLiteral("HEIGHT")))};
    }
    return {};
}

QString tst_X11Session::simCommand(const QString &line)
{
    sim.write(line.toUtf8() + '\n');
    if (!QTest::qWaitFor([this] { return sim.canReadLine(); }, 10000))
        return QString();
    return QString::fromUtf8(sim.readLine()).trimmed();
}

void tst_X11Session::loginShowsTheMainWindow()
{
    QTRY_VERIFY_WITH_TIMEOUT(!mainWindow().name.isEmpty(), 60000);
    const QRect geometry = mainWindow().geometry;
    QVERIFY2(screen.contains(geometry), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(geometry.x()).arg(geometry.y())
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
    QTRY_VERIFY_WITH_TIMEOUT((geometry = popUp().geometry).isValid() && geometry.y() == 0, 15000);
    QCOMPARE(geometry.right(), screen.right());
    QVERIFY(geometry.width() >= 309 && geometry.height() >= 68);
    QVERIFY(!mainWindow().name.isEmpty());
}

void tst_X11Session::screenshotIsNotBlank()
{
    const QString file = QStringLiteral(TALVERO_SCREENSHOT);
    QFile::remove(file);
    run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), file});
    QImage image(file);
    QVERIFY2(!image.isNull(), qPrintable(file));
    QCOMPARE(image.size(), screen.size());

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
    QVERIFY(colours(mainWindow().geometry) > 20);
    QVERIFY(colours(popUp().geometry) > 20);
}

void tst_X11Session::endedCallRollsThePopUpOut()
{
    QVERIFY(!callId.isEmpty());
    QCOMPARE(simCommand(QStringLiteral("end ") + callId), QStringLiteral("ended ") + callId);
    QTRY_VERIFY_WITH_TIMEOUT(popUp().geometry.isNull(), 10000);
    QVERIFY(!mainWindow().name.isEmpty());
}

int tst_X11Session::logged(const QString &log, const QStringList &words) const
{
    QFile file(home.filePath(log));
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
    run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("alt+F1")});
    QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("client.log"), {QStringLiteral("click-to-dial offers "), QStringLiteral("089123456")}), 10000);
    // The menu takes the keyboard although no window of the client has the focus; Enter is
    // pressed until the menu, once up, has it.
    QTRY_VERIFY_WITH_TIMEOUT((run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")}),
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
    link.setProcessEnvironment(clientEnvironment);
    link.start(QStringLiteral(TALVERO_CLIENT_BIN), {QStringLiteral("tel:") + first, QStringLiteral("tel:") + second});
    QVERIFY(link.waitForFinished(15000));
    QCOMPARE(link.exitCode(), 0);
    const QString clientLog = QStringLiteral("client.log");
    const QStringList waits{QStringLiteral("a link's menu waits for a choice")};
    const auto press = [](const QString &keys) {
        run(QStringLiteral("xdotool"), QStringList{QStringLiteral("key")} + keys.split(QLatin1Char(' ')));
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
