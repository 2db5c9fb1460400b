#pragma once

#include "privatebus.h"

#include <QDBusMessage>
#include <QDBusVariant>

// A private bus standing in for the system bus. ownServices() puts stand-ins for logind and
// NetworkManager on it, whose signals the test then emits.
class PrivateSystemBus : public PrivateBus
{
public:
    PrivateSystemBus()
        : PrivateBus("DBUS_SYSTEM_BUS_ADDRESS")
    {
    }

    //! Owns the names of logind and NetworkManager, as on a desktop; false if the bus refused.
    bool ownServices()
    {
        QDBusConnection bus = serviceConnection();
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
    static QString networkManager() { return QStringLiteral("org.freedesktop.NetworkManager"); }
    static QString networkManagerPath() { return QStringLiteral("/org/freedesktop/NetworkManager"); }

    void emitSignal(const QString &path, const QString &interface, const QString &name, const QVariantList &arguments)
    {
        QDBusMessage message = QDBusMessage::createSignal(path, interface, name);
        message.setArguments(arguments);
        QVERIFY2(serviceConnection().send(message), "the stand-in services are not on the bus");
    }
};
