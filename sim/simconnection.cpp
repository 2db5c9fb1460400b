#include "simconnection.h"

#include <QTcpSocket>
#include <QWebSocket>

namespace {
// Bounds what a frozen socket buffers; past it the kernel's window closes on the peer.
constexpr qint64 FrozenReadBufferSize = 64 * 1024;
}

SimConnection::SimConnection(QWebSocket *socket, QTcpSocket *tcp, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_tcp(tcp)
{
    m_socket->setParent(this);
}

void SimConnection::logIn(const QString &user)
{
    m_user = user;
    m_loggedIn = true;
}

void SimConnection::logOut()
{
    m_user.clear();
    m_loggedIn = false;
}

void SimConnection::freeze()
{
    m_frozen = true;
    if (!m_tcp)
        return;
    // QWebSocket reads frames, and answers pings, only from readyRead.
    QObject::disconnect(m_tcp, &QIODevice::readyRead, nullptr, nullptr);
    m_tcp->setReadBufferSize(FrozenReadBufferSize);
}

bool SimConnection::sendText(const QString &text)
{
    if (m_frozen || m_socket->state() != QAbstractSocket::ConnectedState)
        return false;
    m_socket->sendTextMessage(text);
    return true;
}

void SimConnection::drop()
{
    m_socket->abort();
}

void SimConnection::close(QWebSocketProtocol::CloseCode code, const QString &reason)
{
    if (m_frozen)
        drop();
    else
        m_socket->close(code, reason);
}
