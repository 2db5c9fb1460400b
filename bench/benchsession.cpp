#include "benchsession.h"

#include "cticonnector.h"

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
