#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// Starts the simulator and the client as a user would, on the X server in DISPLAY, and looks at
// what the window system shows: the main window after the automatic login, the incoming-call
// pop-up at the top right, and a screenshot that is not blank.
class tst_X11Session : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void loginShowsTheMainWindow();
    void incomingCallRollsInAtTheTopRight();
    void screenshotIsNotBlank();
    void endedCallRollsThePopUpOut();

private:
    struct Window
    {
        QString name;
        QRect geometry;
    };
    //! The client's viewable top-level windows, as the X server has them.
    QList<Window> clientWindows() const;
    Window popUp() const;
    Window mainWindow() const;
    QString simCommand(const QString &line);
    static QString run(const QString &program, const QStringList &args);

    QTemporaryDir home;
    QProcess sim;
    QProcess client;
    QRect screen;
    QString callId;
};

namespace {
const QString address = QStringLiteral("127.0.0.50");
const QString title = QStringLiteral("Talvero CTI Client");
const QString popUpTitle = QStringLiteral("Incoming call!");
}

QString tst_X11Session::run(const QString &program, const QStringList &args)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(10000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

void tst_X11Session::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X server (DISPLAY)");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("import")).isEmpty())
        QSKIP("needs xdotool, xwininfo and import");
    QVERIFY(home.isValid());

    const QString root = run(QStringLiteral("xwininfo"), {QStringLiteral("-root")});
    const QRegularExpression size(QStringLiteral("-geometry (\\d+)x(\\d+)"));
    const auto match = size.match(root);
    QVERIFY2(match.hasMatch(), qPrintable(root));
    screen = QRect(0, 0, match.captured(1).toInt(), match.captured(2).toInt());

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
    env.remove(QStringLiteral("LANGUAGE"));
    env.remove(QStringLiteral("LC_ALL"));
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

QList<tst_X11Session::Window> tst_X11Session::clientWindows() const
{
    QList<Window> windows;
    const QStringList ids =
        run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                        QString::number(client.processId())})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    static const QRegularExpression name(QStringLiteral("xwininfo: Window id: \\S+ \"(.*)\""));
    static const QRegularExpression x(QStringLiteral("Absolute upper-left X:\\s+(-?\\d+)"));
    static const QRegularExpression y(QStringLiteral("Absolute upper-left Y:\\s+(-?\\d+)"));
    static const QRegularExpression w(QStringLiteral("Width:\\s+(\\d+)"));
    static const QRegularExpression h(QStringLiteral("Height:\\s+(\\d+)"));
    for (const QString &id : ids) {
        const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
        if (!info.contains(QLatin1String("IsViewable")))
            continue;
        windows.append({name.match(info).captured(1),
                        QRect(x.match(info).captured(1).toInt(), y.match(info).captured(1).toInt(),
                              w.match(info).captured(1).toInt(), h.match(info).captured(1).toInt())});
    }
    return windows;
}

tst_X11Session::Window tst_X11Session::popUp() const
{
    for (const Window &window : clientWindows()) {
        if (window.name == popUpTitle)
            return window;
    }
    return {};
}

tst_X11Session::Window tst_X11Session::mainWindow() const
{
    for (const Window &window : clientWindows()) {
        if (window.name == title)
            return window;
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
    QTRY_COMPARE_WITH_TIMEOUT(popUp().geometry.y(), 0, 15000);
    const QRect geometry = popUp().geometry;
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

QTEST_GUILESS_MAIN(tst_X11Session)
#include "tst_x11session.moc"
