#include "cticonnector.h"
#include "cticonnectorresponsehandler.h"
#include "line.h"
#include "pbxsimulator.h"
#include "ucitem.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <QThread>
#include <QThreadPool>
#include <QtTest>

#include <functional>

using Command = std::function<void(CTIConnector *)>;
Q_DECLARE_METATYPE(Command)

// The connector is connected to the simulator without an accepted login: the simulator records
// every command and pushes what the test asks for, but serves nothing itself.
class tst_CTIConnectorUCItems : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void commandsOnTheWire_data();
    void commandsOnTheWire();
    void historyReachesTheMainThreadInOrder_data();
    void historyReachesTheMainThreadInOrder();
    void itemsHandedOut_data();
    void itemsHandedOut();
    void largeTextThatIsNoHistory_data();
    void largeTextThatIsNoHistory();

private:
    //! Waits until every message pushed before has been handled, the history workers included.
    void sync();

    PbxSimulator sim{QHostAddress(QStringLiteral("127.0.0.21"))};
    CTIConnector *connector = CTIConnector::instance();
};

namespace {
//! Receives conversation items the way a window on the main thread does; keeps (adopts) those
//! whose "callid" starts with "keep".
class Receiver : public QObject
{
public:
    QStringList callIds;
    int offMainThread = 0;
    QList<QPointer<UCItem>> items;

    void onItem(UCItem *item)
    {
        if (QThread::currentThread() != thread() || item->thread() != thread())
            ++offMainThread;
        const QString callId = item->getValues().value("callid").toString();
        callIds << callId;
        items << item;
        if (callId.startsWith(QLatin1String("keep")))
            item->setParent(this);
    }

    int alive() const
    {
        return int(std::count_if(items.cbegin(), items.cend(), [](const QPointer<UCItem> &i) { return !i.isNull(); }));
    }
};

QJsonObject item(const QString &callId)
{
    return {{"callid", callId}, {"remote_number", "+49711123"}, {"state", 8}, {"timestamp", "2016-02-15T10:00:00Z"}};
}

QString wire(const QString &type, const QString &name, const QJsonValue &data)
{
    return QString::fromUtf8(
        QJsonDocument(QJsonObject{{"type", type}, {"name", name}, {"data", data}}).toJson(QJsonDocument::Compact));
}
}

void tst_CTIConnectorUCItems::initTestCase()
{
    QVERIFY2(sim.listen(), qPrintable(sim.errorString()));
    QSignalSpy refused(connector, &CTIConnector::loginFailed);
    connector->login(QStringLiteral("nobody"), QStringLiteral("x"), sim.address().toString());
    QTRY_COMPARE(refused.count(), 1);
}

void tst_CTIConnectorUCItems::sync()
{
    QSignalSpy refused(connector, &CTIConnector::loginFailed);
    sim.pushResponse(QStringLiteral("login"), QJsonObject{{"status", 403}});
    QTRY_COMPARE(refused.count(), 1);
    QVERIFY(QThreadPool::globalInstance()->waitForDone(10000));
    for (int i = 0; i < 3; ++i) // the workers' queued hand-overs
        QCoreApplication::sendPostedEvents();
}

void tst_CTIConnectorUCItems::commandsOnTheWire_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QJsonObject>("data");
    // By name where it must stay a slot.
    QTest::newRow("history") << Command([](CTIConnector *c) { QVERIFY(QMetaObject::invokeMethod(c, "requestUCItems")); })
                             << "requestUCItems" << QJsonObject();
    QTest::newRow("queue calls") << Command([](CTIConnector *c) { c->requestQueueCalls("c1cb000b"); })
                                 << "requestQueueCalls" << QJsonObject{{"queue_id", "c1cb000b"}};
    QTest::newRow("queue calls, no id") << Command([](CTIConnector *c) { c->requestQueueCalls(QString()); })
                                        << "requestQueueCalls" << QJsonObject{{"queue_id", ""}};
    QTest::newRow("models, plain") << Command([](CTIConnector *c) {
        QVERIFY(QMetaObject::invokeMethod(c, "requestModels", Q_ARG(QString, "Contact"), Q_ARG(QVariantMap, QVariantMap()),
                                          Q_ARG(QString, QString()), Q_ARG(int, 10), Q_ARG(int, 0)));
    }) << "model" << QJsonObject{{"modelCmd", "request"}, {"modelName", "Contact"}, {"modelSort", ""},
                                 {"modelLimit", 10}, {"modelOffset", 0}, {"modelAttributes", QJsonObject()}};
    QTest::newRow("models, attributes") << Command([](CTIConnector *c) {
        c->requestModels("Call", {{"n", 5}, {"on", true}}, "timestamp desc", -1, 250);
    }) << "model" << QJsonObject{{"modelCmd", "request"}, {"modelName", "Call"}, {"modelSort", "timestamp desc"},
                                 {"modelLimit", -1}, {"modelOffset", 250},
                                 {"modelAttributes", QJsonObject{{"n", "5"}, {"on", "true"}}}};
}

