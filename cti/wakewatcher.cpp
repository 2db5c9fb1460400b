#include "wakewatcher.h"

#include "log.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDateTime>

#include <algorithm>

namespace {
const QString logTag = QStringLiteral("WakeWatcher");
// What libdbus connects to when DBUS_SYSTEM_BUS_ADDRESS is not set.
const QString defaultSystemBus = QStringLiteral("unix:path=/var/run/dbus/system_bus_socket");

const QString login1 = QStringLiteral("org.freedesktop.login1");
const QString networkManager = QStringLiteral("org.freedesktop.NetworkManager");
const QString networkManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");

// NetworkManager's NM_STATE_CONNECTED_LOCAL and NM_CONNECTIVITY_LIMITED: a PBX on the local
// network may be reachable without the internet.
constexpr qint64 stateConnected = 50;
constexpr qint64 connectivityLimited = 3;
}

WakeWatcher::WakeWatcher(QObject *parent, Clock clock)
    : QObject(parent)
    , m_clock(clock ? std::move(clock) : Clock(&QDateTime::currentMSecsSinceEpoch))
    , m_busName(QStringLiteral("talvero-wake-%1").arg(quintptr(this), 0, 16))
{
    m_clockTimer.setInterval(clockCheckIntervalMs);
    connect(&m_clockTimer, &QTimer::timeout, this, &WakeWatcher::checkClock);
}

WakeWatcher::~WakeWatcher()
{
    QDBusConnection::disconnectFromBus(m_busName);
}

void WakeWatcher::start()
{
    m_lastClockReading = m_clock();
    m_clockTimer.start();
    listenOnBus();
}

void WakeWatcher::setClockCheckIntervalMs(int intervalMs)
{
    m_clockTimer.setInterval(std::max(1, intervalMs));
}

void WakeWatcher::checkClock()
{
    // The timer counts no time asleep, the wall clock does.
    const qint64 now = m_clock();
    const qint64 late = now - m_lastClockReading - m_clockTimer.interval();
    m_lastClockReading = now;
    if (late > clockJumpMs)
        emit linkCheckWanted();
}

void WakeWatcher::listenOnBus()
{
    // A connection of our own, not QDBusConnection::systemBus(): the address is read now.
    const QString address = qEnvironmentVariableIsSet("DBUS_SYSTEM_BUS_ADDRESS")
        ? qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS")
        : defaultSystemBus;
    QDBusConnection bus = QDBusConnection::connectToBus(address, m_busName);
    if (!bus.isConnected()) {
        Log::w(QStringLiteral("no system bus (") + bus.lastError().message()
                   + QStringLiteral("): a wake is noticed by the clock alone"),
               logTag);
        return;
    }
    bus.connect(login1, QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
                QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
    bus.connect(networkManager, networkManagerPath, networkManager, QStringLiteral("StateChanged"), this,
                SLOT(onNetworkStateChanged(uint)));
    bus.connect(networkManager, networkManagerPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("PropertiesChanged"), this,
                SLOT(onNetworkPropertiesChanged(QString, QVariantMap, QStringList)));

    // Asked after the subscriptions went out: once answered, the bus delivers to them.
    auto *call = new QDBusPendingCallWatcher(bus.interface()->asyncCall(QStringLiteral("ListNames")), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *answer) {
        answer->deleteLater();
        const QStringList names = QDBusPendingReply<QStringList>(*answer).value();
        m_askedBus = true;
        QStringList missing;
        for (const QString &service : {login1, networkManager}) {
            if (!names.contains(service))
                missing << service;
        }
        if (!missing.isEmpty())
            Log::w(missing.join(QStringLiteral(" and ")) + QStringLiteral(" not on the system bus: a wake is noticed by the clock alone"),
                   logTag);
    });
}

void WakeWatcher::onPrepareForSleep(bool sleeping)
{
    // Before sleep there is nothing to do: whatever is sent would meet a link about to freeze.
    if (!sleeping)
        emit linkCheckWanted();
}

void WakeWatcher::onNetworkStateChanged(uint state)
{
    noteNetwork(&m_networkState, state, stateConnected);
}

void WakeWatcher::onNetworkPropertiesChanged(const QString &interface, const QVariantMap &changed,
                                             const QStringList &invalidated)
{
    Q_UNUSED(invalidated)
    if (interface != networkManager)
        return;
    bool ok = false;
    const qint64 state = changed.value(QStringLiteral("State")).toLongLong(&ok);
    if (ok)
        noteNetwork(&m_networkState, state, stateConnected);
    const qint64 connectivity = changed.value(QStringLiteral("Connectivity")).toLongLong(&ok);
    if (ok)
        noteNetwork(&m_connectivity, connectivity, connectivityLimited);
}

void WakeWatcher::noteNetwork(qint64 *last, qint64 value, qint64 connectedFrom)
{
    const bool wasConnected = *last >= connectedFrom;
    *last = value;
    if (value >= connectedFrom && !wasConnected)
        emit linkCheckWanted();
}
