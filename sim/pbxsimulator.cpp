#include "pbxsimulator.h"

#include "simaddressbooks.h"
#include "simcalls.h"
#include "simconnection.h"
#include "simcontactgenerator.h"
#include "simhistory.h"
#include "simphoneconfig.h"
#include "simpresence.h"
#include "simqueuecalls.h"

#include <QJsonDocument>
#include <QMetaMethod>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUuid>
#include <QWebSocket>
#include <QWebSocketServer>

#include <utility>

namespace {

const QString CtiPath = QStringLiteral("/cti");
// A client that sends this much without ending its request line is not a WebSocket client.
constexpr int MaxRequestLine = 8 * 1024;
// Bigger frames make QWebSocket close the connection instead of buffering without end.
constexpr quint64 MaxIncomingMessageSize = 16 * 1024 * 1024;
constexpr qint64 StalledReadBufferSize = 64 * 1024;

QString commandProblem(const QString &text, QJsonObject *command)
{
    static const QRegularExpression uuidPattern(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));

    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return QStringLiteral("not JSON: ") % parseError.errorString();
    if (!doc.isObject())
        return QStringLiteral("not a JSON object");
    const QJsonObject message = doc.object();
    // With the four checks below this means exactly type, name, uuid and data.
    if (message.size() != 4)
        return QStringLiteral("envelope must have exactly four members");
    if (message.value(QStringLiteral("type")) != QJsonValue(QStringLiteral("command")))
        return QStringLiteral("type is not \"command\"");
    const QJsonValue name = message.value(QStringLiteral("name"));
    if (!name.isString() || name.toString().isEmpty())
        return QStringLiteral("name is not a non-empty string");
    const QJsonValue uuid = message.value(QStringLiteral("uuid"));
    if (!uuid.isString() || !uuidPattern.match(uuid.toString()).hasMatch())
        return QStringLiteral("uuid is not a lower-case UUID without braces");
    if (!message.value(QStringLiteral("data")).isObject())
        return QStringLiteral("data is not an object");
    *command = message;
    return QString();
}

QJsonObject envelope(const QString &type, const QString &name, const QString &uuid,
                     const QJsonObject &data)
{
    return QJsonObject{{QStringLiteral("type"), type},
                       {QStringLiteral("name"), name},
                       {QStringLiteral("uuid"), uuid},
                       {QStringLiteral("data"), data}};
}

QString serialise(const QJsonObject &message)
{
    return QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

template<typename T>
QList<QPointer<T>> takeLive(QList<QPointer<T>> &list)
{
    QList<QPointer<T>> live;
    for (const QPointer<T> &p : std::exchange(list, {})) {
        if (p)
            live.append(p);
    }
    return live;
}

} // namespace

PbxSimulator::PbxSimulator(const QHostAddress &address, quint16 port, QObject *parent)
    : QObject(parent)
    , m_address(address)
    , m_port(port)
    , m_tcpServer(new QTcpServer(this))
    , m_webSocketServer(new QWebSocketServer(QStringLiteral("Talvero PBX simulator"),
                                             QWebSocketServer::NonSecureMode, this))
    , m_addressBooks(std::make_unique<SimAddressBooks>(hub()))
    , m_presence(std::make_unique<SimPresence>(hub(), *m_addressBooks))
    , m_phoneConfig(std::make_unique<SimPhoneConfig>(hub(), *m_presence))
    , m_history(std::make_unique<SimHistory>(hub(), *m_addressBooks, *m_presence))
    , m_queueCalls(std::make_unique<SimQueueCalls>(hub(), *m_addressBooks, *m_presence, *m_phoneConfig))
    , m_calls(std::make_unique<SimCalls>(hub(), *m_presence, *m_addressBooks, *m_phoneConfig, *m_history))
{
    connect(m_tcpServer, &QTcpServer::newConnection, this, &PbxSimulator::acceptTcp);
    connect(m_webSocketServer, &QWebSocketServer::newConnection, this, &PbxSimulator::adoptWebSockets);
    addCommands(*m_calls);
    addCommands(*m_presence);
    addCommands(*m_phoneConfig);
    addCommands(*m_addressBooks);
    addCommands(*m_history);
    addCommands(*m_queueCalls);
    applyScenario();
}

