#include "cticonnectorresponsehandler.h"

#include "cticonnector.h"
#include "ucitem.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QJsonObject>
#include <QPointer>
#include <QRegularExpression>
#include <QSemaphore>
#include <QStringList>
#include <QThread>
#include <QThreadPool>
#include <QVector>

#include <algorithm>
#include <memory>

namespace {

const QString nameUCItems = QStringLiteral("requestUCItems");

enum class Credit { Granted, TimedOut, ShuttingDown };

//! Waits for the main thread to have delivered the previous batch.
Credit waitForCredit(QSemaphore &credits)
{
    constexpr int pollMs = 50; // how soon a shutdown is noticed
    const QDeadlineTimer deadline(CTIConnectorResponseHandler::pacingTimeoutMs);
    while (!credits.tryAcquire(1, pollMs)) {
        if (QCoreApplication::closingDown())
            return Credit::ShuttingDown;
        if (deadline.hasExpired())
            return Credit::TimedOut;
    }
    return Credit::Granted;
}

//! A JSON object converted as the message converts its data (null reads as an invalid variant).
QVariantMap toVariantMap(const QJsonValue &value)
{
    return CTIMessage::variantFromJson(value.toObject()).toMap(); // not an object: empty
}

} // namespace

CTIConnectorResponseHandler::CTIConnectorResponseHandler(CTIMessage &message)
    : m_message(message)
{
    setAutoDelete(true);
}

bool CTIConnectorResponseHandler::namesResponse(const QString &text, const QString &name)
{
    if (text.size() < offThreadParseMinSize)
        return false;
    // A top-level member stands in the text's head or tail, before or after the large "data".
    const QRegularExpression member(QStringLiteral(R"("name"\s*:\s*")") + QRegularExpression::escape(name)
                                    + QLatin1Char('"'));
    constexpr int window = 512;
    return member.match(text.left(window)).hasMatch() || member.match(text.right(window)).hasMatch();
}

bool CTIConnectorResponseHandler::startForText(const QString &text)
{
    if (!namesResponse(text, nameUCItems))
        return false;
    QThreadPool::globalInstance()->start(QRunnable::create([text] {
        CTIMessage message = CTIMessage::fromJSON(text.toUtf8());
        if (message.type() == CTIMessageType::response && message.name() == nameUCItems) {
            CTIConnectorResponseHandler(message).run();
            return;
        }
        // Some other message: dispatched on the main thread as if it had been parsed there.
        CTIConnector *connector = CTIConnector::instance();
        QMetaObject::invokeMethod(
            connector,
            [connector, message]() mutable {
                if (message.type() == CTIMessageType::event)
                    connector->handleEvent(message);
                else if (message.type() == CTIMessageType::response)
                    connector->handleResponse(message);
            },
            Qt::QueuedConnection);
    }), 0);
    return true;
}

void CTIConnectorResponseHandler::run()
{
    if (m_message.name() == nameUCItems)
        handleResponse_requestUCItems();
}

void CTIConnectorResponseHandler::handleResponse_requestUCItems()
{
    CTIConnector *connector = CTIConnector::instance();
    QThread *const mainThread = connector->thread();

    // Not an object (an array, a string, null): no items. A member that is no object still gives
    // an item, with an empty map. Members are converted one at a time, so the first items reach
    // the main thread before the whole history is converted.
    const QJsonObject members = m_message.data().value(QStringLiteral("items")).toObject();
    QStringList names = members.keys();
    std::sort(names.begin(), names.end());

    // One credit: one batch may be on its way to the main thread while the next one is built.
    const auto credits = std::make_shared<QSemaphore>(1);
    bool paced = true;
    QVector<UCItem *> batch;
    batch.reserve(batchSize);

    for (int next = 0; next < names.size();) {
        batch.clear();
        for (; next < names.size() && batch.size() < batchSize; ++next) {
            auto *item = new UCItem;
            item->buildFromVariantMap(toVariantMap(members.value(names.at(next))));
            batch.append(item);
        }

        if (paced) {
            switch (waitForCredit(*credits)) {
            case Credit::Granted:
                break;
            case Credit::TimedOut:
                paced = false;
                break;
            case Credit::ShuttingDown:
                // Nobody is left to receive them; these items were never handed over.
                qDeleteAll(batch);
                return;
            }
        }

        QVector<QPointer<UCItem>> handedOver;
        handedOver.reserve(batch.size());
        for (UCItem *item : qAsConst(batch)) {
            // Receivers use the item on the main thread; it must live there before they get it.
            item->moveToThread(mainThread);
            handedOver.append(item); // before the hand-over: a receiver may delete it at once
            connector->onUcItemAdded(item);
        }

        // Queued behind this batch's deliveries: once it runs, every main-thread receiver has had
        // each of these items. What none of them adopted (gave a parent) is released.
        QMetaObject::invokeMethod(
            connector,
            [handedOver, credits] {
                for (const QPointer<UCItem> &item : handedOver) {
                    if (item && !item->parent())
                        item->deleteLater();
                }
                credits->release();
            },
            Qt::QueuedConnection);
    }
}
