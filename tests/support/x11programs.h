#pragma once

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// The environment of the X11 tests: an X server of the test's own (tests running at the same
// time never share a display, a keyboard or a window manager) with openbox managing it, and
// bounded runs of the X tools. The test's main() starts it before the application object and
// stops it after: TALVERO_X11_TEST_MAIN.
class X11Session
{
public:
    static constexpr int width = 1440;
    static constexpr int height = 900;

    X11Session() = default;
    Q_DISABLE_COPY(X11Session)
    ~X11Session()
    {
        stop(&m_windowManager);
        stop(&m_server);
    }

    //! Why these tests cannot run here (a program not installed); null when they can.
    static const char *missing(const QStringList &tools = {})
    {
        for (const QString &tool : QStringList{QStringLiteral("Xvfb"), QStringLiteral("openbox"), QStringLiteral("xprop"), QStringLiteral("xwininfo")} + tools) {
            if (QStandardPaths::findExecutable(tool).isEmpty())
                return "needs Xvfb, openbox and the X tools xprop, xwininfo, xdotool, xclip and import";
        }
        return nullptr;
    }
    //! What did not start, for initTestCase() to fail with; empty when the session runs.
    static QString &failure()
    {
        static QString what;
        return what;
    }

    //! Starts the server and the window manager and points DISPLAY at them.
    bool start()
    {
        if (missing()) {
            failure() = QString::fromLatin1(missing());
            return false;
        }
        // The server writes its display number once it accepts clients. Its warnings and the window
        // manager's go nowhere: a pipe nobody reads would fill and stop them.
        m_server.setStandardErrorFile(QProcess::nullDevice());
        m_server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                                QStringLiteral("0"), QStringLiteral("%1x%2x24").arg(width).arg(height),
                                                QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!m_server.waitForStarted() || !waitForLine(&m_server)) {
            failure() = QStringLiteral("Xvfb named no display within 10 s");
            return false;
        }
        qputenv("DISPLAY", ':' + m_server.readLine().trimmed());
        m_windowManager.setStandardOutputFile(QProcess::nullDevice());
        m_windowManager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // The window manager has taken the display once it names itself on the root window; one
        // that ended as it started (now and then, on a busy machine) is started again.
        int starts = 0;
        const auto managed = [&] {
            // (No event loop runs yet: the end of the process is asked for.)
            if (starts < 5 && (starts == 0 || m_windowManager.waitForFinished(0))) {
                ++starts;
                m_windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
                m_windowManager.waitForStarted();
            }
            return run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                .contains(QLatin1String("window id"));
        };
        if (!QTest::qWaitFor(managed, 30000)) {
            failure() = QStringLiteral("openbox did not manage the display within 30 s (started %1 times, last status %2)")
                            .arg(starts)
                            .arg(m_windowManager.exitCode());
            return false;
        }
        return true;
    }

    //! Runs an X tool, bounded: one that overruns is killed and remembered, and the tools after it
    //! do not run until verifyNothingHung() names it (a busy X server must not hang the whole test).
    static QString run(const QString &program, const QStringList &args, const QByteArray &input = QByteArray())
    {
        if (!hung().isEmpty())
            return QString();
        QProcess process;
        process.start(program, args);
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(2000);
            hung() << program + QLatin1Char(' ') + args.join(QLatin1Char(' '));
            return QString();
        }
        return QString::fromUtf8(process.readAllStandardOutput());
    }
    static QString xdotool(const QStringList &args) { return run(QStringLiteral("xdotool"), args); }
    static void press(const QString &keys) { xdotool(QStringList{QStringLiteral("key")} + keys.split(QLatin1Char(' '))); }
    //! Marks the text as a user would, in the primary selection (xclip serves it until someone
    //! else takes it).
    static void mark(const QString &text)
    {
        run(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("primary"), QStringLiteral("-i")}, text.toUtf8());
    }

    //! For a test's cleanup(): fails it with the tools that hung in it.
    static void verifyNothingHung()
    {
        const QStringList steps = hung();
        hung().clear();
        QVERIFY2(steps.isEmpty(), qPrintable(QStringLiteral("did not finish within 10 s: ") + steps.join(QStringLiteral("; "))));
    }

    static void stop(QProcess *process)
    {
        if (process->state() == QProcess::NotRunning)
            return;
        process->terminate();
        if (!process->waitForFinished(5000))
            process->kill();
        process->waitForFinished(5000);
    }

private:
    static QStringList &hung()
    {
        static QStringList steps;
        return steps;
    }
    static bool waitForLine(QProcess *process)
    {
        return QTest::qWaitFor([process] { return process->canReadLine() || (process->waitForReadyRead(100), process->canReadLine()); },
                               10000);
    }

    QProcess m_server;
    QProcess m_windowManager;
};

//! For initTestCase(): skips where the programs are not installed, fails naming what did not start.
#define TALVERO_REQUIRE_X11(...)                                                                        \
    do {                                                                                                \
        if (const char *why = X11Session::missing({__VA_ARGS__}))                                       \
            QSKIP(why);                                                                                 \
        QVERIFY2(X11Session::failure().isEmpty(), qPrintable(X11Session::failure()));                   \
    } while (false)

//! QTEST_MAIN with the test's own X session; the application object comes up on it (offscreen
//! where it could not start, so initTestCase() can say why).
#define TALVERO_X11_TEST_MAIN(TestObject, Application)                                                  \
    int main(int argc, char *argv[])                                                                    \
    {                                                                                                   \
        X11Session session;                                                                             \
        if (!session.start())                                                                           \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                                    \
        Application app(argc, argv);                                                                    \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                        \
        TestObject test;                                                                                \
        QTEST_SET_MAIN_SOURCE_PATH                                                                      \
        return QTest::qExec(&test, argc, argv);                                                         \
    }