PbxSimulator::~PbxSimulator()
{
    m_tcpServer->close();
    for (SimConnection *connection : std::exchange(m_connections, {})) {
        connection->socket()->disconnect(this);
        connection->drop();
        delete connection;
    }
    for (QList<QPointer<QTcpSocket>> *list : {&m_awaitingRequest, &m_handedOver, &m_stalled}) {
        for (const QPointer<QTcpSocket> &socket : takeLive(*list)) {
            socket->disconnect(this);
            socket->abort();
        }
    }
}

// Commands of a logged-in client live in the domain classes, each with its own table.
template<typename Domain>
void PbxSimulator::addCommands(Domain &domain)
{
    const auto &table = Domain::handlers();
    for (auto it = table.begin(); it != table.end(); ++it) {
        Q_ASSERT_X(!m_commands.contains(it.key()), "PbxSimulator", "a command served by two domains");
        const auto handler = it.value();
        m_commands.insert(it.key(), [&domain, handler](const Request &request) { (domain.*handler)(request); });
    }
}

const QHash<QString, PbxSimulator::Handler> &PbxSimulator::handlers()
{
    static const QHash<QString, Handler> table = {
        {QStringLiteral("login"), &PbxSimulator::handleLogin},
    };
    return table;
}

void PbxSimulator::handleLogin(SimConnection &connection, const QJsonObject &command)
{
    const QJsonObject data = command.value(QStringLiteral("data")).toObject();
    const QJsonValue user = data.value(QStringLiteral("user"));
    const QJsonValue pass = data.value(QStringLiteral("pass"));
    const bool accepted = user.isString() && pass.isString()
        && data.value(QStringLiteral("crypt")) == QJsonValue(QStringLiteral("no"))
        && m_scenario.acceptsLogin(user.toString(), pass.toString());
    if (accepted)
        connection.logIn(user.toString());
    else
        connection.logOut();
    respond(connection, command, {{QStringLiteral("status"), accepted ? 200 : 403}});
}

bool PbxSimulator::listen()
{
    syncScenario();
    if (m_tcpServer->isListening())
        return true;
    return m_tcpServer->listen(m_address, m_port);
}

void PbxSimulator::stopListening()
{
    m_tcpServer->close();
}

bool PbxSimulator::isListening() const
{
    return m_tcpServer->isListening();
}

QString PbxSimulator::errorString() const
{
    return m_tcpServer->errorString();
}

QHostAddress PbxSimulator::address() const
{
    return m_address;
}

quint16 PbxSimulator::port() const
{
    return m_port;
}

QUrl PbxSimulator::url() const
{
    QUrl url;
    url.setScheme(QStringLiteral("ws"));
    url.setHost(m_address.toString());
    url.setPort(m_port);
    url.setPath(CtiPath);
    return url;
}

void PbxSimulator::setScenario(const Scenario &scenario)
{
    m_scenario = scenario;
    applyScenario();
}

Scenario &PbxSimulator::scenario()
{
    m_scenarioMayHaveChanged = true;
    return m_scenario;
}

const Scenario &PbxSimulator::scenario() const
{
    return m_scenario;
}

bool PbxSimulator::loadScenarioFile(const QString &path, QString *error)
{
    if (!m_scenario.loadFile(path, error))
        return false;
    applyScenario();
    return true;
}

// Order matters: colleagues draw callers from the books, history and queue calls draw from both.
void PbxSimulator::applyScenario()
{
    m_scenarioMayHaveChanged = false;
    m_appliedSections = QJsonObject();
    for (const QString &name : Scenario::sectionNames())
        m_appliedSections.insert(name, m_scenario.section(name));
    m_addressBooks->reset(m_scenario.section(QStringLiteral("addressBooks")));
    m_presence->reset(m_scenario.section(QStringLiteral("colleagues")));
    m_phoneConfig->reset(m_scenario.section(QStringLiteral("phoneConfig")));
    m_history->reset(m_scenario.section(QStringLiteral("history")));
    m_queueCalls->reset(m_scenario.section(QStringLiteral("queueCalls")));
    m_calls->reset(m_scenario.section(QStringLiteral("calls")));
}

// Handing out scenario() for editing restarts the PBX only if the domain sections changed.
void PbxSimulator::syncScenario()
{
    if (!m_scenarioMayHaveChanged)
        return;
    m_scenarioMayHaveChanged = false;
    QJsonObject sections;
    for (const QString &name : Scenario::sectionNames())
        sections.insert(name, m_scenario.section(name));
    if (sections != m_appliedSections)
        applyScenario();
}

