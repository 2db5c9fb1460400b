#pragma once

#include "scenario.h"

#include <QHash>
#include <QHostAddress>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QWebSocketProtocol>

class QTcpServer;
class QTcpSocket;
class QWebSocketServer;
class SimConnection;

// Stands in for the PBX's CTI server on loopback: serves the CTI WebSocket protocol from a
// Scenario, records what clients send, and can make the link fail the ways real ones do.
class PbxSimulator : public QObject
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

    void setScenario(const Scenario &scenario);
    Scenario &scenario();
    const Scenario &scenario() const;
    bool loadScenarioFile(const QString &path, QString *error = nullptr);  // keeps the old one on failure
    void addAccount(const QString &user, const QString &password);

    // Control hooks.
    void dropAllConnections();   // abort every socket, stalled ones too: the client sees a drop
    void closeAllConnections(QWebSocketProtocol::CloseCode code = QWebSocketProtocol::CloseCodeGoingAway,
                             const QString &reason = QString());   // clean close handshake
    void setRefuseConnections(bool refuse);   // accept TCP and abort at once
    void setStallHandshakes(bool stall);      // accept TCP, never answer the upgrade request
    void setFrozen(bool frozen);              // read nothing, answer nothing, not even pongs
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
    static const QHash<QString, Handler> &handlers();

    void handleLogin(SimConnection &connection, const QJsonObject &command);

    void acceptTcp();
    void checkRequestLine(QTcpSocket *socket);
    void rejectRequest(QTcpSocket *socket);
    void stall(QTcpSocket *socket);
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

    QList<SimConnection *> m_connections;
    QList<QPointer<QTcpSocket>> m_awaitingRequest;
    QList<QPointer<QTcpSocket>> m_handedOver;
    QList<QPointer<QTcpSocket>> m_stalled;

    bool m_refuse = false;
    bool m_stall = false;
    bool m_frozen = false;

    QList<QJsonObject> m_receivedCommands;
    QStringList m_receivedTexts;
    QStringList m_malformedTexts;
};
