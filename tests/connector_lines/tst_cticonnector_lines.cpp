#include "cticonnector.h"
#include "line.h"
#include "passbudget.h"
#include "pbxsimulator.h"
#include "ucitem.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <ctime>
#include <memory>

#include <QStandardItem>

// The connector is connected to the simulator without an accepted login: the simulator records
// every command and pushes what the test asks for, but serves nothing itself.
class tst_CTIConnectorLines : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void commandsOnTheWire_data();
    void commandsOnTheWire();
    void lineStatusAgeing_data();
    void lineStatusAgeing();
    void lineStatusOpensInKeyOrderAndUpdatesOpenLines();
    void eventsOpenChangeClose_data();
    void eventsOpenChangeClose();
    void closedLineOutlivesEveryReceiver();
    void aBurstGoesOnOverSeveralPassesInOrder();
    void closedLineAsConversationItem_data();
    void closedLineAsConversationItem();
    void badInput_data();
    void badInput();

private:
    //! Pushes a line event behind everything sent before and waits until the connector handled it.
    void sync();
    //! Closes the line under this call id (opening and closing it if it is not open).
    void close(const QJsonValue &callId);
    void push(const QJsonValue &callId, int state) { sim.pushEvent(QStringLiteral("updateLineStatus"), lineData(callId, state)); }
    static QJsonObject lineData(const QJsonValue &callId, int state, const QString &timestamp = QString())
    {
        return {{"callid", callId}, {"remote_number", "+49711123"}, {"duration", "00:00:05"},
                {"state", state},   {"direction", 1},               {"timestamp", timestamp}};
    }

    PbxSimulator sim{QHostAddress(QStringLiteral("127.0.0.20"))};
    CTIConnector *connector = CTIConnector::instance();
    int syncs = 0;
};

namespace {
//! Every line signal (and ucItemAdded) as "signal callid", in order, but those of the sync markers.
class LineLog : public QObject
{
public:
    explicit LineLog(CTIConnector *connector)
    {
        connect(connector, &CTIConnector::lineOpenend, this, [this](Line *l) { add("open", l); });
        connect(connector, &CTIConnector::lineChanged, this, [this](Line *l) { add("change", l); });
        connect(connector, &CTIConnector::lineClosed, this, [this](Line *l) { add("close", l); });
        connect(connector, &CTIConnector::ucItemAdded, this, [this](UCItem *item) {
            if (add("item", nullptr, item->getValues().value("callid").toString()))
                items << item->getValues();
        });
    }
    QStringList entries;
    QList<QPointer<Line>> lines;
    QList<QVariantMap> items; // the records are released once the receivers returned