#if defined(TALVERO_CLIENT_BIN) && defined(TALVERO_SIM_BIN)
// The simulator and the real client, started as a user would in the X session, in a throw-away
// home whose settings log the demo user in by themselves; their windows are seen the way the
// window system has them. Both programs end with this object.
class X11Programs
{
public:
    explicit X11Programs(const QString &address) : m_address(address) {}
    ~X11Programs()
    {
        stopClient();
        X11Session::stop(&sim);
    }

    QRect screen() const { return QRect(0, 0, X11Session::width, X11Session::height); }
    QString filePath(const QString &name) const { return m_home.filePath(name); }
    QString settingsFile() const { return filePath(QStringLiteral("config/Talvero Europe GmbH/Talvero CTI Client.conf")); }
    QProcessEnvironment clientEnvironment() const { return m_environment; }

    //! Starts the simulator with its control commands on standard input, its log in sim.log.
    bool startSimulator()
    {
        if (!m_home.isValid())
            return false;
        sim.setStandardErrorFile(filePath(QStringLiteral("sim.log")));
        sim.start(QStringLiteral(TALVERO_SIM_BIN), {QStringLiteral("--address"), m_address, QStringLiteral("--control")});
        return sim.waitForStarted() && QTest::qWaitFor([this] { return sim.canReadLine(); }, 15000)
            && sim.readLine().contains("listening on");
    }
    //! Sends a control command to the simulator; its answer, or empty after 10 s.
    QString simCommand(const QString &line)
    {
        sim.write(line.toUtf8() + '\n');
        if (!QTest::qWaitFor([this] { return sim.canReadLine(); }, 10000))
            return QString();
        return QString::fromUtf8(sim.readLine()).trimmed();
    }

    //! Starts the client on settings whose [General] group holds these lines; it logs to client.log.
    bool startClient(const QByteArray &general = QByteArray())
    {
        QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
        QFile file(settingsFile());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        file.write((general.isEmpty() ? QByteArray() : "[General]\n" + general) + "[loginDialog]\nlastUsername=demo\nlastHost="
                   + m_address.toUtf8() + "\npassword=demo\n");
        file.close();
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_environment.insert(QStringLiteral("HOME"), m_home.path());
        m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), filePath(QStringLiteral("config")));
        m_environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        m_environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("cti.debug=true"));
        m_environment.remove(QStringLiteral("LANGUAGE"));
        m_environment.remove(QStringLiteral("LC_ALL"));
        client.setProcessEnvironment(m_environment);
        client.setStandardOutputFile(filePath(QStringLiteral("client.log")), QIODevice::Append);
        client.setStandardErrorFile(filePath(QStringLiteral("client.log")), QIODevice::Append);
        client.start(QStringLiteral(TALVERO_CLIENT_BIN), QStringList());
        return client.waitForStarted();
    }

    void stopClient() { X11Session::stop(&client); }

    //! The X window id of the client's viewable window with this title; empty while there is none.
    QString windowId(const QString &title) const
    {
        const QStringList ids = X11Session::xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                                     QString::number(client.processId())})
                                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &id : ids) {
            if (X11Session::xdotool({QStringLiteral("getwindowname"), id}).trimmed() == title)
                return id;
        }
        return QString();
    }

    //! The geometry of the client's viewable window with this title; null while there is none.
    //! (xwininfo: xdotool counts a window manager's frame twice in the position.)
    QRect window(const QString &title) const
    {
        const QString id = windowId(title);
        if (id.isEmpty())
            return QRect();
        QMap<QString, int> values; // "  Absolute upper-left X:  12"
        for (const QString &line : X11Session::run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id}).split(QLatin1Char('\n')))
            values.insert(line.section(QLatin1Char(':'), 0, 0).trimmed(), line.section(QLatin1Char(':'), 1).trimmed().toInt());
        return QRect(values.value(QStringLiteral("Absolute upper-left X")), values.value(QStringLiteral("Absolute upper-left Y")),
                     values.value(QStringLiteral("Width")), values.value(QStringLiteral("Height")));
    }

    //! As window(), with the frame the window manager put around it.
    QRect frame(const QString &title) const
    {
        const QRect inside = window(title);
        // "_NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom"
        const QStringList extents = property(title, QStringLiteral("_NET_FRAME_EXTENTS")).section(QLatin1Char('='), 1).split(QLatin1Char(','));
        if (inside.isNull() || extents.size() != 4)
            return inside;
        return inside.adjusted(-extents.at(0).toInt(), -extents.at(2).toInt(), extents.at(1).toInt(), extents.at(3).toInt());
    }

    //! A property of the client's window with this title, as xprop prints it.
    QString property(const QString &title, const QString &name) const
    {
        const QString id = windowId(title);
        return id.isEmpty() ? QString() : X11Session::run(QStringLiteral("xprop"), {QStringLiteral("-id"), id, name}).trimmed();
    }

    //! The extension monitor once drawn with the demo's colleagues: narrower than the provisional
    //! screen-wide window, and the same twice in a row. Null if that takes over a minute.
    QRect drawnMonitor() const
    {
        QRect drawn;
        const bool settled = QTest::qWaitFor(
            [&] {
                const QRect now = window(QStringLiteral("Extension Monitor"));
                const bool same = now == drawn && now.width() >= 1000 && now.width() < X11Session::width;
                drawn = now;
                return same;
            },
            60000);
        return settled ? drawn : QRect();
    }

    QProcess sim;
    QProcess client;

private:
    const QString m_address;
    QTemporaryDir m_home;
    QProcessEnvironment m_environment;
};
#endif
