#pragma once

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// A private dbus-daemon that stands in for the system or the session bus: the variable naming
// that bus's address (DBUS_SYSTEM_BUS_ADDRESS, DBUS_SESSION_BUS_ADDRESS) points at it while this
// object lives. Stand-in services use serviceConnection(). The daemon ends with this object.
class PrivateBus
{
public:
    explicit PrivateBus(const char *addressVariable)
        : m_addressVariable(addressVariable)
        , m_hadAddress(qEnvironmentVariableIsSet(addressVariable))
        , m_oldAddress(qgetenv(addressVariable))
        , m_serviceConnection(QStringLiteral("private-bus-services-%1").arg(quintptr(this), 0, 16))
    {
    }

    ~PrivateBus()
    {
        QDBusConnection::disconnectFromBus(m_serviceConnection);
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.terminate();
            if (!m_daemon.waitForFinished(5000))
                m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
        if (m_hadAddress)
            qputenv(m_addressVariable, m_oldAddress);
        else
            qunsetenv(m_addressVariable);
    }

    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    //! Why the tests cannot run here; null when they can.
    static const char *missing()
    {
        return QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty() ? "needs dbus-daemon" : nullptr;
    }

    //! Starts the daemon and points the address variable at it; what went wrong, or empty.
    QString start()
    {
        QFile config(m_dir.filePath(QStringLiteral("bus.conf")));
        if (!m_dir.isValid() || !config.open(QIODevice::WriteOnly))
            return QStringLiteral("cannot write the bus configuration");
        config.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                     " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                     "<busconfig>\n  <listen>unix:path="
                     + m_dir.filePath(QStringLiteral("bus")).toUtf8()
                     + "</listen>\n  <auth>EXTERNAL</auth>\n"
                       "  <policy context=\"default\">\n"
                       "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                       "    <allow eavesdrop=\"true\"/>\n"
                       "    <allow own=\"*\"/>\n"
                       "  </policy>\n</busconfig>\n");
        config.close();
        m_daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config.fileName(),
                                                       QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                                                       QStringLiteral("--print-address")});
        if (!m_daemon.waitForStarted(10000))
            return QStringLiteral("dbus-daemon did not start: ") + m_daemon.errorString();
        if (!QTest::qWaitFor([this] { return m_daemon.canReadLine(); }, 10000))
            return QStringLiteral("dbus-daemon printed no address within 10 s: ")
                + QString::fromLocal8Bit(m_daemon.readAllStandardError());
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        qputenv(m_addressVariable, m_address.toUtf8());
        return QString();
    }

    QString address() const { return m_address; }

    //! The stand-in services' own connection to the bus, opened on first use.
    QDBusConnection serviceConnection() const
    {
        return QDBusConnection::connectToBus(m_address, m_serviceConnection);
    }

private:
    const char *const m_addressVariable;
    const bool m_hadAddress;
    const QByteArray m_oldAddress;
    const QString m_serviceConnection;
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};
