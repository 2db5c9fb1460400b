// Prints the client's speed and memory figures; `talvero-bench [--json] [name...]`.
#include "addressbookbenchmark.h"
#include "benchreport.h"
#include "completerbenchmark.h"
#include "contactsbenchmark.h"
#include "dispatchbenchmark.h"
#include "historybenchmark.h"
#include "historylistbenchmark.h"
#include "linesbenchmark.h"
#include "soakbenchmark.h"
#include "monitorbenchmark.h"
#include "presencebenchmark.h"
#include "queuemonitorbenchmark.h"

#include <QCommandLineParser>
#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <functional>

namespace {
//! Runs one benchmark in a process of its own and adds its figures.
void runApart(const QString &name, BenchReport &report)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--json"), name});
    if (!child.waitForFinished(-1) || child.exitCode() != 0 || !report.addJson(child.readAllStandardOutput()))
        fprintf(stderr, "%s: the benchmark's own process failed\n", qPrintable(name));
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Windows store options and geometry: in settings of their own, never the user's.
    QTemporaryDir settingsHome;
    qputenv("XDG_CONFIG_HOME", settingsHome.path().toLocal8Bit());
    QApplication app(argc, argv); // widgets: the conversations list and the dial completer

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Runs the client's benchmarks and prints their figures."));
    parser.addHelpOption();
    QCommandLineOption jsonOption(QStringLiteral("json"), QStringLiteral("Print a JSON array of figures."));
    parser.addOption(jsonOption);
    parser.addPositionalArgument(QStringLiteral("name"), QStringLiteral("Benchmarks to run (default: all)."), QStringLiteral("[name...]"));
    parser.process(app);

    // The address book first: its peak memory is that of the whole process, which later ones share.
    const QList<QPair<QString, std::function<void(BenchReport &)>>> benchmarks = {
        {QStringLiteral("addressbook"), runAddressbookBenchmark},
        {QStringLiteral("dispatch"), runDispatchBenchmark},
        {QStringLiteral("history"), runHistoryBenchmark},
        {QStringLiteral("contacts"), runContactsBenchmark},
        {QStringLiteral("presence"), runPresenceBenchmark},
        {QStringLiteral("history_list"), runHistoryListBenchmark},
        {QStringLiteral("completer"), runCompleterBenchmark},
        {QStringLiteral("monitor"), runMonitorBenchmark},
        {QStringLiteral("queuemonitor"), runQueueMonitorBenchmark},
        {QStringLiteral("lines"), runLinesBenchmark},
        {QStringLiteral("soak"), runSoakBenchmark},
    };

    const QStringList requested = parser.positionalArguments();
    QStringList wanted = requested;
    BenchReport report;
    // A figure about the process's memory means nothing once earlier benchmarks have grown its
    // heap: run with others, such a benchmark gets a process of its own.
    const QStringList apart{QStringLiteral("lines"), QStringLiteral("soak")};
    for (const auto &benchmark : benchmarks) {
        if (!requested.isEmpty() && wanted.removeAll(benchmark.first) == 0)
            continue;
        if (apart.contains(benchmark.first) && requested != QStringList{benchmark.first})
            runApart(benchmark.first, report);
        else
            benchmark.second(report);
    }
    if (!wanted.isEmpty()) {
        fprintf(stderr, "unknown benchmark: %s\n", qPrintable(wanted.join(QLatin1Char(' '))));
        return 2;
    }

    if (parser.isSet(jsonOption))
        fputs(report.json().constData(), stdout);
    else
        fputs(report.table().toUtf8().constData(), stdout);
    return 0;
}