SimCalls &PbxSimulator::calls()
{
    syncScenario();
    return *m_calls;
}

SimPresence &PbxSimulator::presence()
{
    syncScenario();
    return *m_presence;
}

SimPhoneConfig &PbxSimulator::phoneConfig()
{
    syncScenario();
    return *m_phoneConfig;
}

SimAddressBooks &PbxSimulator::addressBooks()
{
    syncScenario();
    return *m_addressBooks;
}

SimHistory &PbxSimulator::history()
{
    syncScenario();
    return *m_history;
}

SimQueueCalls &PbxSimulator::queueCalls()
{
    syncScenario();
    return *m_queueCalls;
}

void PbxSimulator::addAccount(const QString &user, const QString &password)
{
    m_scenario.addAccount(user, password);
}

void PbxSimulator::dropAllConnections()
{
    // Aborting emits disconnected synchronously, which edits these lists.
    const QList<SimConnection *> connections = m_connections;
    for (SimConnection *connection : connections)
        connection->drop();
    for (QList<QPointer<QTcpSocket>> *list : {&m_awaitingRequest, &m_handedOver, &m_stalled}) {
        for (const QPointer<QTcpSocket> &socket : takeLive(*list))
            socket->abort();
    }
}

void PbxSimulator::closeAllConnections(QWebSocketProtocol::CloseCode code, const QString &reason)
{
    const QList<SimConnection *> connections = m_connections;
    for (SimConnection *connection : connections)
        connection->close(code, reason);
}

void PbxSimulator::setRefuseConnections(bool refuse)
{
    m_refuse = refuse;
}

void PbxSimulator::setStallHandshakes(bool stall)
{
    m_stall = stall;
}

void PbxSimulator::setHandshakeDelayMs(int ms)
{
    m_handshakeDelayMs = qMax(0, ms);
}

void PbxSimulator::setFrozen(bool frozen)
{
    m_frozen = frozen;
    if (!frozen)
        return;
    for (SimConnection *connection : qAsConst(m_connections))
        connection->freeze();
    for (const QPointer<QTcpSocket> &socket : takeLive(m_awaitingRequest))
        stall(socket);
}

bool PbxSimulator::refusesConnections() const
{
    return m_refuse;
}

bool PbxSimulator::stallsHandshakes() const
{
    return m_stall;
}

bool PbxSimulator::isFrozen() const
{
    return m_frozen;
}

void PbxSimulator::setUnansweredCommands(const QStringList &names)
{
    m_unanswered = names;
}

int PbxSimulator::pushEvent(const QString &name, const QJsonObject &data)
{
    return broadcast(envelope(QStringLiteral("event"), name, newUuid(), data));
}

int PbxSimulator::pushResponse(const QString &name, const QJsonObject &data)
{
    return broadcast(envelope(QStringLiteral("response"), name, newUuid(), data));
}

int PbxSimulator::pushText(const QString &rawText)
{
    return broadcastText(rawText);
}

int PbxSimulator::connectionCount() const
{
    return m_connections.size();
}

int PbxSimulator::loggedInCount() const
{
    int count = 0;
    for (const SimConnection *connection : m_connections)
        count += connection->isLoggedIn() ? 1 : 0;
    return count;
}

int PbxSimulator::stalledCount() const
{
    int count = 0;
    for (const QPointer<QTcpSocket> &socket : m_stalled)
        count += socket && socket->state() == QAbstractSocket::ConnectedState ? 1 : 0;
    return count;
}

QList<QJsonObject> PbxSimulator::receivedCommands() const
{
    return m_receivedCommands;
}

QList<QJsonObject> PbxSimulator::receivedCommands(const QString &name) const
{
    QList<QJsonObject> matching;
    for (const QJsonObject &command : m_receivedCommands) {
        if (command.value(QStringLiteral("name")).toString() == name)
            matching.append(command);
    }
    return matching;
}

QStringList PbxSimulator::receivedTexts() const
{
    return m_receivedTexts;
}

QStringList PbxSimulator::malformedTexts() const
{
    return m_malformedTexts;
}

void PbxSimulator::clearReceived()
{
    m_receivedCommands.clear();
    m_receivedTexts.clear();
    m_malformedTexts.clear();
}

QString PbxSimulator::newUuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

