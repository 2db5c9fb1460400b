// Feeds arbitrary text through the connector's message path, as if the server had sent it:
// every handler of every domain sees hostile input. Records handed to receivers are taken and
// released here the way the windows do, so a record nobody owns shows up as a leak.
#include "addressbook.h"
#include "addresses.h"
#include "cticonnector.h"
#include "ucitem.h"

#include <QGuiApplication>
#include <QThreadPool>

#include <cstdint>

namespace {

QGuiApplication *application = nullptr;

// Books and contacts belong to their receivers; lines, colleagues, phones, queues, presets and
// conversation items stay with the connector or are released by it.
void receive(CTIConnector *connector)
{
    QObject::connect(connector, &CTIConnector::addressBookAdded, [](Addressbook *book) { delete book; });
    QObject::connect(connector, &CTIConnector::addressAdded, [](Addresses *address) { delete address; });
    QObject::connect(connector, &CTIConnector::addressSaved, [](Addresses *address) { delete address; });
    QObject::connect(connector, &CTIConnector::ucItemAdded, [](UCItem *) {});
    QObject::connect(connector, &CTIConnector::queueCallAdded, [](UCItem *) {});
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    application = new QGuiApplication(*argc, *argv);
    receive(CTIConnector::instance());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CTIConnector::instance()->onMessage(QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)));
    // Let the workers finish, their queued hand-overs, a page's slices and texts left for a later
    // pass run, and deferred deletions happen.
    CTIConnector *connector = CTIConnector::instance();
    for (int pass = 0; pass < 3 || (connector->hasMessagesInHand() && pass < 10000); ++pass) {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return 0;
}
