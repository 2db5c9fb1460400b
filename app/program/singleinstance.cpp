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

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
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
    const QByteArray settings = Settings::instance()->fileName().toUtf8();
    const QString key = QString::fromLatin1(QCryptographicHash::hash(settings, QCryptographicHash::Sha1).toHex().left(12));
    const QString file = QStringLiteral("/talvero-") + QString::number(getuid()) + QLatin1Char('-') + key;
    // The runtime folder is the user's own already (the toolkit checks its owner).
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && runtime.size() <= maxFolderLength)
        return runtime + file;
    // A name in the shared temporary folder anyone could take first: only inside a folder of ours.
    QString why = QStringLiteral("its path is too long");
    const QString own = QDir::tempPath() + QStringLiteral("/talvero-") + QString::number(getuid());
    const QString folder = own.size() <= maxFolderLength ? privateFolder(own, &why) : QString();
    if (folder.isEmpty()) {
        Log::w(QStringLiteral("no runtime folder, and ") + own + QStringLiteral(" cannot be used (") + why
                   + QStringLiteral("): every start runs a client of its own"),
               logTag);
        return QString();
    }
    return folder + file;
}

QString SingleInstance::privateFolder(const QString &path, QString *why)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        return QString();
    }
    // What the folder is, not what may be done in it: root passes every access check, and a
    // symbolic link would lead to somebody else's folder.
    struct stat info;
    if (::lstat(native.constData(), &info) != 0)
        *why = QString::fromLocal8Bit(std::strerror(errno));
    else if (!S_ISDIR(info.st_mode))
        *why = QStringLiteral("not a folder");
    else if (info.st_uid != ::geteuid())
        *why = QStringLiteral("owned by user %1").arg(info.st_uid);
    else if ((info.st_mode & 0777) != 0700)
        *why = QStringLiteral("mode %1 instead of 700").arg(info.st_mode & 0777, 3, 8, QLatin1Char('0'));
    else
        return path;
    return QString();
}

QByteArray SingleInstance::encoded(const QStringList &request)
{
    const QJsonObject message{{requestKey, QJsonArray::fromStringList(request)}};
    return QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n';
}

bool SingleInstance::fits(const QStringList &request)
{
    return encoded(request).size() <= maxRequestBytes;
}

SingleInstance::Role SingleInstance::start(const QStringList &request, int waitMs)
{
    if (m_name.isEmpty())
        return Role::Running;
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
    socket.write(encoded(request));
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