void PbxSimulator::acceptTcp()
{
    while (QTcpSocket *socket = m_tcpServer->nextPendingConnection()) {
        socket->setParent(this);
        if (m_refuse) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // Until handed over the socket is ours to delete; afterwards the WebSocket's.
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (m_stall || m_frozen) {
            stall(socket);
            continue;
        }
        // The path is checked before QWebSocketServer sees the request: it would accept any.
        m_awaitingRequest.append(socket);
        connect(socket, &QIODevice::readyRead, this, [this, socket] { checkRequestLine(socket); });
        if (socket->bytesAvailable() > 0)
            checkRequestLine(socket);
    }
}

void PbxSimulator::checkRequestLine(QTcpSocket *socket)
{
    const QByteArray head = socket->peek(MaxRequestLine);
    const int end = head.indexOf("\r\n");
    if (end < 0) {
        if (head.size() >= MaxRequestLine)
            rejectRequest(socket);
        return;
    }
    m_awaitingRequest.removeAll(socket);
    disconnect(socket, &QIODevice::readyRead, this, nullptr);

    const QList<QByteArray> parts = head.left(end).split(' ');
    if (parts.size() != 3 || parts.at(0) != "GET"
        || QUrl(QString::fromLatin1(parts.at(1))).path() != CtiPath) {
        rejectRequest(socket);
        return;
    }
    if (m_stall || m_frozen) {
        stall(socket);
        return;
    }
    if (m_handshakeDelayMs > 0) {
        // A slow server: held like a stalled one meanwhile, so a drop takes it too.
        m_stalled.append(socket);
        const QPointer<QTcpSocket> guard(socket);
        QTimer::singleShot(m_handshakeDelayMs, this, [this, guard] {
            m_stalled.removeAll(guard);
            if (guard && guard->state() == QAbstractSocket::ConnectedState)
                handOver(guard);
        });
        return;
    }
    handOver(socket);
}

void PbxSimulator::handOver(QTcpSocket *socket)
{
    disconnect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    m_handedOver.append(socket);
    m_webSocketServer->handleConnection(socket);
}

void PbxSimulator::rejectRequest(QTcpSocket *socket)
{
    m_awaitingRequest.removeAll(socket);
    disconnect(socket, &QIODevice::readyRead, this, nullptr);
    socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    socket->disconnectFromHost();
}

void PbxSimulator::stall(QTcpSocket *socket)
{
    disconnect(socket, &QIODevice::readyRead, this, nullptr);
    socket->setReadBufferSize(StalledReadBufferSize);
    m_stalled.removeAll(nullptr);
    m_stalled.append(socket);
}

QTcpSocket *PbxSimulator::takeHandedOver(const QHostAddress &peer, quint16 peerPort)
{
    m_handedOver.removeAll(nullptr);
    for (int i = 0; i < m_handedOver.size(); ++i) {
        QTcpSocket *socket = m_handedOver.at(i);
        if (socket->peerPort() == peerPort && socket->peerAddress() == peer) {
            m_handedOver.removeAt(i);
            return socket;
        }
    }
    return nullptr;
}

void PbxSimulator::adoptWebSockets()
{
    while (QWebSocket *socket = m_webSocketServer->nextPendingConnection()) {
        auto *connection = new SimConnection(
            socket, takeHandedOver(socket->peerAddress(), socket->peerPort()), this);
        socket->setMaxAllowedIncomingMessageSize(MaxIncomingMessageSize);
        m_connections.append(connection);
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, connection](const QString &text) { handleText(*connection, text); });
        connect(socket, &QWebSocket::binaryMessageReceived, this,
                [this, connection](const QByteArray &bytes) {
                    if (!connection->isFrozen())
                        emit malformedReceived(QString::fromLatin1(bytes.toHex()),
                                               QStringLiteral("binary frame"));
                });
        connect(socket, &QWebSocket::disconnected, this, [this, connection] { forget(connection); });
        if (m_frozen)
            connection->freeze();
        emit clientConnected();
    }
}

void PbxSimulator::forget(SimConnection *connection)
{
    if (!m_connections.removeOne(connection))
        return;
    connection->deleteLater();
    emit clientDisconnected();
}

