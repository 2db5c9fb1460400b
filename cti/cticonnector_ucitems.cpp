// Conversation items, queue calls and model requests.
#include "cticonnector.h"

#include "cticonnectorresponsehandler.h"
#include "ucitem.h"

#include <QPointer>
#include <QThreadPool>


void CTIConnector::requestUCItems()
{
    CTIMessage message = CTIMessage::generateCommand(QStringLiteral("requestUCItems"));
    sendMessage(message);
}

void CTIConnector::requestQueueCalls(const QString &queueId)
{
    CTIMessage message = CTIMessage::generateCommand(QStringLiteral("requestQueueCalls"));
    message.setValueForKey(QStringLiteral("queue_id"), queueId);
    sendMessage(message);
}

void CTIConnector::requestModels(const QString &name, const QMap<QString, QVariant> &attributes, const QString &sort,
                                 int limit, int offset)
{
    CTIMessage message = CTIMessage::generateCommand(QStringLiteral("model"));
    message.setValueForKey(QStringLiteral("modelCmd"), "request");
    message.setValueForKey(QStringLiteral("modelName"), name);
    message.setValueForKey(QStringLiteral("modelSort"), sort);
    message.setValueForKey(QStringLiteral("modelLimit"), limit);
    message.setValueForKey(QStringLiteral("modelOffset"), offset);
    message.setValueForKey(QStringLiteral("modelAttributes"), attributes);
    sendMessage(message);
}

void CTIConnector::handleResponse_requestUCItems(CTIMessage &message)
{
    QThreadPool::globalInstance()->start(new CTIConnectorResponseHandler(message), 0);
}

void CTIConnector::handleResponse_requestQueueCalls(CTIMessage &message)
{
    // Not an object: no calls, and no word on the calls shown. A member that is no object gives
    // an item with an empty map.
    const QVariant items = message.valueForKey(QStringLiteral("items"));
    const QVariantMap members = items.toMap();
    for (auto it = members.cbegin(); it != members.cend(); ++it) {
        auto *item = new UCItem;
        item->buildFromVariantMap(it.value().toMap());
        const QPointer<UCItem> guard(item);
        emit queueCallAdded(item);
        releaseUnlessAdopted(guard);
    }
    if (items.userType() == QMetaType::QVariantMap)
        emit queueCallsListed();
}

void CTIConnector::handleEvent_newQueueCall(CTIMessage &message)
{
    auto *item = new UCItem;
    item->buildFromVariantMap(message.getDataMap());
    const QPointer<UCItem> guard(item);
    emit queueCallAdded(item);
    releaseUnlessAdopted(guard);
}
