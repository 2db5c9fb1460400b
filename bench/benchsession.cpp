#include "benchsession.h"

#include "cticonnector.h"
#include "pbxsimulator.h"

#include <QFile>

#include <limits>

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

bool listenAndLogIn(PbxSimulator &sim, const char *benchmark)
{
    if (!sim.listen()) {
        qWarning("%s benchmark: cannot listen on %s: %s", benchmark, qPrintable(sim.address().toString()),
                 qPrintable(sim.errorString()));
        return false;
    }
    return logInAsBench(sim.address().toString(), benchmark);
}

namespace {
//! A memory figure of /proc/self/status ("VmRSS", "VmHWM"), in MB; 0 where there is none.
double statusMb(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = field + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}
} // namespace

double residentMb()
{
    return statusMb("VmRSS");
}

double peakResidentMb()
{
    return statusMb("VmHWM");
}

void resetPeakResident()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

WholeDispatchPasses::WholeDispatchPasses()
{
    CTIConnector::instance()->setDispatchBudgetMs(std::numeric_limits<int>::max());
}

WholeDispatchPasses::~WholeDispatchPasses()
{
    CTIConnector::instance()->setDispatchBudgetMs(CTIConnector::dispatchBudgetMs);
}
