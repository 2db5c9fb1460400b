#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRect>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// The real program against the simulator, on the X server in DISPLAY: the configuration dialog,
// opened from the configure tab, moves the extension monitor while it is open, and Cancel puts
// the monitor back. Clicks land at places of the designed forms, relative to their windows.
class tst_X11Config : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void dialogMovesTheMonitorAndCancelPutsItBack();

private:
    //! The geometry of the program's viewable window with this title; null when there is none.
    QRect window(const QString &title) const;
    void click(const QRect &window, int x, int y);
    static QString run(const QStringList &args);

    QTemporaryDir home;
    QString conf;
    QProcess sim;
    QProcess client;
    QRect screen;
};

namespace {
const QString address = QStringLiteral("127.0.0.53");
const QString monitorTitle = QStringLiteral("Extension Monitor");
const QString mainTitle = QStringLiteral("Talvero CTI Client");
const QString dialogTitle = QStringLiteral("Configuration");
}

QString tst_X11Config::run(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), args);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        qWarning("xdotool %s did not finish", qPrintable(args.join(QLatin1Char(' '))));
        return QString();
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

void tst_X11Config::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X server (DISPLAY)");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("needs xdotool");
    QVERIFY(home.isValid());
    const QStringList size = run({QStringLiteral("getdisplaygeometry")}).split(QLatin1Char(' '));
    QCOMPARE(size.size(), 2);
    screen = QRect(0, 0, size.at(0).toInt(), size.at(1).trimmed().toInt());

    sim.setStandardErrorFile(home.filePath(QStringLiteral("sim.log")));
    sim.start(QStringLiteral(TALVERO_SIM_BIN), {QStringLiteral("--address"), address, QStringLiteral("--control")});
    QVERIFY(sim.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), 15000);
    QVERIFY(sim.readLine().contains("listening on"));

    QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("config/Talvero Europe GmbH"))));
    conf = home.filePath(QStringLiteral("config/Talvero Europe GmbH/Talvero CTI Client.conf"));
    QFile file(conf);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    // The monitor places itself in rows at the top right; the main window at the top left.
    file.write("[General]\nstickyBuddyListAutoPosition=false\nstickyBuddyListCorner=3\n"
               "stickyBuddyListHorizontal=true\nstickyBuddyListHideOnMouseOver=false\n"
               "[loginDialog]\nlastUsername=demo\nlastHost="
               + address.toUtf8() + "\npassword=demo\n");
    file.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("LANGUAGE"));
    env.remove(QStringLiteral("LC_ALL"));
    client.setProcessEnvironment(env);
    client.setStandardOutputFile(home.filePath(QStringLiteral("client.log")));
    client.setStandardErrorFile(home.filePath(QStringLiteral("client.log")));
    client.start(QStringLiteral(TALVERO_CLIENT_BIN), QStringList());
    QVERIFY(client.waitForStarted());
}

void tst_X11Config::cleanupTestCase()
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

QRect tst_X11Config::window(const QString &title) const
{
    const QStringList ids = run({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                 QString::number(client.processId())})
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &id : ids) {
        if (run({QStringLiteral("getwindowname"), id}).trimmed() != title)
            continue;
        QMap<QString, int> values; // X=, Y=, WIDTH=, HEIGHT=
        for (const QString &line : run({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id})
                                       .split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            values.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1).toInt());
        return QRect(values.value(QStringLiteral("X")), values.value(QStringLiteral("Y")),
                     values.value(QStringLiteral("WIDTH")), values.value(QStringLiteral("HEIGHT")));
    }
    return QRect();
}

void tst_X11Config::click(const QRect &window, int x, int y)
{
    // Negative offsets count from the right or bottom edge.
    const int atX = x < 0 ? window.right() + x : window.left() + x;
    const int atY = y < 0 ? window.bottom() + y : window.top() + y;
    run({QStringLiteral("mousemove"), QString::number(atX), QString::number(atY)});
    run({QStringLiteral("click"), QStringLiteral("1")});
}

void tst_X11Config::dialogMovesTheMonitorAndCancelPutsItBack()
{
    // The monitor drawn with the demo's colleagues, the same twice in a row.
    QRect drawn;
    QVERIFY(QTest::qWaitFor(
        [&] {
            const QRect now = window(monitorTitle);
            const bool settled = now == drawn && now.width() >= 1000 && now.width() < screen.width();
            drawn = now;
            return settled;
        },
        60000));
    QCOMPARE(drawn.right(), screen.right());
    QCOMPARE(drawn.top(), 0);

    // The "Configure" tab, then its "Advanced Configuration" button at the bottom of the page.
    QRect main;
    QTRY_VERIFY_WITH_TIMEOUT((main = window(mainTitle)).isValid(), 10000);
    click(main, 168, 60);
    // The page needs a moment to show; the dialog is modal, so a click that lands twice opens it once.
    QRect dialog;
    QTRY_VERIFY_WITH_TIMEOUT((click(main, main.width() / 2, -30), (dialog = window(dialogTitle)).isValid()), 10000);
    QCOMPARE(dialog.size(), QSize(418, 476));

    // "Sticky Buddy Monitor": the bottom left corner, then columns instead of rows.
    click(dialog, 170, 26);
    QTest::qWait(300);
    click(dialog, 237, 254);
    QTRY_VERIFY_WITH_TIMEOUT(window(monitorTitle).left() == 0 && window(monitorTitle).bottom() == screen.bottom(), 10000);
    QVERIFY(window(monitorTitle).width() > window(monitorTitle).height());
    click(dialog, 42, 226);
    QTRY_VERIFY_WITH_TIMEOUT(window(monitorTitle).height() > window(monitorTitle).width(), 10000);
    QCOMPARE(window(monitorTitle).left(), 0);
    QCOMPARE(window(monitorTitle).bottom(), screen.bottom());

    // Cancel: the monitor is back as it was, and so are the stored options.
    click(dialog, -52, -24);
    QTRY_VERIFY_WITH_TIMEOUT(window(dialogTitle).isNull(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(window(monitorTitle), drawn, 10000);
    QSettings stored(conf, QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("stickyBuddyListCorner")).toInt(), 3);
    QCOMPARE(stored.value(QStringLiteral("stickyBuddyListHorizontal")).toBool(), true);
}

QTEST_GUILESS_MAIN(tst_X11Config)
#include "tst_x11config.moc"
