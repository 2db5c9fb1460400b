#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWebSocketProtocol>

class QTcpSocket;
class QWebSocket;

// One client of the simulator: its WebSocket, the TCP socket under it (needed to freeze
// it) and its login state. Owns the WebSocket.
class SimConnection : public QObject
{
public:
    // tcp may be null when it could not be matched; freezing then only mutes the
    // simulator, the socket still answers pings.
    SimConnection(QWebSocket *socket, QTcpSocket *tcp, QObject *parent = nullptr);

    QWebSocket *socket() const { return m_socket; }

    bool isLoggedIn() const { return m_loggedIn; }
    QString user() const { return m_user; }
    void logIn(const QString &user);
    void logOut();

    bool isFrozen() const { return m_frozen; }
    // From now on nothing is read from the peer, so no frames and no pongs; irreversible.
    void freeze();

    // False when frozen or no longer connected.
    bool sendText(const QString &text);
    void drop();
    void close(QWebSocketProtocol::CloseCode code, const QString &reason);

private:
    QWebSocket *m_socket;
    QPointer<QTcpSocket> m_tcp;
    QString m_user;
    bool m_loggedIn = false;
    bool m_frozen = false;
};
