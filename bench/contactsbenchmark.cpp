#include "contactsbenchmark.h"

#include "addresses.h"
#include "benchreport.h"
#include "benchsession.h"
#include "cticonnector.h"
#include "pbxsimulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QThreadPool>
#include <QTimer>

#include <malloc.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

namespace {

constexpr int contactCount = 100000;
constexpr int fieldsPerContact = 30;
const QString bookId = QStringLiteral("bench-contacts");
const QString pageName = QStringLiteral("getAddresses");

size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

struct Load
{
    qint64 totalNs = 0;     // first page sent to loading finished
    qint64 simulatorNs = 0; // spent inside the simulator answering page requests
    int pages = 0;
};

// The receiver that keeps every contact: adopts it, and frees them in the order they came.
struct Keeper
{
    QObject holder;
    std::vector<Addresses *> records;
    void keep(Addresses *address)
    {
        address->setParent(&holder);
        records.push_back(address);
    }
    void clear()
    {
        // Each is the holder's first child by then, so leaving it costs nothing.
        for (Addresses *address : records)
            delete address;
        records.clear();
    }
};

// Loads the book once; the records stay with the keeper.
Load loadBook(PbxSimulator &sim, Keeper &records, QStringList *pageTexts)
{
    CTIConnector *connector = CTIConnector::instance();
    Load load;
    QElapsedTimer clock;
    qint64 requestAt = -1;
    QObject context;
    QObject::connect(&sim, &PbxSimulator::commandReceived, &context, [&](const QJsonObject &command) {
        if (command.value(QStringLiteral("name")).toString() == pageName)
            requestAt = clock.isValid() ? clock.nsecsElapsed() : -1;
    });
    QObject::connect(&sim, &PbxSimulator::messageSent, &context, [&](const QJsonObject &message) {
        if (message.value(QStringLiteral("name")).toString() != pageName)
            return;
        if (!clock.isValid()) {
            clock.start(); // the first page is on its way: the client's part starts here
        } else if (requestAt >= 0) {
            load.simulatorNs += clock.nsecsElapsed() - requestAt;
        }
        requestAt = -1;
        ++load.pages;
        if (pageTexts)
            pageTexts->append(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
    });
    QObject::connect(connector, &CTIConnector::addressAdded, &context,
                     [&records](Addresses *address) { records.keep(address); });
    QEventLoop loop;
    QObject::connect(connector, &CTIConnector::addressesLoadingFinished, &context, [&](const QString &id) {
        if (id == bookId) {
            load.totalNs = clock.nsecsElapsed();
            loop.quit();
        }
    });
    QTimer::singleShot(300000, &loop, [&loop] { loop.exit(1); });
    connector->requestAddresses(bookId);
    loop.exec();
    return load;
}

} // namespace

void runContactsBenchmark(BenchReport &report)
{
    PbxSimulator sim(QHostAddress(QStringLiteral("127.0.0.5")));
    sim.addAccount(QStringLiteral("bench"), QStringLiteral("bench"));
    sim.scenario().addGeneratedAddressBook(bookId, QStringLiteral("Benchmark"), contactCount, 7, fieldsPerContact);
    if (!listenAndLogIn(sim, "contacts"))
        return;
    CTIConnector *connector = CTIConnector::instance();

    // Measured load: the records stay alive for the memory figure.
    Keeper records;
    malloc_trim(0);
    const size_t heapBefore = heapInUse();
    const Load load = loadBook(sim, records, nullptr);
    // The worker that parsed the last page lets go of its text and parsed form as it ends.
    QThreadPool::globalInstance()->waitForDone();
    const size_t heapAfter = heapInUse();
    const size_t loaded = records.records.size();
    records.clear();
    // What the records held is what their release gives back; the rest of the growth is
    // buffers the socket and the simulator keep.
    const size_t heapReleased = heapInUse();

    // The floor: the same pages, parsed bare. A second load hands out their texts.
    QStringList pages;
    loadBook(sim, records, &pages);
    records.clear();
    // The connector's own part: the same pages straight into its message path, against bare
    // parsing. Frozen, the simulator answers no page requests.
    sim.setFrozen(true);
    // The receiver notes the records and frees them after the timed part; the connector's guards
    // see that, and its release passes run between rounds as the event loop would run them.
    std::vector<Addresses *> page;
    QObject receiver;
    QObject::connect(connector, &CTIConnector::addressAdded, &receiver, [&page, &receiver](Addresses *address) {
        address->setParent(&receiver); // kept until the round is timed
        page.push_back(address);
    });
    // Page by page, parse and dispatch alternate and the best of five rounds of each counts, so a
    // busy moment of the machine does not decide the figure.
    qint64 parseNs = 0;
    qint64 dispatchNs = 0;
    for (const QString &text : qAsConst(pages)) {
        const int members = QJsonDocument::fromJson(text.toUtf8())
                                .object()
                                .value(QStringLiteral("data"))
                                .toObject()
                                .value(QStringLiteral("addresses"))
                                .toObject()
                                .size();
        qint64 parseBest = std::numeric_limits<qint64>::max();
        qint64 dispatchBest = parseBest;
        for (int round = 0; round < 5; ++round) {
            QElapsedTimer clock;
            clock.start();
            const bool object = QJsonDocument::fromJson(text.toUtf8()).isObject();
            parseBest = std::min(parseBest, clock.nsecsElapsed());
            Q_UNUSED(object)

            // A large page is parsed on a worker and handed out in slices: timed until its last
            // contact is out.
            clock.restart();
            connector->onMessage(text);
            // Waiting as the event loop does, not spinning: the workers get both cores.
            while (int(page.size()) < members)
                QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
            dispatchBest = std::min(dispatchBest, clock.nsecsElapsed());
            for (Addresses *address : page)
                delete address;
            page.clear();
            QCoreApplication::sendPostedEvents();
            QCoreApplication::sendPostedEvents();
        }
        parseNs += parseBest;
        dispatchNs += dispatchBest;
    }

    const double clientNs = double(load.totalNs - load.simulatorNs);
    report.add(QStringLiteral("contacts.loaded"), double(loaded), QStringLiteral("contacts"), contactCount,
               BenchReport::Goal::AtLeast);
    report.add(QStringLiteral("contacts.load_s"), clientNs / 1e9, QStringLiteral("s"));
    report.add(QStringLiteral("contacts.simulator_s"), load.simulatorNs / 1e9, QStringLiteral("s"));
    report.add(QStringLiteral("contacts.messages_per_s"), load.pages / (clientNs / 1e9), QStringLiteral("msg/s"));
    report.add(QStringLiteral("contacts.contacts_per_s"), loaded / (clientNs / 1e9), QStringLiteral("contacts/s"));
    report.add(QStringLiteral("contacts.dispatch_s"), dispatchNs / 1e9, QStringLiteral("s"));
    report.add(QStringLiteral("contacts.parse_s"), parseNs / 1e9, QStringLiteral("s"));
    report.add(QStringLiteral("contacts.ratio_to_parse"), double(dispatchNs) / double(parseNs), QStringLiteral("x"),
               1.5, BenchReport::Goal::AtMost);
    report.add(QStringLiteral("contacts.bytes_per_contact"),
               loaded ? double(heapAfter > heapReleased ? heapAfter - heapReleased : 0) / loaded : 0.0,
               QStringLiteral("B"), 2048, BenchReport::Goal::AtMost);
    report.add(QStringLiteral("contacts.heap_growth_per_contact"),
               loaded ? double(heapAfter > heapBefore ? heapAfter - heapBefore : 0) / loaded : 0.0,
               QStringLiteral("B"));
}
