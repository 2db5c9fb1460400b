#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// A private dbus-daemon that stands in for the system bus: DBUS_SYSTEM_BUS_ADDRESS points at it
// while this object lives. ownServices() puts stand-ins for logind and NetworkManager on it, whose
// signals the test then emits. The daemon ends with this object.
class PrivateSystemBus
{
public:
    PrivateSystemBus()
        : m_hadAddress(qEnvironmentVariableIsSet(addressVariable))
        , m_oldAddress(qgetenv(addressVariable))
        , m_serviceConnection(QStringLiteral("private-system-bus-%1").arg(quintptr(this), 0, 16))
    {
    }

    ~PrivateSystemBus()
    {
        QDBusConnection::disconnectFromBus(m_serviceConnection);
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.terminate();
            if (!m_daemon.waitForFinished(5000))
                m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
        if (m_hadAddress)
            qputenv(addressVariable, m_oldAddress);
        else
            qunsetenv(addressVariable);
    }

    //! Why the tests cannot run here; null when they can.
    static const char *missing()
    {
        return QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty() ? "needs dbus-daemon" : nullptr;
    }

    //! Starts the daemon and points DBUS_SYSTEM_BUS_ADDRESS at it; what went wrong, or empty.
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
        qputenv(addressVariable, m_address.toUtf8());
        return QString();
    }

    QString address() const { return m_address; }

    //! Owns the names of logind and NetworkManager, as on a desktop; false if the bus refused.
    bool ownServices()
    {
        QDBusConnection bus = QDBusConnection::connectToBus(m_address, m_serviceConnection);
        return bus.isConnected() && bus.registerService(QStringLiteral("org.freedesktop.login1"))
            && bus.registerService(QStringLiteral("org.freedesktop.NetworkManager"));
    }

    //! logind's signal: true before the machine sleeps, false once it woke.
    void prepareForSleep(bool sleeping)
    {
        emitSignal(QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
                   QStringLiteral("PrepareForSleep"), {sleeping});
    }

    //! NetworkManager's own signal of its overall state (70: connected, 20: disconnected).
    void networkStateChanged(uint state)
    {
        emitSignal(networkManagerPath(), networkManager(), QStringLiteral("StateChanged"), {state});
    }

    //! NetworkManager's "State" or "Connectivity" property changed (connectivity 4: full, 1: none).
    void networkPropertyChanged(const QString &property, uint value)
    {
        emitSignal(networkManagerPath(), QStringLiteral("org.freedesktop.DBus.Properties"),
                   QStringLiteral("PropertiesChanged"),
                   {networkManager(), QVariantMap{{property, QVariant::fromValue(value)}}, QStringList()});
    }

private:
    static constexpr const char *addressVariable = "DBUS_SYSTEM_BUS_ADDRESS";
    static QString networkManager() { return QStringLiteral("org.freedesktop.NetworkManager"); }
    static QString networkManagerPath() { return QStringLiteral("/org/freedesktop/NetworkManager"); }

    void emitSignal(const QString &path, const QString &interface, const QString &name, const QVariantList &arguments)
    {
        QDBusMessage message = QDBusMessage::createSignal(path, interface, name);
        message.setArguments(arguments);
        QVERIFY2(QDBusConnection(m_serviceConnection).send(message), "the stand-in services are not on the bus");
    }

    const bool m_hadAddress;
    const QByteArray m_oldAddress;
    const QString m_serviceConnection;
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};
