#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>

class QUrl;
class QWebSocket;

//! The connector's WebSocket, run on a thread of its own: reading, unmasking, UTF-8 decoding and
//! assembling a message of millions of characters never hold up the main thread. Used from the
//! main thread only; its signals come there, in the order the socket emitted them (connected()
//! before the first message, every message before disconnected()), and only from the current
//! socket: once open() replaced it or abort() dropped it, nothing more of the old one arrives.
//! The thread starts with the first open() and is joined when this object goes or the
//! application object does, whichever comes first.
class CTISocket final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(CTISocket)

public:
    explicit CTISocket(QObject *parent = nullptr);
    ~CTISocket() override;

    //! Replaces the current socket, if any, by a new one that connects to the URL.
    void open(const QUrl &url);
    //! Dropped unless state() is connected, as a socket drops it.
    void sendTextMessage(const QString &text);
    //! An empty ping; dropped unless state() is connected.
    void ping();
    //! Drops the current socket at once, without a closing handshake.
    void abort();
    //! The current socket's state as its signals told it so far: connected from connected() until
    //! disconnected(), abort() or open().
    QAbstractSocket::SocketState state() const { return m_state; }

signals:
    void connected();
    void disconnected();
    void textMessageReceived(const QString &text);
    void error(QAbstractSocket::SocketError error);
    void pong(quint64 elapsedTime, const QByteArray &payload);

private:
    void startThread();
    void stopThread();
    //! Joins the threads still running; called as the application object goes.
    static void stopAll();
    //! Runs on the socket's thread, behind everything handed over before.
    template<typename Function>
    void onSocketThread(Function function);
    //! On the socket's thread: the current socket reports nothing more and goes.
    void dropWebSocket(bool abort);
    //! A slot for the socket of that count that emits the signal, unless the socket was replaced
    //! or dropped before the slot ran: what an old socket had queued is refused.
    template<typename... Args>
    auto relay(int generation, void (CTISocket::*signal)(Args...));
    bool isCurrent(int generation) const { return generation == m_generation; }

    QThread m_thread;
    //! Lives on m_thread; what the main thread hands over runs in its context.
    QObject *m_worker = nullptr;
    //! Touched on m_thread only; a child of m_worker.
    QWebSocket *m_webSocket = nullptr;
    //! Counts the sockets opened and dropped: a signal carries the count of its socket.
    int m_generation = 0;
    QAbstractSocket::SocketState m_state = QAbstractSocket::UnconnectedState;
    bool m_stopped = false;
};