    //! The entries about one call id, without it.
    QStringList of(const QString &callId) const
    {
        return QStringList(entries.filter(QRegularExpression(" " + QRegularExpression::escape(callId) + "$")))
            .replaceInStrings(QRegularExpression(" .*"), QString());
    }

private:
    bool add(const char *what, Line *line, const QString &itemCallId = QString())
    {
        const QString callId = line ? line->callId() : itemCallId;
        if (callId.startsWith(QLatin1String("sync-")))
            return false;
        entries << QLatin1String(what) + QLatin1Char(' ') + callId;
        if (line)
            lines << line;
        return true;
    }
};

QString ago(qint64 seconds)
{
    return QDateTime::currentDateTime().addSecs(-seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
}

void tst_CTIConnectorLines::initTestCase()
{
    qputenv("TZ", "UTC"); // no daylight-saving step between "now" and a time hours ago
    tzset();
    QVERIFY2(sim.listen(), qPrintable(sim.errorString()));
    QSignalSpy refused(connector, &CTIConnector::loginFailed);
    connector->login(QStringLiteral("nobody"), QStringLiteral("x"), QStringLiteral("127.0.0.20"));
    QTRY_COMPARE(refused.count(), 1);
}

void tst_CTIConnectorLines::sync()
{
    const QString marker = QStringLiteral("sync-%1").arg(++syncs);
    QSignalSpy opened(connector, &CTIConnector::lineOpenend);
    push(marker, 1);
    QTRY_VERIFY(!opened.isEmpty() && opened.last().first().value<Line *>()->callId() == marker);
    // A closed line is released once its receivers returned: its id is read while it is handed out.
    bool closed = false;
    const QMetaObject::Connection watch = connect(connector, &CTIConnector::lineClosed, this,
                                                  [&](Line *line) { closed |= line->callId() == marker; });
    push(marker, 3);
    QTRY_VERIFY(closed);
    disconnect(watch);
}

void tst_CTIConnectorLines::close(const QJsonValue &callId)
{
    // A line that was not open opens nothing.
    push(callId, 3);
    sync();
}

void tst_CTIConnectorLines::commandsOnTheWire_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("name"); // empty: nothing is sent
    QTest::addColumn<QJsonObject>("data");
    QTest::newRow("line status") << "requestLineStatus" << QStringList() << "requestLineStatus" << QJsonObject();
    QTest::newRow("dial") << "dialNumber" << QStringList{"+49 (711) 12-3"} << "dialNumber"
                          << QJsonObject{{"number", "+49 (711) 12-3"}};
    QTest::newRow("pickup 23") << "pickupExtension" << QStringList{"23"} << "dialNumber"
                               << QJsonObject{{"number", "*81*23"}};
    for (const char *operation : {"hangup", "hold", "holdRetrieve", "record"})
        QTest::addRow("%s", operation) << operation << QStringList{"c-1"} << operation << QJsonObject{{"callid", "c-1"}};
    for (const char *operation : {"dialNumber", "pickupExtension", "hangup", "hold", "holdRetrieve", "record"})
        QTest::addRow("%s nothing", operation) << operation << QStringList{""} << "" << QJsonObject();
    QTest::newRow("transfer") << "transfer" << QStringList{"c-1", "200"} << "transfer"
                              << QJsonObject{{"callid", "c-1"}, {"target", "200"}};
    QTest::newRow("transfer nowhere") << "transfer" << QStringList{"c-1", ""} << "transfer"
                                      << QJsonObject{{"callid", "c-1"}, {"target", ""}};
    QTest::newRow("transfer nothing") << "transfer" << QStringList{"", "200"} << "" << QJsonObject();
}

void tst_CTIConnectorLines::commandsOnTheWire()
{
    QFETCH(QString, operation);
    QFETCH(QStringList, arguments);
    QFETCH(QString, name);
    QFETCH(QJsonObject, data);
    sim.clearReceived();
    const QByteArray method = operation.toLatin1();
    const QString a = arguments.value(0), b = arguments.value(1);
    QVERIFY(arguments.isEmpty()      ? QMetaObject::invokeMethod(connector, method.constData())
            : arguments.size() == 1 ? QMetaObject::invokeMethod(connector, method.constData(), Q_ARG(QString, a))
                                    : QMetaObject::invokeMethod(connector, method.constData(), Q_ARG(QString, a),
                                                                Q_ARG(QString, b)));
    CTIMessage marker = CTIMessage::generateCommand(QStringLiteral("marker"));
    connector->sendMessage(marker);
    QTRY_COMPARE(sim.receivedCommands(QStringLiteral("marker")).size(), 1);

    QList<QJsonObject> sent = sim.receivedCommands();
    sent.removeLast();
    QCOMPARE(sent.size(), name.isEmpty() ? 0 : 1);
    if (!name.isEmpty()) {
        const QJsonObject &c = sent.first();
        QCOMPARE((QStringList{c.value("type").toString(), c.value("name").toString()}), (QStringList{"command", name}));
        QCOMPARE(c.value("data").toObject(), data);
    }
}

void tst_CTIConnectorLines::lineStatusAgeing_data()
{
    QTest::addColumn<QString>("timestamp");
    QTest::addColumn<bool>("opened");
    QTest::newRow("two hours ago") << ago(2 * 3600) << true;
    QTest::newRow("nine hours ago") << ago(9 * 3600) << false;
    QTest::newRow("a minute ahead") << ago(-60) << true; // the server's clock runs ahead
    QTest::newRow("a day ahead") << ago(-24 * 3600) << true;
    QTest::newRow("no date") << QString() << true;
}

void tst_CTIConnectorLines::lineStatusAgeing()
{
    QFETCH(QString, timestamp);
    QFETCH(bool, opened);
    const QString callId = QStringLiteral("age-") + QString::fromLatin1(QTest::currentDataTag());
    LineLog log(connector);
    sim.pushResponse(QStringLiteral("requestLineStatus"),
                     QJsonObject{{"lines", QJsonObject{{"x", lineData(callId, 2, timestamp)}}}});
    sync();
    QCOMPARE(log.of(callId), opened ? QStringList{"open"} : QStringList());
    // In the map exactly when opened: the next report changes it, or opens it anew.
    push(callId, 1);
    sync();
    QCOMPARE(log.of(callId).last(), opened ? QStringLiteral("change") : QStringLiteral("open"));
    close(callId);
}

void tst_CTIConnectorLines::lineStatusOpensInKeyOrderAndUpdatesOpenLines()
{
    LineLog log(connector);
    push("key-1", 1);
    sync();
    const QPointer<Line> first = log.lines.first();
    // Members in name order; one that has ended opens nothing; an id already open is that call,
    // changed: views keep its record, and a call reported again and again runs one clock.
    sim.pushResponse(QStringLiteral("requestLineStatus"),
                     QJsonObject{{"lines", QJsonObject{{"b", lineData("key-1", 2)}, {"a", lineData("key-2", 7)}, {"c", lineData("key-3", 1)}}}});
    sync();
    QCOMPARE(log.entries, (QStringList{"open key-1", "change key-1", "open key-3"}));
    QCOMPARE(log.lines.at(1).data(), first.data());
    QVERIFY(first->secondsTimer()->isActive());
    close("key-1");
    close("key-3");
}

void tst_CTIConnectorLines::eventsOpenChangeClose_data()
{
    QTest::addColumn<QList<int>>("states");
    QTest::addColumn<QStringList>("signals_");
    QTest::newRow("ring, talk, end") << QList<int>{1, 2, 3} << QStringList{"open", "change", "close", "item"};
    QTest::newRow("ring, missed (7)") << QList<int>{1, 7} << QStringList{"open", "close", "item"};
    QTest::newRow("negative state stays") << QList<int>{1, -1} << QStringList{"open", "change"};
    QTest::newRow("first report already ended") << QList<int>{7, 1} << QStringList{"open"};
    QTest::newRow("reported again after the end") << QList<int>{1, 3, 1} << QStringList{"open", "close", "item", "open"};
}

void tst_CTIConnectorLines::eventsOpenChangeClose()
{
    QFETCH(QList<int>, states);
    QFETCH(QStringList, signals_);
    const QString callId = QStringLiteral("ev-") + QString::fromLatin1(QTest::currentDataTag());
    LineLog log(connector);
    for (int state : states)
        push(callId, state);
    sync();
    QCOMPARE(log.of(callId), signals_);
    // Changes and the close carry the line that was opened.
    const int closeAt = signals_.indexOf("close");
    for (int i = 1; i <= (closeAt < 0 ? log.lines.size() - 1 : closeAt); ++i)
        QCOMPARE(log.lines.at(i).data(), log.lines.first().data());
    if (closeAt >= 0) { // the record of the ended call
        QCOMPARE(log.items.size(), 1);
        QCOMPARE(log.items.first().value("callid").toString(), callId);
        QCOMPARE(log.items.first().value("state").toInt(), states.at(closeAt));
    }
    if (signals_.last() != "item")
        close(callId);
}

void tst_CTIConnectorLines::aBurstGoesOnOverSeveralPassesInOrder()
{
    // A trunk going down ends every call in one read: handled in one go, they would hold up the
    // window. With no budget each pass handles a text or two; the rest keep their order, and a
    // text that comes meanwhile waits behind them.
    const auto text = [](const QString &callId, int state) {
        return QString::fromUtf8(QJsonDocument(QJsonObject{{"type", "event"},
                                                           {"name", "updateLineStatus"},
                                                           {"data", lineData(callId, state)}})
                                     .toJson(QJsonDocument::Compact));
    };
    const int count = 20;
    LineLog log(connector);
    connector->setDispatchBudgetMs(0);
    QStringList expected;
    QCoreApplication::processEvents(); // a pass of its own
    for (int i = 0; i < count; ++i) {
        const QString callId = QStringLiteral("burst-%1").arg(i);
        connector->onMessage(text(callId, 1));
        expected << QStringLiteral("open ") + callId;
    }
    QCOMPARE(log.entries.size(), 1);
    QCoreApplication::processEvents();
    QVERIFY(log.entries.size() < count);
    PassBudget::endPass(); // a text that comes in a new pass, with others still waiting
    connector->onMessage(text(QStringLiteral("burst-0"), 3));
    expected << QStringLiteral("close burst-0") << QStringLiteral("item burst-0");
    QTRY_COMPARE(log.entries, expected);
    connector->setDispatchBudgetMs(CTIConnector::dispatchBudgetMs);
    for (int i = 0; i < count; ++i)
        close(QStringLiteral("burst-%1").arg(i));
}

void tst_CTIConnectorLines::closedLineAsConversationItem_data()
{
    QTest::addColumn<QByteArray>("tz"); // POSIX rules: no time zone database needed
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QString>("utc");
    QTest::addColumn<qint64>("seconds");
    QTest::newRow("UTC") << QByteArray("UTC0") << "01:02:03" << "2026-03-01T10:00:00Z" << qint64(3723);
    QTest::newRow("east of UTC") << QByteArray("CET-1") << "00:00:05" << "2026-03-01T09:00:00Z" << qint64(5);
    QTest::newRow("west of UTC") << QByteArray("EST5") << "30:00:00" << "2026-03-01T15:00:00Z" << qint64(108000);
    QTest::newRow("negative duration") << QByteArray("UTC0") << "-00:00:05" << "2026-03-01T10:00:00Z" << qint64(0);
    QTest::newRow("no duration") << QByteArray("UTC0") << "soon" << "2026-03-01T10:00:00Z" << qint64(0);
}

void tst_CTIConnectorLines::closedLineAsConversationItem()
{
    // The line reports its local start and "HH:mm:ss"; the list's items are UTC and seconds.
    QFETCH(QByteArray, tz);
    QFETCH(QString, duration);
    QFETCH(QString, utc);
    QFETCH(qint64, seconds);
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", tz);
    tzset();
    const QString callId = QStringLiteral("tz-") + QString::fromLatin1(QTest::currentDataTag());
    LineLog log(connector);
    QJsonObject data = lineData(callId, 1, QStringLiteral("2026-03-01 10:00:00"));
    sim.pushEvent(QStringLiteral("updateLineStatus"), data);
    data.insert(QStringLiteral("state"), 4);
    data.insert(QStringLiteral("duration"), duration);
    sim.pushEvent(QStringLiteral("updateLineStatus"), data);
    sync();
    QCOMPARE(log.items.size(), 1);
    QCOMPARE(log.items.first().value("timestamp").toString(), utc);
    QCOMPARE(log.items.first().value("duration").toLongLong(), seconds);
    // As the list shows it: back at the local 10:00.
    UCItem item;
    item.buildFromVariantMap(log.items.first());
    std::unique_ptr<QStandardItem> row(item.toStandardItem());
    QCOMPARE(row->data(UCItem::DateTimeRole).toDateTime().toString(QStringLiteral("HH:mm")), QStringLiteral("10:00"));
    QCOMPARE(row->data(UCItem::DurationRole).toLongLong(), seconds);
    if (oldTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldTz);
    tzset();
}

void tst_CTIConnectorLines::closedLineOutlivesEveryReceiver()
{
    QObject keeper;
    QPointer<Line> released, adopted;
    QPointer<UCItem> releasedItem;
    QStringList readLater; // by a queued receiver, after the emission returned
    connect(connector, &CTIConnector::lineClosed, &keeper, [&](Line *line) {
        if (line->callId() == "keep")
            line->setParent(&keeper);
        (line->callId() == "keep" ? adopted : released) = line;
    });
    connect(connector, &CTIConnector::lineClosed, &keeper, [&](Line *line) {
        if (!line->callId().startsWith(QLatin1String("sync-")))
            readLater << line->callId() + QLatin1Char(' ') + line->remoteNumber();
    }, Qt::QueuedConnection);
    connect(connector, &CTIConnector::ucItemAdded, &keeper, [&](UCItem *item) {
        if (item->getValues().value("callid") == "drop")
            releasedItem = item;
    });
    for (const char *callId : {"drop", "keep"}) {
        push(callId, 2);
        push(callId, 4);
    }
    sync();
    QTRY_COMPARE(readLater, (QStringList{"drop +49711123", "keep +49711123"}));
    QTRY_VERIFY2(released.isNull(), "a closed line nobody adopted is released");
    QTRY_VERIFY2(releasedItem.isNull(), "an item nobody adopted is released");
    QVERIFY2(adopted, "an adopted line stays");
    QVERIFY(!adopted->secondsTimer()->isActive());
}

void tst_CTIConnectorLines::badInput_data()
{
    QTest::addColumn<QString>("kind"); // "event" or "response"
    QTest::addColumn<QJsonValue>("payload");
    QTest::addColumn<QStringList>("opened"); // call ids of the lines opened
    const QJsonObject good = lineData("bad-ok", 1);
    // Data that names no call opens nothing; a number as call id is read as its digits.
    QTest::newRow("event, callid a number") << "event" << QJsonValue(lineData(42, 1)) << QStringList{"42"};
    QTest::newRow("event, callid a fraction") << "event" << QJsonValue(lineData(4.5, 1)) << QStringList();
    QTest::newRow("event, callid null") << "event" << QJsonValue(lineData(QJsonValue(), 1)) << QStringList();
    QTest::newRow("event, callid empty") << "event" << QJsonValue(lineData(QString(), 1)) << QStringList();
    QTest::newRow("event, callid an object") << "event" << QJsonValue(lineData(QJsonObject{{"callid", "c"}}, 1))
                                             << QStringList();
    QTest::newRow("event data an array") << "event" << QJsonValue(QJsonArray{good}) << QStringList();
    QTest::newRow("event without data") << "event" << QJsonValue() << QStringList();
    QTest::newRow("lines an array") << "response" << QJsonValue(QJsonObject{{"lines", QJsonArray{good}}}) << QStringList();
    QTest::newRow("lines a string") << "response" << QJsonValue(QJsonObject{{"lines", "lines"}}) << QStringList();
    QTest::newRow("lines null") << "response" << QJsonValue(QJsonObject{{"lines", QJsonValue()}}) << QStringList();
    QTest::newRow("lines missing") << "response" << QJsonValue(QJsonObject{}) << QStringList();
    QTest::newRow("response data an array") << "response" << QJsonValue(QJsonArray{good}) << QStringList();
    QTest::newRow("lines member an array")
        << "response" << QJsonValue(QJsonObject{{"lines", QJsonObject{{"a", QJsonArray{good}}, {"b", good}}}})
        << QStringList{"bad-ok"};
    QTest::newRow("lines member with a number id")
        << "response" << QJsonValue(QJsonObject{{"lines", QJsonObject{{"a", lineData(7, 1)}}}}) << QStringList{"7"};
}

void tst_CTIConnectorLines::badInput()
{
    QFETCH(QString, kind);
    QFETCH(QJsonValue, payload);
    QFETCH(QStringList, opened);
    LineLog log(connector);
    const QString name = kind == "event" ? QStringLiteral("updateLineStatus") : QStringLiteral("requestLineStatus");
    sim.pushText(QString::fromUtf8(QJsonDocument(QJsonObject{{"type", kind}, {"name", name}, {"data", payload}})
                                       .toJson(QJsonDocument::Compact)));
    sync();
    QCOMPARE(log.entries, QStringList(opened).replaceInStrings(QRegularExpression("^"), "open "));
    for (const QString &id : opened)
        close(id);
}

QTEST_GUILESS_MAIN(tst_CTIConnectorLines)
#include "tst_cticonnector_lines.moc"
