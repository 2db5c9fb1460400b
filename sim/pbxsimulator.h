#pragma once

#include "scenario.h"
#include "simhub.h"

#include <QHash>
#include <QHostAddress>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QWebSocketProtocol>

#include <functional>
#include <memory>

class QTcpServer;
class QTcpSocket;
class QWebSocketServer;
class SimAddressBooks;
class SimCalls;
class SimConnection;
class SimHistory;
class SimPhoneConfig;
class SimPresence;
class SimQueueCalls;

// Stands in for the PBX's CTI server on loopback: serves the CTI WebSocket protocol from a
// Scenario, records what clients send, and can make the link fail the ways real ones do.
// Each protocol domain is a class of its own, reachable below for tests to drive the PBX.
class PbxSimulator : public QObject, private SimHub
{
    Q_OBJECT

public:
    static constexpr quint16 DefaultPort = 28888;

    explicit PbxSimulator(const QHostAddress &address = QHostAddress::LocalHost,
                          quint16 port = DefaultPort, QObject *parent = nullptr);
    ~PbxSimulator() override;

    bool listen();          // false if the port is taken; see errorString()
    void stopListening();   // existing connections stay
    bool isListening() const;
    QString errorString() const;
    QHostAddress address() const;
    quint16 port() const;
    QUrl url() const;       // ws://address:port/cti

    // A new scenario restarts calls, presence and the rest from it. Edits through the
    // non-const scenario() do too, at the next listen(), command or domain access.
    void setScenario(const Scenario &scenario);
    Scenario &scenario();
    const Scenario &scenario() const;
    bool loadScenarioFile(const QString &path, QString *error = nullptr);  // keeps the old one on failure
    void addAccount(const QString &user, const QString &password);

    // The simulated PBX, domain by domain: what tests and the demo change at the PBX side.
    SimCalls &calls();
    SimPresence &presence();
    SimPhoneConfig &phoneConfig();
    SimAddressBooks &addressBooks();
    SimHistory &history();
    SimQueueCalls &queueCalls();

    // Control hooks.
    void dropAllConnections();   // abort every socket, stalled ones too: the client sees a drop
    void closeAllConnections(QWebSocketProtocol::CloseCode code = QWebSocketProtocol::CloseCodeGoingAway,
                             const QString &reason = QString());   // clean close handshake
    void setRefuseConnections(bool refuse);   // accept TCP and abort at once
    void setStallHandshakes(bool stall);      // accept TCP, never answer the upgrade request
    void setHandshakeDelayMs(int ms);         // answer the upgrade request this late (0: at once)
    void setFrozen(bool frozen);              // read nothing, answer nothing, not even pongs
    // Commands of these names are recorded and otherwise ignored: an answer lost on the way.
    void setUnansweredCommands(const QStringList &names);
    bool refusesConnections() const;
    bool stallsHandshakes() const;
    bool isFrozen() const;

    // To every connected, unfrozen client whether logged in or not; return how many got it.
    int pushEvent(const QString &name, const QJsonObject &data);
    int pushResponse(const QString &name, const QJsonObject &data);
    int pushText(const QString &rawText);

    int connectionCount() const;   // upgraded WebSocket connections, frozen ones included
    int loggedInCount() const;
    int stalledCount() const;      // TCP connections held without an upgrade

    QList<QJsonObject> receivedCommands() const;   // well-formed commands, in order, full envelope
    QList<QJsonObject> receivedCommands(const QString &name) const;
    QStringList receivedTexts() const;             // every text frame as received
    QStringList malformedTexts() const;            // text frames that were not a well-formed command
    void clearReceived();

    static QString newUuid();

signals:
    void clientConnected();
    void clientDisconnected();
    void commandReceived(const QJsonObject &message);
    void malformedReceived(const QString &text, const QString &problem);
    void messageSent(const QJsonObject &message);

private:
    using Handler = void (PbxSimulator::*)(SimConnection &, const QJsonObject &command);
    static const QHash<QString, Handler> &handlers();   // before login
    template<typename Domain>
    void addCommands(Domain &domain);

    void handleLogin(SimConnection &connection, const QJsonObject &command);
    void applyScenario();
    void syncScenario();

    // SimHub, the domains' way out; private so only they use it.
    SimHub &hub() { return *this; }
    void reply(const Request &request, const QJsonObject &data) override;
    void replyText(const Request &request, const QByteArray &dataJson) override;
    int notifyUser(const QString &user, const QString &event, const QJsonObject &data) override;
    int notifyAll(const QString &event, const QJsonObject &data, const SimConnection *except = nullptr) override;
    QStringList loggedInUsers() const override;
    int deliver(const QJsonObject &message, const std::function<bool(const SimConnection &)> &to);

    void acceptTcp();
    void checkRequestLine(QTcpSocket *socket);
    void rejectRequest(QTcpSocket *socket);
    void stall(QTcpSocket *socket);
    void handOver(QTcpSocket *socket);
    void adoptWebSockets();
    QTcpSocket *takeHandedOver(const QHostAddress &peer, quint16 peerPort);
    void forget(SimConnection *connection);

    void handleText(SimConnection &connection, const QString &text);
    void respond(SimConnection &connection, const QJsonObject &command, const QJsonObject &data);
    bool send(SimConnection &connection, const QJsonObject &message);
    int broadcast(const QJsonObject &message);
    int broadcastText(const QString &text);

    QHostAddress m_address;
    quint16 m_port;
    QTcpServer *m_tcpServer;
    QWebSocketServer *m_webSocketServer;
    Scenario m_scenario;
    bool m_scenarioMayHaveChanged = false;
    QJsonObject m_appliedSections;

    // Declared in the order they depend on each other; destroyed the other way round.
    std::unique_ptr<SimAddressBooks> m_addressBooks;
    std::unique_ptr<SimPresence> m_presence;
    std::unique_ptr<SimPhoneConfig> m_phoneConfig;
    std::unique_ptr<SimHistory> m_history;
    std::unique_ptr<SimQueueCalls> m_queueCalls;
    std::unique_ptr<SimCalls> m_calls;
    QHash<QString, std::function<void(const Request &)>> m_commands;

    QList<SimConnection *> m_connections;
    QList<QPointer<QTcpSocket>> m_awaitingRequest;
    QList<QPointer<QTcpSocket>> m_handedOver;
    QList<QPointer<QTcpSocket>> m_stalled;

    bool m_refuse = false;
    bool m_stall = false;
    int m_handshakeDelayMs = 0;
    bool m_frozen = false;
    QStringList m_unanswered;

    QList<QJsonObject> m_receivedCommands;
    QStringList m_receivedTexts;
    QStringList m_malformedTexts;
};
