#include "singleinstance.h"

#include "log.h"
#include "settings.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

namespace {
const QString logTag = QStringLiteral("SingleInstance");
const QByteArray acknowledgement = "ok\n";
const QString requestKey = QStringLiteral("links");
// Socket addresses are limited to 108 bytes; leave room for the name.
constexpr int maxFolderLength = 80;
} // namespace

SingleInstance::SingleInstance(const QString &name, QObject *parent)
    : QObject(parent)
    , m_name(name)
    , m_lock(name + QStringLiteral(".lock"))
{
}

SingleInstance::~SingleInstance()
{
    stopListening();
}

QString SingleInstance::defaultName()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty() || folder.size() > maxFolderLength)
        folder = QDir::tempPath();
    const QByteArray settings = Settings::instance()->fileName().toUtf8();
    const QString key = QString::fromLatin1(QCryptographicHash::hash(settings, QCryptographicHash::Sha1).toHex().left(12));
    return folder + QStringLiteral("/talvero-") + QString::number(getuid()) + QLatin1Char('-') + key;
}

SingleInstance::Role SingleInstance::start(const QStringList &request, int waitMs)
{
    QDir().mkpath(QFileInfo(m_name).absolutePath());
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (m_lock.tryLock(0))
            return listen() ? Role::Running : Role::Failed;
        if (handOver(request, int(qMin<qint64>(3000, deadline.remainingTime()))))
            return Role::HandedOver;
        // The running one is ending (it takes no requests any more) or hangs: wait for the lock.
        if (m_lock.tryLock(int(qMin<qint64>(500, deadline.remainingTime()))))
            return listen() ? Role::Running : Role::Failed;
        if (deadline.hasExpired())
            return Role::Failed;
    }
}

bool SingleInstance::handOver(const QStringList &request, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;
    const QJsonObject message{{requestKey, QJsonArray::fromStringList(request)}};
    socket.write(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n');
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return false;
    QByteArray answer;
    while (!answer.contains('\n') && socket.waitForReadyRead(int(deadline.remainingTime())))
        answer += socket.readAll();
    return answer == acknowledgement;
}

bool SingleInstance::listen()
{
    // Ours now: a socket left by a client that died is in the way.
    QLocalServer::removeServer(m_name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        Log::w(QStringLiteral("cannot take requests of later starts at ") + m_name + QStringLiteral(": ")
                   + m_server->errorString(),
               logTag);
        // Still the running client; later starts wait for it to end.
        return true;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
            readRequest(socket);
        }
    });
    return true;
}

void SingleInstance::readRequest(QLocalSocket *socket)
{
    // Answered already: the socket is closing.
    if (socket->state() != QLocalSocket::ConnectedState)
        return;
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > maxRequestBytes) {
            Log::w(QStringLiteral("a request too long to be one: dropped"), logTag);
            socket->abort();
            socket->deleteLater();
        }
        return;
    }
    const QByteArray line = socket->readLine(maxRequestBytes + 1);
    const QJsonValue links = QJsonDocument::fromJson(line).object().value(requestKey);
    if (!links.isArray()) {
        Log::w(QStringLiteral("a request that is none: dropped"), logTag);
        socket->abort();
        socket->deleteLater();
        return;
    }
    QStringList request;
    for (const QJsonValue &link : links.toArray())
        request << link.toString();
    socket->write(acknowledgement);
    socket->flush();
    socket->disconnectFromServer();
    emit requestReceived(request);
}

void SingleInstance::stopListening()
{
    if (!m_server)
        return;
    m_server->close();
    delete m_server;
    m_server = nullptr;
}
