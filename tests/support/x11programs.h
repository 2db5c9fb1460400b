#pragma once

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// The simulator and the real client, started as a user would on the X server in DISPLAY, in a
// throw-away home whose settings log the demo user in by themselves; their windows are seen the
// way the window system has them. Both programs end with this object.
class X11Programs
{
public:
    explicit X11Programs(const QString &address) : m_address(address) {}
    ~X11Programs()
    {
        stopClient();
        stop(&sim);
    }

    //! Why these tests cannot run here; null when they can.
    static const char *missing(const QStringList &tools = {QStringLiteral("xdotool")})
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            return "needs an X server (DISPLAY)";
        for (const QString &tool : tools) {
            if (QStandardPaths::findExecutable(tool).isEmpty())
                return "needs the X tools xdotool, xclip and import";
        }
        return nullptr;
    }

    //! Runs an X tool, bounded: one that overruns is killed and remembered, and the tools after it
    //! do not run until verifyNothingHung() names it (a busy X server must not hang the whole test).
    static QString run(const QString &program, const QStringList &args)
    {
        if (!hung().isEmpty())
            return QString();
        QProcess process;
        process.start(program, args);
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(2000);
            hung() << program + QLatin1Char(' ') + args.join(QLatin1Char(' '));
            return QString();
        }
        return QString::fromUtf8(process.readAllStandardOutput());
    }
    static QString xdotool(const QStringList &args) { return run(QStringLiteral("xdotool"), args); }

    //! For a test's cleanup(): fails it with the tools that hung in it.
    static void verifyNothingHung()
    {
        const QStringList steps = hung();
        hung().clear();
        QVERIFY2(steps.isEmpty(), qPrintable(QStringLiteral("did not finish within 10 s: ") + steps.join(QStringLiteral("; "))));
    }

    //! The screen, read once the simulator is started.
    QRect screen() const { return m_screen; }
    QString filePath(const QString &name) const { return m_home.filePath(name); }
    QString settingsFile() const { return filePath(QStringLiteral("config/Talvero Europe GmbH/Talvero CTI Client.conf")); }
    QProcessEnvironment clientEnvironment() const { return m_environment; }

    //! Starts the simulator with its control commands on standard input, its log in sim.log.
    bool startSimulator()
    {
        const QStringList size = xdotool({QStringLiteral("getdisplaygeometry")}).split(QLatin1Char(' '));
        if (!m_home.isValid() || size.size() != 2)
            return false;
        m_screen = QRect(0, 0, size.at(0).toInt(), size.at(1).trimmed().toInt());
        sim.setStandardErrorFile(filePath(QStringLiteral("sim.log")));
        sim.start(QStringLiteral(TALVERO_SIM_BIN), {QStringLiteral("--address"), m_address, QStringLiteral("--control")});
        return sim.waitForStarted() && QTest::qWaitFor([this] { return sim.canReadLine(); }, 15000)
            && sim.readLine().contains("listening on");
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

    void stopClient() { stop(&client); }

    //! The geometry of the client's viewable window with this title; null while there is none.
    QRect window(const QString &title) const
    {
        const QStringList ids = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                         QString::number(client.processId())})
                                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &id : ids) {
            if (xdotool({QStringLiteral("getwindowname"), id}).trimmed() != title)
                continue;
            QMap<QString, int> values; // X=, Y=, WIDTH=, HEIGHT=
            for (const QString &line : xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id})
                                           .split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                values.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1).toInt());
            return QRect(values.value(QStringLiteral("X")), values.value(QStringLiteral("Y")),
                         values.value(QStringLiteral("WIDTH")), values.value(QStringLiteral("HEIGHT")));
        }
        return QRect();
    }

    //! The extension monitor once drawn with the demo's colleagues: narrower than the provisional
    //! screen-wide window, and the same twice in a row. Null if that takes over a minute.
    QRect drawnMonitor() const
    {
        QRect drawn;
        const bool settled = QTest::qWaitFor(
            [&] {
                const QRect now = window(QStringLiteral("Extension Monitor"));
                const bool same = now == drawn && now.width() >= 1000 && now.width() < m_screen.width();
                drawn = now;
                return same;
            },
            60000);
        return settled ? drawn : QRect();
    }

    QProcess sim;
    QProcess client;

private:
    static QStringList &hung()
    {
        static QStringList steps;
        return steps;
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

    const QString m_address;
    QTemporaryDir m_home;
    QRect m_screen;
    QProcessEnvironment m_environment;
};
