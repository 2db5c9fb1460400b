// Feeds arbitrary text through the connector's message path, as if the server had sent it:
// every handler of every domain sees hostile input. Records handed to receivers are taken and
// released here like a window would, so a record nobody owns shows up as a leak.
#include "cticonnector.h"
#include "ucitem.h"

#include <QGuiApplication>
#include <QThreadPool>

#include <cstdint>
#include <cstdlib>

namespace {

QGuiApplication *application = nullptr;

void takeOwnership(CTIConnector *connector)
{
    QObject::connect(connector, &CTIConnector::ucItemAdded, [](UCItem *item) { delete item; });
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    application = new QGuiApplication(*argc, *argv);
    takeOwnership(CTIConnector::instance());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CTIConnector::instance()->onMessage(QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)));
    // Let the history worker finish and its queued hand-overs and deferred deletions run.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