void PbxSimulator::handleText(SimConnection &connection, const QString &text)
{
    // Frames parsed from the buffer in the same pass as the freeze still arrive here.
    if (connection.isFrozen())
        return;
    m_receivedTexts.append(text);
    QJsonObject command;
    const QString problem = commandProblem(text, &command);
    if (!problem.isEmpty()) {
        m_malformedTexts.append(text);
        emit malformedReceived(text, problem);
        return;
    }
    m_receivedCommands.append(command);
    emit commandReceived(command);
    const QString name = command.value(QStringLiteral("name")).toString();
    if (m_unanswered.contains(name))
        return;
    if (const Handler handler = handlers().value(name)) {
        (this->*handler)(connection, command);
        return;
    }
    // A PBX serves nothing before login.
    const auto domainHandler = m_commands.constFind(name);
    if (!connection.isLoggedIn() || domainHandler == m_commands.cend())
        return;
    syncScenario();
    (*domainHandler)(Request{&connection, connection.user(), name, command.value(QStringLiteral("uuid")).toString(),
                             command.value(QStringLiteral("data")).toObject()});
}

void PbxSimulator::respond(SimConnection &connection, const QJsonObject &command, const QJsonObject &data)
{
    send(connection, envelope(QStringLiteral("response"), command.value(QStringLiteral("name")).toString(),
                              command.value(QStringLiteral("uuid")).toString(), data));
}

bool PbxSimulator::send(SimConnection &connection, const QJsonObject &message)
{
    if (!connection.sendText(serialise(message)))
        return false;
    emit messageSent(message);
    return true;
}

int PbxSimulator::broadcast(const QJsonObject &message)
{
    const QString text = serialise(message);
    const int reached = broadcastText(text);
    if (reached > 0)
        emit messageSent(message);
    return reached;
}

int PbxSimulator::broadcastText(const QString &text)
{
    int reached = 0;
    for (SimConnection *connection : qAsConst(m_connections))
        reached += connection->sendText(text) ? 1 : 0;
    return reached;
}

void PbxSimulator::reply(const Request &request, const QJsonObject &data)
{
    if (m_connections.contains(request.connection))
        send(*request.connection, envelope(QStringLiteral("response"), request.name, request.uuid, data));
}

void PbxSimulator::replyText(const Request &request, const QByteArray &dataJson)
{
    if (!m_connections.contains(request.connection))
        return;
    // The same text serialise() makes, without building the object first.
    QByteArray text;
    text.reserve(dataJson.size() + request.name.size() + 100);
    text += "{\"data\":";
    text += dataJson;
    text += ",\"name\":";
    SimContactGenerator::appendJsonString(text, request.name);
    text += ",\"type\":\"response\",\"uuid\":";
    SimContactGenerator::appendJsonString(text, request.uuid);
    text += '}';
    if (!request.connection->sendText(QString::fromUtf8(text)))
        return;
    // Parsing a page back costs more than writing it: only for someone listening.
    static const QMetaMethod sent = QMetaMethod::fromSignal(&PbxSimulator::messageSent);
    if (isSignalConnected(sent))
        emit messageSent(QJsonDocument::fromJson(text).object());
}

int PbxSimulator::notifyUser(const QString &user, const QString &event, const QJsonObject &data)
{
    return deliver(envelope(QStringLiteral("event"), event, newUuid(), data), [&user](const SimConnection &connection) {
        return connection.isLoggedIn() && connection.user() == user;
    });
}

int PbxSimulator::notifyAll(const QString &event, const QJsonObject &data, const SimConnection *except)
{
    return deliver(envelope(QStringLiteral("event"), event, newUuid(), data), [except](const SimConnection &connection) {
        return connection.isLoggedIn() && &connection != except;
    });
}

QStringList PbxSimulator::loggedInUsers() const
{
    QStringList users;
    for (const SimConnection *connection : m_connections) {
        if (connection->isLoggedIn() && !users.contains(connection->user()))
            users.append(connection->user());
    }
    users.sort();
    return users;
}

int PbxSimulator::deliver(const QJsonObject &message, const std::function<bool(const SimConnection &)> &to)
{
    const QString text = serialise(message);
    int reached = 0;
    // A failing write may report the socket gone at once, which edits the list.
    const QList<SimConnection *> connections = m_connections;
    for (SimConnection *connection : connections) {
        if (m_connections.contains(connection) && to(*connection))
            reached += connection->sendText(text) ? 1 : 0;
    }
    if (reached > 0)
        emit messageSent(message);
    return reached;
}