void tst_CTIConnectorUCItems::commandsOnTheWire()
{
    QFETCH(Command, command);
    sim.clearReceived();
    command(connector);
    QTRY_COMPARE(sim.receivedCommands().size(), 1);
    QTEST(sim.receivedCommands().first().value("name").toString(), "name");
    QTEST(sim.receivedCommands().first().value("data").toObject(), "data");
}

void tst_CTIConnectorUCItems::historyReachesTheMainThreadInOrder_data()
{
    QTest::addColumn<int>("count"); // a large text is parsed on the worker too, and comes in batches
    QTest::addColumn<bool>("nameFirst");
    QTest::newRow("one batch and one more") << CTIConnectorResponseHandler::batchSize + 1 << false;
    QTest::newRow("large text") << 2000 << false;
    QTest::newRow("large text, name before data") << 2000 << true;
}

void tst_CTIConnectorUCItems::historyReachesTheMainThreadInOrder()
{
    QFETCH(int, count);
    QFETCH(bool, nameFirst);
    // Member names that sort differently as numbers, and in another order than inserted.
    QJsonObject items;
    QStringList expected;
    for (int i = count - 1; i >= 0; --i) {
        const QString name = QString::number(i * 7 % count);
        const QString prefix = (i % 3 == 0) ? QStringLiteral("keep-") : QStringLiteral("drop-");
        items.insert(name, item(prefix + name));
        expected << prefix + name;
    }
    std::sort(expected.begin(), expected.end(), [](const QString &a, const QString &b) {
        return a.section(QLatin1Char('-'), 1) < b.section(QLatin1Char('-'), 1);
    });

    Receiver receiver;
    connect(connector, &CTIConnector::ucItemAdded, &receiver, &Receiver::onItem);
    const QJsonObject data{{"items", items}};
    if (nameFirst) {
        const QString body = QString::fromUtf8(QJsonDocument(data).toJson(QJsonDocument::Compact));
        QVERIFY(body.size() >= CTIConnectorResponseHandler::offThreadParseMinSize);
        sim.pushText(QStringLiteral(R"({"name": "requestUCItems", "type": "response", "data": )") + body
                     + QLatin1Char('}'));
    } else {
        sim.pushResponse(QStringLiteral("requestUCItems"), data);
    }
    QTRY_COMPARE_WITH_TIMEOUT(receiver.callIds.size(), count, 20000);
    QCOMPARE(receiver.callIds, expected);
    QCOMPARE(receiver.offMainThread, 0);

    // What a receiver adopted stays; the rest is released.
    const int kept = int(std::count_if(expected.cbegin(), expected.cend(), [](const QString &id) { return id.startsWith("keep"); }));
    QTRY_COMPARE(receiver.alive(), kept);
}

