#include "cticonnector.h"

#include "addressbook.h"
#include "addresses.h"
#include "cticonnectorresponsehandler.h"
#include "forwardpreset.h"
#include "line.h"
#include "passbudget.h"
#include "phone.h"
#include "queue.h"
#include "ucitem.h"
#include "user.h"

#include <QJsonDocument>
#include <QThreadPool>
#include <algorithm>
#include <QMutexLocker>
#include <QUrl>

namespace {
const QString keyStatus = QStringLiteral("status");
}

// Order matters: the first matching name runs.
const CTIConnector::Route CTIConnector::eventRoutes[] = {
    {QLatin1String("updateUserPresence"), &CTIConnector::handleEvent_updateUserPresence},
    {QLatin1String("updateLineStatus"), &CTIConnector::handleEvent_updateLineStatus},
    {QLatin1String("addressAdded"), &CTIConnector::handleEvent_addressAdded},
    {QLatin1String("addressChanged"), &CTIConnector::handleEvent_addressChanged},
    {QLatin1String("addressDeleted"), &CTIConnector::handleEvent_addressDeleted},
    {QLatin1String("contactTypesChanged"), &CTIConnector::handleEvent_contactTypesChanged},
    {QLatin1String("phoneConfigChanged"), &CTIConnector::handleEvent_phoneConfigChanged},
    {QLatin1String("phoneChanged"), &CTIConnector::handleEvent_phoneChanged},
    {QLatin1String("queueChanged"), &CTIConnector::handleEvent_queueChanged},
    {QLatin1String("newQueueCall"), &CTIConnector::handleEvent_newQueueCall},
    {QLatin1String("agentChanged"), &CTIConnector::handleEvent_agentChanged},
    {QLatin1String(), nullptr},
};

const CTIConnector::Route CTIConnector::responseRoutes[] = {
    {QLatin1String("login"), &CTIConnector::handleResponse_login},
    {QLatin1String("requestLineStatus"), &CTIConnector::handleResponse_requestLineStatus},
    {QLatin1String("requestUCItems"), &CTIConnector::handleResponse_requestUCItems},
    {QLatin1String("getAddressbooks"), &CTIConnector::handleResponse_getAddressbooks},
    {QLatin1String("getAddresses"), &CTIConnector::handleResponse_getAddresses},
    {QLatin1String("saveAddress"), &CTIConnector::handleResponse_saveAddress},
    {QLatin1String("deleteAddress"), &CTIConnector::handleResponse_deleteAddress},
    {QLatin1String("setAddressPicture"), &CTIConnector::handleResponse_setAddressPicture},
    {QLatin1String("getAddressPicture"), &CTIConnector::handleResponse_getAddressPicture},
    {QLatin1String("getContactTypes"), &CTIConnector::handleResponse_getContactTypes},
    {QLatin1String("requestJabberBuddies"), &CTIConnector::handleResponse_requestJabberBuddies},
    {QLatin1String("requestPhoneConfig"), &CTIConnector::handleResponse_requestPhoneConfig},
    {QLatin1String("requestQueueCalls"), &CTIConnector::handleResponse_requestQueueCalls},
    {QLatin1String(), nullptr},
};

CTIConnector *CTIConnector::instance()
{
    static CTIConnector connector;
    return &connector;
}

