#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <functional>

//! Tells when the link to the server may have died unnoticed: the machine woke from suspend, or a
//! network came back. It listens on the system bus (the one DBUS_SYSTEM_BUS_ADDRESS names, if set)
//! to logind and NetworkManager. Those signals may not come (after hibernation) or come twice, so a
//! timer also watches the wall clock jump. Without the bus or the services only the clock watches.
class WakeWatcher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(WakeWatcher)

public:
    //! Wall-clock milliseconds since the epoch.
    using Clock = std::function<qint64()>;

    static constexpr int clockCheckIntervalMs = 5000;
    //! A clock check this much later than its interval on the wall clock means the machine slept.
    static constexpr int clockJumpMs = 15000;

    explicit WakeWatcher(QObject *parent = nullptr, Clock clock = Clock());
    ~WakeWatcher() override;

    //! Starts the clock checks and listens on the system bus; what is missing there is logged once.
    void start();
    //! The clock checks' interval, clockCheckIntervalMs unless set otherwise (tests shorten it).
    void setClockCheckIntervalMs(int intervalMs);
    //! The bus answered who is on it: from then on its signals are heard.
    bool hasAskedBus() const { return m_askedBus; }

signals:
    //! The machine woke or a network came back: the link may be dead. May come more than once for
    //! one wake. Nothing is emitted when the machine is about to sleep.
    void linkCheckWanted();

private slots:
    // Slots by name: Qt D-Bus connects signals only so.
    void onPrepareForSleep(bool sleeping);
    void onNetworkStateChanged(uint state);
    void onNetworkPropertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &invalidated);

private:
    void checkClock();
    void listenOnBus();
    //! Wants a check when a network state or connectivity turns connected from anything else.
    void noteNetwork(qint64 *last, qint64 value, qint64 connectedFrom);

    Clock m_clock;
    QTimer m_clockTimer;
    qint64 m_lastClockReading = 0;
    QString m_busName;
    bool m_askedBus = false;
    // -1: not heard yet.
    qint64 m_networkState = -1;
    qint64 m_connectivity = -1;
};