void tst_CTIConnectorUCItems::itemsHandedOut_data()
{
    QTest::addColumn<QString>("message"); // type and name
    QTest::addColumn<QJsonValue>("data");
    QTest::addColumn<QStringList>("callIds"); // of the items its signal hands out
    const QString history = "response requestUCItems", queue = "response requestQueueCalls";
    QTest::newRow("history, items missing") << history << QJsonValue(QJsonObject{}) << QStringList();
    QTest::newRow("history, items null") << history << QJsonValue(QJsonObject{{"items", QJsonValue()}}) << QStringList();
    QTest::newRow("history, items an array")
        << history << QJsonValue(QJsonObject{{"items", QJsonArray{item("a")}}}) << QStringList();
    QTest::newRow("history, data an array")
        << history << QJsonValue(QJsonArray{QJsonObject{{"items", QJsonObject{{"a", item("a")}}}}}) << QStringList();
    // A member that is no object still gives an item, with an empty map.
    QTest::newRow("history, members of every kind")
        << history
        << QJsonValue(QJsonObject{{"items", QJsonObject{{"a", QJsonArray{item("x")}}, {"b", "text"}, {"c", QJsonValue()},
                                                        {"d", 4}, {"e", item("e")}, {"f", QJsonObject{}}}}})
        << QStringList{"", "", "", "", "e", ""};
    QTest::newRow("history, callid of other types")
        << history
        << QJsonValue(QJsonObject{{"items", QJsonObject{{"a", QJsonObject{{"callid", 42}}},
                                                        {"b", QJsonObject{{"callid", QJsonValue()}}}}}})
        << QStringList{"42", ""};
    QTest::newRow("queue, in member-name order")
        << queue << QJsonValue(QJsonObject{{"items", QJsonObject{{"b", item("keep-b")}, {"a", item("drop-a")}}}})
        << QStringList{"drop-a", "keep-b"};
    QTest::newRow("queue, items an array") << queue << QJsonValue(QJsonObject{{"items", QJsonArray{item("a")}}}) << QStringList();
    QTest::newRow("queue, items missing") << queue << QJsonValue(QJsonObject{}) << QStringList();
    QTest::newRow("queue call event") << "event newQueueCall" << QJsonValue(item("keep-1")) << QStringList{"keep-1"};
    QTest::newRow("queue call event without data") << "event newQueueCall" << QJsonValue() << QStringList{""};
}

void tst_CTIConnectorUCItems::itemsHandedOut()
{
    QFETCH(QString, message);
    QFETCH(QJsonValue, data);
    QFETCH(QStringList, callIds);
    Receiver history, queue;
    connect(connector, &CTIConnector::ucItemAdded, &history, &Receiver::onItem);
    connect(connector, &CTIConnector::queueCallAdded, &queue, &Receiver::onItem);
    sim.pushText(wire(message.section(' ', 0, 0), message.section(' ', 1), data));
    sync();
    const Receiver &receiver = message.endsWith(QLatin1String("UCItems")) ? history : queue;
    QCOMPARE(receiver.callIds, callIds);
    QCOMPARE(history.callIds.size() + queue.callIds.size(), callIds.size()); // none by the other signal
    QCOMPARE(receiver.offMainThread, 0);
    if (message.startsWith(QLatin1String("event")) && data.isObject())
        QCOMPARE(receiver.items.first()->getValues(), data.toObject().toVariantMap());
    QTRY_COMPARE(receiver.alive(), int(callIds.filter(QRegularExpression("^keep")).size()));
}

void tst_CTIConnectorUCItems::largeTextThatIsNoHistory_data()
{
    // Long texts that name "requestUCItems" at their end, where an envelope's name would stand.
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("items");
    QTest::newRow("line event carrying the name") << "event" << "updateLineStatus" << 1 << 0;
    QTest::newRow("history as an event") << "event" << "requestUCItems" << 0 << 0;
}

void tst_CTIConnectorUCItems::largeTextThatIsNoHistory()
{
    QFETCH(QString, type);
    QFETCH(QString, name);
    QFETCH(int, lines);
    QFETCH(int, items);
    const QJsonObject data{{"callid", "big"},
                           {"items", QJsonObject{{"a", item("a")}}},
                           {"padding", QString(CTIConnectorResponseHandler::offThreadParseMinSize, QLatin1Char('x'))},
                           {"state", 1},
                           {"zz", QJsonObject{{"name", "requestUCItems"}}}};
    QString text = wire(type, name, data);
    if (name == QLatin1String("requestUCItems")) // its own name stands at the end then
        text = text.replace(QStringLiteral(R"("zz":{"name":"requestUCItems"})"), QStringLiteral(R"("zz":0)"));

    Receiver receiver;
    connect(connector, &CTIConnector::ucItemAdded, &receiver, &Receiver::onItem);
    QSignalSpy opened(connector, &CTIConnector::lineOpenend);
    sim.pushText(text);
    sync();
    QCOMPARE(opened.count(), lines);
    QCOMPARE(receiver.callIds.size(), items);
    if (lines) {
        Line *line = opened.first().first().value<Line *>();
        QCOMPARE(line->callId(), QStringLiteral("big"));
        QSignalSpy closed(connector, &CTIConnector::lineClosed);
        sim.pushEvent(QStringLiteral("updateLineStatus"), QJsonObject{{"callid", "big"}, {"state", 3}});
        QTRY_COMPARE(closed.count(), 1);
    }
}

QTEST_GUILESS_MAIN(tst_CTIConnectorUCItems)
#include "tst_cticonnector_ucitems.moc"
