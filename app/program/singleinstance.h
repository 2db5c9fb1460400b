#pragma once

#include <QLockFile>
#include <QObject>
#include <QStringList>

#include <memory>

class QLocalServer;

//! One client per user session and settings file. The first start holds a lock and listens on a
//! local socket next to it; a later start hands its request (the links it was given, or none to
//! bring the window up) to that one and ends. A start while the running client is ending waits
//! for it to be gone, so a restart of the client (after a logout) becomes the running one.
class SingleInstance final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(SingleInstance)

public:
    enum class Role { Running, HandedOver, Failed };

    //! A request longer than this is no request of ours: dropped unanswered.
    static constexpr int maxRequestBytes = 64 * 1024;
    //! How long a start waits for a running client that neither answers nor ends.
    static constexpr int defaultWaitMs = 30000;

    //! name: the path of the socket; the lock is that path with ".lock". Empty: no hand-over,
    //! every start runs a client of its own.
    explicit SingleInstance(const QString &name, QObject *parent = nullptr);
    ~SingleInstance() override;

    //! In the session's runtime folder, else in a folder of this user's alone in the temporary
    //! folder, keyed on the settings file. Empty (with one log line) when neither can be had.
    static QString defaultName();
    //! The folder at path, made owner-only if it is not there; empty (why says why) unless it is
    //! a folder of this user's that nobody else may enter, so no other user can squat the socket.
    static QString privateFolder(const QString &path, QString *why);
    //! Whether a running client would take the request (it drops one too long to be one).
    static bool fits(const QStringList &request);

    //! Becomes the running client, or hands the request to the running one and returns
    //! HandedOver once it confirmed. Failed when none confirmed and none ended within waitMs.
    Role start(const QStringList &request, int waitMs = defaultWaitMs);
    //! Takes no more requests; the lock stays until the process ends.
    void stopListening();
    QString name() const { return m_name; }

signals:
    //! A later start's request, after it was confirmed to it.
    void requestReceived(const QStringList &request);

private:
    static QByteArray encoded(const QStringList &request);
    bool handOver(const QStringList &request, int timeoutMs);
    bool listen();
    void readRequest(class QLocalSocket *socket);

    QString m_name;
    QLockFile m_lock;
    QLocalServer *m_server = nullptr;
};
