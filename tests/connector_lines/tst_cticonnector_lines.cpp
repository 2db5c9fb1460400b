#include "cticonnector.h"
#include "line.h"
#include "pbxsimulator.h"
#include "ucitem.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <ctime>

// The connector is connected to the simulator without an accepted login: the simulator records
// every command and pushes what the test asks for, but serves nothing itself.
class tst_CTIConnectorLines : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void commandsOnTheWire_data();
    void commandsOnTheWire();
    void lineStatusAgeing_data();
    void lineStatusAgeing();
    void lineStatusOpensInKeyOrderAndKeepsReplacedLines();
    void eventsOpenChangeClose_data();
    void eventsOpenChangeClose();
    void closedLineOutlivesEveryReceiver();
    void badInput_data();
    void badInput();

private:
    //! Pushes an event behind everything sent before and waits until the connector handled it.
    void sync();
    //! Opens nothing that stays: closes the line under this call id value if it is open.
    void close(const QJsonValue &callId);

    const QString host = QStringLiteral("127.0.0.20");
    PbxSimulator sim{QHostAddress(QStringLiteral("127.0.0.20"))};
    CTIConnector *connector = CTIConnector::instance();
    int syncs = 0;
};

namespace {
QJsonObject lineData(const QJsonValue &callId, int state, const QString &timestamp = QString())
{
    return {{"callid", callId},       {"firstname", "Erika"},      {"lastname", "Mustermann"},
            {"company", "Muster GmbH"}, {"remote_number", "+49711123"}, {"duration", "00:00:05"},
            {"caller_addressbook_id", "ab-7"}, {"state", state},   {"direction", 1},
            {"timestamp", timestamp}};
}

QString ago(qint64 seconds)
{
    return QDateTime::currentDateTime().addSecs(-seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

//! Every line signal (and ucItemAdded) of the connector as "signal callid", in order, but those of
//! the sync markers.
class LineLog : public QObject
{
public:
    explicit LineLog(CTIConnector *connector)
    {
        connect(connector, &CTIConnector::lineOpenend, this, [this](Line *l) { add("open", l); });
        connect(connector, &CTIConnector::lineChanged, this, [this](Line *l) { add("change", l); });
        connect(connector, &CTIConnector::lineClosed, this, [this](Line *l) { add("close", l); });
        connect(connector, &CTIConnector::ucItemAdded, this, [this](UCItem *item) {
            const QString callId = item->getValues().value("callid").toString();
            if (!callId.startsWith(QLatin1String("sync-")))
                entries << QStringLiteral("item ") + callId;
        });
    }
    QStringList entries;
    QList<QPointer<Line>> lines;

    //! The entries about one call id, without it.
    QStringList of(const QString &callId) const
    {
        QStringList found;
        for (const QString &entry : entries) {
            if (entry.section(QLatin1Char(' '), 1) == callId)
                found << entry.section(QLatin1Char(' '), 0, 0);
        }
        return found;
    }

private:
    void add(const char *what, Line *line)
    {
        if (line->callId().startsWith(QLatin1String("sync-")))
            return;
        entries << QLatin1String(what) + QLatin1Char(' ') + line->callId();
        lines << line;
    }
};
}

void tst_CTIConnectorLines::initTestCase()
{
    qputenv("TZ", "UTC"); // no daylight-saving step between "now" and a time hours ago
    tzset();
    QVERIFY2(sim.listen(), qPrintable(sim.errorString()));
    QSignalSpy refused(connector, &CTIConnector::loginFailed);
    connector->login(QStringLiteral("nobody"), QStringLiteral("x"), host);
    QTRY_COMPARE(refused.count(), 1);
}

void tst_CTIConnectorLines::sync()
{
    const QString marker = QStringLiteral("sync-%1").arg(++syncs);
    QSignalSpy opened(connector, &CTIConnector::lineOpenend);
    sim.pushEvent(QStringLiteral("updateLineStatus"), lineData(marker, 1));
    QTRY_VERIFY(!opened.isEmpty() && opened.last().first().value<Line *>()->callId() == marker);
    close(marker);
}

void tst_CTIConnectorLines::close(const QJsonValue &callId)
{
    QSignalSpy closed(connector, &CTIConnector::lineClosed);
    QSignalSpy opened(connector, &CTIConnector::lineOpenend);
    sim.pushEvent(QStringLiteral("updateLineStatus"), lineData(callId, 3));
    QTRY_VERIFY(closed.count() + opened.count() == 1);
    if (!opened.isEmpty()) // it was not open: now it is, in state 3; the next report closes it
        close(callId);
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
    QTest::newRow("dial nothing") << "dialNumber" << QStringList{""} << "" << QJsonObject();
    QTest::newRow("pickup 23") << "pickupExtension" << QStringList{"23"} << "dialNumber"
                               << QJsonObject{{"number", "*81*23"}};
    QTest::newRow("pickup nothing") << "pickupExtension" << QStringList{""} << "" << QJsonObject();
    for (const char *operation : {"hangup", "hold", "holdRetrieve", "record"}) {
        QTest::addRow("%s", operation) << operation << QStringList{"c-1"} << operation
                                       << QJsonObject{{"callid", "c-1"}};
        QTest::addRow("%s nothing", operation) << operation << QStringList{""} << "" << QJsonObject();
    }
    QTest::newRow("transfer") << "transfer" << QStringList{"c-1", "200"} << "transfer"
                              << QJsonObject{{"callid", "c-1"}, {"target", "200"}};
    QTest::newRow("transfer nowhere") << "transfer" << QStringList{"c-1", ""} << "transfer"
                                      << QJsonObject{{"callid", "c-1"}, {"target", ""}};
    QTest::newRow("transfer no call") << "transfer" << QStringList{"", "200"} << "" << QJsonObject();
}

void tst_CTIConnectorLines::commandsOnTheWire()
{
    QFETCH(QString, operation);
    QFETCH(QStringList, arguments);
    QFETCH(QString, name);
    QFETCH(QJsonObject, data);

    sim.clearReceived();
    const QByteArray method = operation.toLatin1();
    bool invoked = false;
    switch (arguments.size()) {
    case 0:
        invoked = QMetaObject::invokeMethod(connector, method.constData());
        break;
    case 1:
        invoked = QMetaObject::invokeMethod(connector, method.constData(), Q_ARG(QString, arguments.at(0)));
        break;
    default:
        invoked = QMetaObject::invokeMethod(connector, method.constData(), Q_ARG(QString, arguments.at(0)),
                                            Q_ARG(QString, arguments.at(1)));
    }
    QVERIFY(invoked);
    CTIMessage marker = CTIMessage::generateCommand(QStringLiteral("marker"));
    connector->sendMessage(marker);
    QTRY_COMPARE(sim.receivedCommands(QStringLiteral("marker")).size(), 1);

    QList<QJsonObject> sent = sim.receivedCommands();
    sent.removeLast();
    QCOMPARE(sent.size(), name.isEmpty() ? 0 : 1);
    if (!name.isEmpty()) {
        QCOMPARE(sent.first().value("name").toString(), name);
        QCOMPARE(sent.first().value("type").toString(), QStringLiteral("command"));
        QCOMPARE(sent.first().value("data").toObject(), data);
    }
}

void tst_CTIConnectorLines::lineStatusAgeing_data()
{
    QTest::addColumn<QString>("timestamp");
    QTest::addColumn<bool>("opened");
    QTest::newRow("two hours ago") << ago(2 * 3600) << true;
    QTest::newRow("just under eight hours") << ago(8 * 3600 - 60) << true;
    QTest::newRow("just over eight hours") << ago(8 * 3600 + 60) << false;
    QTest::newRow("nine hours ago") << ago(9 * 3600) << false;
    QTest::newRow("a minute ahead") << ago(-60) << true;   // the server's clock runs ahead
    QTest::newRow("a day ahead") << ago(-24 * 3600) << true;
    QTest::newRow("no date") << QString() << true;
    QTest::newRow("no such day") << "2016-02-30 10:00:00" << true;
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
    sim.pushEvent(QStringLiteral("updateLineStatus"), lineData(callId, 1));
    sync();
    QCOMPARE(log.of(callId).last(), opened ? QStringLiteral("change") : QStringLiteral("open"));
    close(callId);
}

void tst_CTIConnectorLines::lineStatusOpensInKeyOrderAndKeepsReplacedLines()
{
    LineLog log(connector);
    sim.pushEvent(QStringLiteral("updateLineStatus"), lineData("key-1", 1));
    sync();
    const QPointer<Line> first = log.lines.first();

    // Members in name order; a state of 3 or more is not looked at here; an id already open is replaced.
    sim.pushResponse(QStringLiteral("requestLineStatus"),
                     QJsonObject{{"lines", QJsonObject{{"b", lineData("key-1", 2)}, {"a", lineData("key-2", 7)}}}});
    sync();
    QCOMPARE(log.entries, (QStringList{"open key-1", "open key-2", "open key-1"}));
    QVERIFY(log.lines.at(2) != first);
    QTest::qWait(20);
    QVERIFY2(first, "a line receivers were given must stay valid");

    // Both are in the map now: the next reports change them.
    close("key-1");
    close("key-2");
    QCOMPARE(log.of("key-1"), (QStringList{"open", "open", "close", "item"}));
    QCOMPARE(log.of("key-2"), (QStringList{"open", "close", "item"}));
}

void tst_CTIConnectorLines::eventsOpenChangeClose_data()
{
    QTest::addColumn<QList<int>>("states");
    QTest::addColumn<QStringList>("signals_");
    QTest::newRow("ring, talk, end") << QList<int>{1, 2, 3} << QStringList{"open", "change", "close", "item"};
    QTest::newRow("ring, missed (7)") << QList<int>{1, 7} << QStringList{"open", "close", "item"};
    QTest::newRow("talk, talk, end (8)") << QList<int>{2, 2, 8} << QStringList{"open", "change", "close", "item"};
    QTest::newRow("odd state 99 ends") << QList<int>{0, 99} << QStringList{"open", "close", "item"};
    QTest::newRow("negative state stays") << QList<int>{1, -1} << QStringList{"open", "change"};
    QTest::newRow("first report already ended") << QList<int>{7, 1} << QStringList{"open", "change"};
    QTest::newRow("reported again after the end") << QList<int>{1, 3, 1} << QStringList{"open", "close", "item", "open"};
}

void tst_CTIConnectorLines::eventsOpenChangeClose()
{
    QFETCH(QList<int>, states);
    QFETCH(QStringList, signals_);
    const QString callId = QStringLiteral("ev-") + QString::fromLatin1(QTest::currentDataTag());
    LineLog log(connector);
    QList<QVariantMap> items; // the records are released once the receivers returned
    connect(connector, &CTIConnector::ucItemAdded, &log, [&items](UCItem *item) { items << item->getValues(); });
    for (int state : states)
        sim.pushEvent(QStringLiteral("updateLineStatus"), lineData(callId, state));
    sync();

    QCOMPARE(log.of(callId), signals_);
    // One record per call id while it is open: changes and the close carry the opened line.
    const int closeAt = signals_.indexOf("close");
    for (int i = 1; i < log.lines.size() - 1 && log.lines.at(i); ++i) {
        if (i <= closeAt || closeAt < 0)
            QCOMPARE(log.lines.at(i).data(), log.lines.first().data());
    }
    if (closeAt >= 0) {
        QVERIFY(!items.isEmpty());
        const QVariantMap item = items.first();
        QCOMPARE(item.value("callid").toString(), callId);
        QCOMPARE(item.value("state").toInt(), states.at(closeAt));
        QCOMPARE(item.value("remote_number").toString(), QStringLiteral("+49711123"));
    }
    if (signals_.last() != "close" && signals_.last() != "item")
        close(callId);
}

void tst_CTIConnectorLines::closedLineOutlivesEveryReceiver()
{
    QObject keeper;
    QPointer<Line> released;
    QPointer<UCItem> releasedItem;
    QPointer<Line> adopted;
    QStringList readLater; // by a queued receiver, after the emission returned
    connect(connector, &CTIConnector::lineClosed, &keeper, [&](Line *line) {
        if (line->callId() == "keep")
            line->setParent(&keeper);
        (line->callId() == "keep" ? adopted : released) = line;
    });
    connect(connector, &CTIConnector::lineClosed, &keeper,
            [&](Line *line) {
                if (!line->callId().startsWith(QLatin1String("sync-")))
                    readLater << line->callId() + QLatin1Char(' ') + line->remoteNumber();
            },
            Qt::QueuedConnection);
    connect(connector, &CTIConnector::ucItemAdded, &keeper, [&](UCItem *item) {
        if (item->getValues().value("callid") == "drop")
            releasedItem = item;
    });

    for (const char *callId : {"drop", "keep"}) {
        sim.pushEvent(QStringLiteral("updateLineStatus"), lineData(callId, 2));
        sim.pushEvent(QStringLiteral("updateLineStatus"), lineData(callId, 4));
    }
    sync();
    QTRY_COMPARE(readLater, (QStringList{"drop +49711123", "keep +49711123"}));
    QTRY_VERIFY2(released.isNull(), "a closed line nobody adopted is released");
    QTRY_VERIFY2(releasedItem.isNull(), "an item nobody adopted is released");
    QVERIFY2(adopted, "an adopted line stays");
    QCOMPARE(adopted->callState(), CallState::EndedYellow);
    QVERIFY(!adopted->secondsTimer()->isActive());
}

void tst_CTIConnectorLines::badInput_data()
{
    QTest::addColumn<QString>("kind"); // "event" or "response"
    QTest::addColumn<QJsonValue>("payload");
    QTest::addColumn<QStringList>("opened"); // call ids of the lines opened

    const QJsonObject good = lineData("bad-ok", 1);
    for (const auto &value : {QPair<const char *, QJsonValue>{"number", 42}, {"bool", true}, {"null", QJsonValue()},
                              {"array", QJsonArray{"c-1"}}, {"object", QJsonObject{{"callid", "c-1"}}}}) {
        QJsonObject line = good;
        line.insert("callid", value.second);
        QTest::addRow("event, callid %s", value.first) << "event" << QJsonValue(line) << QStringList{""};
    }
    QJsonObject noId = good;
    noId.remove("callid");
    QTest::newRow("event without callid") << "event" << QJsonValue(noId) << QStringList{""};
    QTest::newRow("event data an array") << "event" << QJsonValue(QJsonArray{good}) << QStringList{""};
    QTest::newRow("event data a string") << "event" << QJsonValue("callid=1") << QStringList{""};
    QTest::newRow("event without data") << "event" << QJsonValue() << QStringList{""};

    for (const auto &value : {QPair<const char *, QJsonValue>{"an array", QJsonArray{good}}, {"a string", "lines"},
                              {"a number", 3}, {"null", QJsonValue()}, {"true", true}}) {
        QTest::addRow("lines %s", value.first) << "response" << QJsonValue(QJsonObject{{"lines", value.second}})
                                                << QStringList();
    }
    QTest::newRow("lines missing") << "response" << QJsonValue(QJsonObject{}) << QStringList();
    QTest::newRow("response data an array") << "response" << QJsonValue(QJsonArray{good}) << QStringList();
    // A member that is no object is a line with empty values.
    QTest::newRow("lines member an array")
        << "response" << QJsonValue(QJsonObject{{"lines", QJsonObject{{"a", QJsonArray{good}}, {"b", good}}}})
        << QStringList{"", "bad-ok"};
    QTest::newRow("lines member null")
        << "response" << QJsonValue(QJsonObject{{"lines", QJsonObject{{"a", QJsonValue()}}}}) << QStringList{""};
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
    QCOMPARE(log.of(QString()).size() + log.of(QStringLiteral("bad-ok")).size(), opened.size());
    for (int i = 0; i < opened.size(); ++i) {
        QCOMPARE(log.entries.at(i), QStringLiteral("open ") + opened.at(i));
        Line *line = log.lines.at(i); // open, so in the map and alive
        QVERIFY(line);
        if (opened.at(i).isEmpty() && kind == "response") { // a line with empty values
            QCOMPARE(line->remoteNumber(), QString());
            QCOMPARE(line->callState(), CallState::NoState);
            QCOMPARE(line->callDuration(), QTime(0, 0));
        }
    }
    for (const QString &id : opened)
        close(id);
}

void tst_CTIConnectorLines::cleanupTestCase()
{
    // Records released by the connector go once the event loop gets to them.
    QTest::qWait(100);
}

QTEST_GUILESS_MAIN(tst_CTIConnectorLines)
#include "tst_cticonnector_lines.moc"
