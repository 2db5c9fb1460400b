#include "benchsession.h"

#include "cticonnector.h"

#include <QFile>

bool logInAsBench(const QString &address, const char *benchmark)
{
    CTIConnector *connector = CTIConnector::instance();
    bool loggedIn = false;
    QObject context;
    // The first benchmark's login is a loginSuccess, every later one a reconnection.
    QObject::connect(connector, &CTIConnector::loginSuccess, &context, [&] { loggedIn = true; });
    QObject::connect(connector, &CTIConnector::reconnectSuccess, &context, [&] { loggedIn = true; });
    connector->login(QStringLiteral("bench"), QStringLiteral("bench"), address);
    if (spinUntil([&] { return loggedIn; }, 10000))
        return true;
    qWarning("%s benchmark: login failed", benchmark);
    return false;
}

double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}