CTIConnector::CTIConnector()
{
    // Records cross threads (the history worker) and queued connections.
    qRegisterMetaType<Line *>();
    qRegisterMetaType<User *>();
    qRegisterMetaType<Phone *>();
    qRegisterMetaType<Queue *>();
    qRegisterMetaType<ForwardPreset *>();
    qRegisterMetaType<Addressbook *>();
    qRegisterMetaType<Addresses *>();
    qRegisterMetaType<UCItem *>();

    connect(&m_sendQueueTimer, &QTimer::timeout, this, &CTIConnector::checkSendQueue);
    m_sendQueueTimer.setInterval(sendQueueIntervalMs);
    m_sendQueueTimer.start();

    m_reconnectTimer = new QTimer(this);
    connect(m_reconnectTimer, &QTimer::timeout, this, &CTIConnector::silentReconnect);

    // Qt 5.15 has no handshake time-out of its own: a peer that accepts TCP but never
    // answers the upgrade would leave the attempt "connecting" for ever.
    m_connectTimeout.setSingleShot(true);
    m_connectTimeout.setTimerType(Qt::PreciseTimer);
    m_connectTimeout.setInterval(connectTimeoutMs);
    connect(&m_connectTimeout, &QTimer::timeout, this, &CTIConnector::onConnectTimeout);

    connect(&m_socket, &CTISocket::pong, this, &CTIConnector::onPong);
    connect(&m_socket, &CTISocket::connected, this, &CTIConnector::onSocketConnected);
    connect(&m_socket, &CTISocket::textMessageReceived, this, &CTIConnector::onMessage);
    connect(&m_socket, &CTISocket::error, this, &CTIConnector::onSocketError);
    connect(&m_socket, &CTISocket::disconnected, this, &CTIConnector::onDisconnect);

    m_linkCheck.setSingleShot(true);
    m_linkCheck.setTimerType(Qt::PreciseTimer);
    m_linkCheck.setInterval(linkCheckTimeoutMs);
    connect(&m_linkCheck, &QTimer::timeout, this, &CTIConnector::onLinkCheckTimeout);

    m_nextDispatchPass.setSingleShot(true);
    m_nextDispatchPass.setInterval(0);
    connect(&m_nextDispatchPass, &QTimer::timeout, this, &CTIConnector::dispatchDeferredTexts);
    m_nextAddressSlice.setSingleShot(true);
    m_nextAddressSlice.setInterval(0);
    connect(&m_nextAddressSlice, &QTimer::timeout, this, &CTIConnector::continueAddressPage);
}

CTIConnector::~CTIConnector()
{
    // Only at process exit: the records live as long as the process, but a leak checker
    // should see them released.
    for (const QPointer<QObject> &record : m_pendingReleases + m_releasing) {
        if (record && !record->parent())
            delete record.data();
    }
    qDeleteAll(m_lines);
    qDeleteAll(m_buddies);
    qDeleteAll(m_phones);
    qDeleteAll(m_queues);
}

void CTIConnector::login(const QString &username, const QString &password, const QString &server)
{
    delete m_pingTimer; // the replaced link's
    m_linkCheck.stop();

    m_pingTimer = new QTimer(this);
    connect(m_pingTimer, &QTimer::timeout, this, &CTIConnector::sendPing);

    m_host = server;
    m_username = username;
    m_password = password;

    ++m_linkSerial;
    m_connectTimeout.start();
    // The socket it replaces reports nothing more.
    m_socket.open(QUrl(QStringLiteral("ws://") + server + QStringLiteral(":28888/cti")));
}

void CTIConnector::reconnect()
{
    // The user's attempt ends the silent ones: whatever becomes of it is reported, and its
    // failure starts none.
    m_reconnectTimer->stop();
    m_userReconnectPending = true;
    m_silentLoginPending = false;
    login(m_username, m_password, m_host);
}

void CTIConnector::silentReconnect()
{
    // After an attempt started at once, the next ones keep their interval.
    m_reconnectTimer->setInterval(reconnectIntervalMs);
    // An attempt still in its handshake or awaiting its login answer is not replaced (a slow server
    // would never be reached): the next one starts at the first tick after it failed or timed out.
    if (m_connectTimeout.isActive())
        return;
    ++m_silentReconnectAttempts;
    if (m_silentReconnectAttempts > silentAttemptLimit) {
        // The last attempt neither connected nor failed within a whole interval: it failed.
        abandonSocket();
        giveUpSilentReconnection();
        return;
    }
    login(m_username, m_password, m_host);
    m_silentLoginPending = true;
}

int CTIConnector::sendingLink() const
{
    return m_socket.state() == QAbstractSocket::ConnectedState ? m_linkSerial : 0;
}

void CTIConnector::sendMessage(CTIMessage &message)
{
    m_socket.sendTextMessage(QString::fromUtf8(message.toJSON()));
}

void CTIConnector::queueMessage(CTIMessage &message)
{
    QMutexLocker locker(&m_sendQueueLock);
    m_sendQueue.append(message);
}

