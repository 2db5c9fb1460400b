#include "ctisocket.h"

#include <QCoreApplication>
#include <QUrl>
#include <QVector>
#include <QWebSocket>

namespace {
//! Sockets whose thread runs; main thread only.
QVector<CTISocket *> &runningSockets()
{
    static QVector<CTISocket *> sockets;
    return sockets;
}
} // namespace

CTISocket::CTISocket(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<QAbstractSocket::SocketError>();
    qRegisterMetaType<QAbstractSocket::SocketState>();
    m_thread.setObjectName(QStringLiteral("CTI socket"));
}

CTISocket::~CTISocket()
{
    stopThread();
}

template<typename Function>
void CTISocket::onSocketThread(Function function)
{
    if (m_worker)
        QMetaObject::invokeMethod(m_worker, std::move(function), Qt::QueuedConnection);
}

template<typename... Args>
auto CTISocket::relay(int generation, void (CTISocket::*signal)(Args...))
{
    return [this, generation, signal](Args... args) {
        if (isCurrent(generation))
            emit(this->*signal)(args...);
    };
}

void CTISocket::open(const QUrl &url)
{
    startThread();
    if (!m_worker)
        return; // the application object is gone
    const int generation = ++m_generation;
    m_state = QAbstractSocket::ConnectingState;
    onSocketThread([this, url, generation] {
        dropWebSocket(false);
        m_webSocket = new QWebSocket(QString(), QWebSocketProtocol::Version13, m_worker);
        // Each connection is queued to the main thread.
        connect(m_webSocket, &QWebSocket::stateChanged, this, [this, generation](QAbstractSocket::SocketState state) {
            if (isCurrent(generation))
                m_state = state;
        });
        connect(m_webSocket, &QWebSocket::connected, this, relay(generation, &CTISocket::connected));
        connect(m_webSocket, &QWebSocket::textMessageReceived, this, relay(generation, &CTISocket::textMessageReceived));
        connect(m_webSocket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), this,
                relay(generation, &CTISocket::error));
        connect(m_webSocket, &QWebSocket::pong, this, relay(generation, &CTISocket::pong));
        connect(m_webSocket, &QWebSocket::disconnected, this, relay(generation, &CTISocket::disconnected));
        m_webSocket->open(url);
    });
}

void CTISocket::sendTextMessage(const QString &text)
{
    if (m_state != QAbstractSocket::ConnectedState)
        return;
    onSocketThread([this, text] { m_webSocket->sendTextMessage(text); });
}

void CTISocket::ping()
{
    if (m_state != QAbstractSocket::ConnectedState)
        return;
    onSocketThread([this] { m_webSocket->ping(); });
}

void CTISocket::abort()
{
    ++m_generation;
    m_state = QAbstractSocket::UnconnectedState;
    onSocketThread([this] { dropWebSocket(true); });
}

void CTISocket::dropWebSocket(bool abort)
{
    if (!m_webSocket)
        return;
    m_webSocket->disconnect(this);
    if (abort)
        m_webSocket->abort();
    delete m_webSocket;
    m_webSocket = nullptr;
}

void CTISocket::startThread()
{
    if (m_worker || m_stopped)
        return;
    m_worker = new QObject;
    m_worker->moveToThread(&m_thread);
    // Emitted on the thread as it ends: the socket goes on the thread it lived on.
    connect(&m_thread, &QThread::finished, m_worker, [this] {
        dropWebSocket(false);
        m_worker->deleteLater();
    });
    m_thread.start();
    if (runningSockets().isEmpty())
        qAddPostRoutine(&CTISocket::stopAll);
    runningSockets().append(this);
}

void CTISocket::stopThread()
{
    ++m_generation;
    m_stopped = true;
    m_state = QAbstractSocket::UnconnectedState;
    if (!m_worker)
        return;
    m_thread.quit();
    m_thread.wait();
    m_worker = nullptr;
    runningSockets().removeOne(this);
    if (runningSockets().isEmpty())
        qRemovePostRoutine(&CTISocket::stopAll);
}

void CTISocket::stopAll()
{
    // No thread may outlive the application object: its event dispatcher and sockets go with it.
    const QVector<CTISocket *> sockets = runningSockets();
    for (CTISocket *socket : sockets)
        socket->stopThread();
}