void CTIConnector::checkSendQueue()
{
    QList<CTIMessage> pending;
    {
        QMutexLocker locker(&m_sendQueueLock);
        if (m_sendQueue.isEmpty())
            return;
        pending.swap(m_sendQueue);
    }
    for (CTIMessage &message : pending)
        sendMessage(message);
}

void CTIConnector::startPing()
{
    if (m_pingTimer && !m_pingTimer->isActive()) {
        m_pingTimer->setInterval(m_pingIntervalMs);
        m_pingTimer->start();
    }
}

void CTIConnector::sendPing()
{
    if (m_socket.state() != QAbstractSocket::ConnectedState)
        return;
    // A flag, not a clock read, per message: dispatch stays as cheap as parsing.
    m_silentPingTicks = m_heardSinceLastTick ? 0 : m_silentPingTicks + 1;
    m_heardSinceLastTick = false;
    m_socket.ping();
    if (m_silentPingTicks >= deadLinkTicks) {
        // Silence counts in event-loop time. After the loop was busy, this tick runs in the same
        // pass that reads what the server sent meanwhile, before it is handled: judge one pass later.
        QTimer::singleShot(0, this, &CTIConnector::dropLinkIfStillSilent);
    }
}

void CTIConnector::dropLinkIfStillSilent()
{
    if (m_socket.state() != QAbstractSocket::ConnectedState || m_silentPingTicks < deadLinkTicks)
        return;
    if (m_heardSinceLastTick) {
        m_silentPingTicks = 0;
        return;
    }
    dropDeadLink();
}

void CTIConnector::dropDeadLink()
{
    abandonSocket();
    onDisconnect();
    onSocketError(QAbstractSocket::RemoteHostClosedError);
}

void CTIConnector::checkLinkNow()
{
    if (m_reconnectTimer->isActive()) {
        reconnectAtOnce();
        return;
    }
    if (!sendingLink() || m_linkCheck.isActive())
        return;
    m_linkCheckAnswered = false;
    m_socket.ping();
    m_linkCheck.start();
}

void CTIConnector::onLinkCheckTimeout()
{
    // Judged one pass later, as the keep-alive's silence is: a pong read in this pass still counts.
    QTimer::singleShot(0, this, [this] {
        if (m_linkCheckAnswered || !sendingLink())
            return;
        dropDeadLink();
        reconnectAtOnce();
    });
}

void CTIConnector::reconnectAtOnce()
{
    // On the next pass, from the timer. An attempt still under way is not replaced (see
    // silentReconnect()).
    if (m_reconnectTimer->isActive())
        m_reconnectTimer->start(0);
}

void CTIConnector::setPingIntervalMs(int intervalMs)
{
    m_pingIntervalMs = std::max(1, intervalMs);
    if (m_pingTimer)
        m_pingTimer->setInterval(m_pingIntervalMs);
}

void CTIConnector::onPong(quint64 elapsedTime, const QByteArray &payload)
{
    Q_UNUSED(elapsedTime)
    Q_UNUSED(payload)
    m_heardSinceLastTick = true;
    m_linkCheckAnswered = true;
}

void CTIConnector::onSocketConnected()
{
    // The attempt is not done before its login is accepted: a server that completes handshakes
    // and then drops the link or never answers must not restart the silent attempts each time.
    m_connectTimeout.start();
    m_silentPingTicks = 0;
    m_heardSinceLastTick = false;

    CTIMessage message = CTIMessage::generateCommand(QStringLiteral("login"));
    message.setValueForKey(QStringLiteral("user"), m_username);
    message.setValueForKey(QStringLiteral("pass"), m_password);
    message.setValueForKey(QStringLiteral("crypt"), "no");
    sendMessage(message);

    startPing();
}

void CTIConnector::onConnectTimeout()
{
    abandonSocket();
    // The same order Qt reports a failed attempt in.
    onDisconnect();
    onSocketError(QAbstractSocket::SocketTimeoutError);
}

void CTIConnector::releaseUnlessAdopted(QObject *record)
{
    m_pendingReleases.append(QPointer<QObject>(record));
    if (m_releasePassQueued)
        return;
    m_releasePassQueued = true;
    // Two passes, one event each, for a whole batch of records: a receiver's queued call for a
    // record was posted when it was emitted, before the record got here, so before the first
    // pass ran and the second pass was posted.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_releasePassQueued = false;
            m_releasing.append(m_pendingReleases);
            m_pendingReleases.clear();
            const int count = m_releasing.size();
            QMetaObject::invokeMethod(
                this,
                [this, count] {
                    // Earlier second passes took their share first, so ours is at the front.
                    const int n = std::min(count, int(m_releasing.size()));
                    const QVector<QPointer<QObject>> batch = m_releasing.mid(0, n);
                    m_releasing.erase(m_releasing.begin(), m_releasing.begin() + n);
                    for (const QPointer<QObject> &guard : batch) {
                        if (guard && !guard->parent())
                            delete guard.data();
                    }
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void CTIConnector::abandonSocket()
{
    m_connectTimeout.stop();
    if (m_pingTimer)
        m_pingTimer->stop();
    m_socket.abort();
}

void CTIConnector::onSocketError(QAbstractSocket::SocketError error)
{
    Q_UNUSED(error)
    m_connectTimeout.stop();
    if (!m_loggedIn) {
        emit connectFailed();
        return;
    }
    if (failUserReconnect())
        return;
    giveUpSilentReconnection();
}

void CTIConnector::onDisconnect()
{
    m_connectTimeout.stop();
    if (!m_loggedIn)
        return;
    if (failUserReconnect())
        return;
    if (m_silentReconnectAttempts == 0) {
        m_reconnectTimer->setInterval(reconnectIntervalMs);
        m_reconnectTimer->start();
        // A link check's ping met a link the server had already forgotten.
        if (m_linkCheck.isActive()) {
            m_linkCheck.stop();
            reconnectAtOnce();
        }
        return;
    }
    giveUpSilentReconnection();
}

bool CTIConnector::failUserReconnect()
{
    // Qt may report a failure by disconnected(), by error() or by both: the first one tells.
    if (!m_userReconnectPending)
        return false;
    m_userReconnectPending = false;
    emit reconnectFailed();
    return true;
}

bool CTIConnector::giveUpSilentReconnection()
{
    if (m_silentReconnectAttempts < silentAttemptLimit || !m_reconnectTimer->isActive())
        return false;
    m_reconnectTimer->stop();
    emit connectionLost();
    return true;
}

void CTIConnector::onMessage(const QString &text)
{
    m_heardSinceLastTick = true;
    // Messages are handled in the order they came: while a page is parsed or handed out in
    // slices, or once this pass has had its share, what comes meanwhile waits behind it.
    if (isHandlingPage() || !m_deferredTexts.isEmpty() || dispatchPassSpent()) {
        m_deferredTexts.append(text);
        return;
    }
    dispatchText(text);
}

bool CTIConnector::dispatchPassSpent()
{
    // A read can bring hundreds of events (a trunk going down ends every call at once); handled
    // in one go they would freeze the window. What waits goes on in the next pass.
    if (!PassBudget::spent(m_dispatchBudgetMs))
        return false;
    if (!m_nextDispatchPass.isActive())
        m_nextDispatchPass.start();
    return true;
}

void CTIConnector::dispatchText(const QString &text)
{
    // A large conversation history is parsed on a worker as well, not only handled there.
    if (CTIConnectorResponseHandler::startForText(text) || startPageParse(text))
        return;
    // Most of what a server pushes is of no interest to this client: look at the name first and
    // build the message only for a listed one. Malformed text reads as an empty name.
    dispatchObject(QJsonDocument::fromJson(text.toUtf8()).object());
}

void CTIConnector::dispatchObject(const QJsonObject &root)
{
    if (root.isEmpty())
        return;
    const QString name = root.value(QLatin1String("name")).toString();
    const Route *event = findRoute(eventRoutes, name);
    const Route *response = findRoute(responseRoutes, name);
    if (!event && !response)
        return;

    // As CTIMessage::fromJSON builds it, reusing the name already read.
    CTIMessage message;
    message.setName(name);
    message.setType(CTIMessageType::fromString(root.value(QLatin1String("type")).toString()));
    message.setData(root.value(QLatin1String("data")).toObject());
    switch (message.type()) {
    case CTIMessageType::event:
        if (event)
            (this->*(event->handler))(message);
        break;
    case CTIMessageType::response:
        if (response)
            (this->*(response->handler))(message);
        break;
    case CTIMessageType::command:
    case CTIMessageType::none:
        break;
    }
}

bool CTIConnector::startPageParse(const QString &text)
{
    if (!CTIConnectorResponseHandler::namesResponse(text, QStringLiteral("getAddresses")))
        return false;
    m_parsingPage = true;
    QThreadPool::globalInstance()->start(QRunnable::create([this, text]() mutable { preparePage(std::move(text)); }));
    return true;
}

void CTIConnector::onPageParsed(const QJsonObject &root)
{
    m_parsingPage = false;
    dispatchObject(root);
    if (!isHandlingPage())
        dispatchDeferredTexts();
}

void CTIConnector::dispatchDeferredTexts()
{
    // A handler's nested event loop may land here again; the outer call goes on with the queue.
    if (m_dispatchingDeferred)
        return;
    m_dispatchingDeferred = true;
    // One at least, whatever else this pass did: each pass gets on with the queue.
    for (bool first = true; !m_deferredTexts.isEmpty() && !isHandlingPage() && (first || !dispatchPassSpent());
         first = false)
        dispatchText(m_deferredTexts.takeFirst());
    m_dispatchingDeferred = false;
}

const CTIConnector::Route *CTIConnector::findRoute(const Route *routes, const QString &name)
{
    for (const Route *route = routes; route->handler; ++route) {
        if (name == route->name)
            return route;
    }
    return nullptr;
}

void CTIConnector::handleEvent(CTIMessage &message)
{
    if (const Route *route = findRoute(eventRoutes, message.name()))
        (this->*(route->handler))(message);
}

void CTIConnector::handleResponse(CTIMessage &message)
{
    if (const Route *route = findRoute(responseRoutes, message.name()))
        (this->*(route->handler))(message);
}

void CTIConnector::onUcItemAdded(UCItem *item)
{
    emit ucItemAdded(item);
}

void CTIConnector::onAddressAdded(Addresses *address)
{
    emit addressAdded(address);
}

void CTIConnector::onAddressesLoadingFinished(const QString &bookId)
{
    emit addressesLoadingFinished(bookId);
}

void CTIConnector::handleResponse_login(CTIMessage &message)
{
    switch (message.valueForKey(keyStatus).toInt()) {
    case 200:
        // Only now is the attempt done.
        m_connectTimeout.stop();
        m_reconnectTimer->stop();
        m_silentReconnectAttempts = 0;
        m_userReconnectPending = false;
        m_silentLoginPending = false;
        if (!m_loggedIn) {
            emit loginSuccess();
            m_loggedIn = true;
        } else {
            emit reconnectSuccess();
            // Calls may have ended, colleagues, phones and queues changed while the link was
            // down: the server's picture replaces ours. Records are updated in place.
            m_resyncingLines = true;
            requestLineStatus();
            requestJabberBuddies();
            requestPhoneConfig();
            // A book whose loading the drop cut off goes on from the page it waited for.
            resumeAddressLoading();
        }
        break;
    case 403:
        m_connectTimeout.stop();
        // The refusal is the user's attempt's verdict (the reconnect window shows it); a drop after
        // it is not reported a second time.
        m_userReconnectPending = false;
        emit loginFailed();
        // Refused behind the user's back (the password changed on the server): nobody would
        // hear of it, so it ends the silent reconnection like a lost connection.
        if (m_silentLoginPending) {
            m_silentLoginPending = false;
            // The silent attempts are over: the user decides now, and a reconnect() of theirs
            // that fails is answered at once.
            m_reconnectTimer->stop();
            m_silentReconnectAttempts = silentAttemptLimit;
            emit connectionLost();
        }
        break;
    default:
        break;
    }
}
