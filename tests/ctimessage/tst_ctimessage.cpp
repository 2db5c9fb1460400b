#include "ctimessage.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QtTest>

class tst_CTIMessage : public QObject
{
    Q_OBJECT

private slots:
    void uuidIsStableAndUnique();
    void dataValues_data();
    void dataValues();
    void parse_data();
    void parse();
    void readValues_data();
    void readValues();
    void receivedMessageGetsFreshUuid();
    void typeText_data();
    void typeText();
};

void tst_CTIMessage::uuidIsStableAndUnique()
{
    CTIMessage first = CTIMessage::generateCommand(QStringLiteral("x"));
    QCOMPARE(first.toJSON(), first.toJSON());
    CTIMessage second = CTIMessage::generateCommand(QStringLiteral("x"));
    QVERIFY(first.uuid() != second.uuid());

    CTIMessage response = first.generateResponse();
    QCOMPARE(int(response.type()), int(CTIMessageType::response));
    QCOMPARE(response.name(), QStringLiteral("x"));
    QCOMPARE(response.uuid(), first.uuid());
    QVERIFY(response.getDataMap().isEmpty());
}

void tst_CTIMessage::dataValues_data()
{
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("kind");
    QTest::newRow("bytes base64") << QByteArray(R"("v":"AP9h")") << 0;
    QTest::newRow("empty bytes") << QByteArray(R"("v":"")") << 1;
    QTest::newRow("map values as strings") << QByteArray(R"("v":{"b":"true","n":"5","s":"x"})") << 2;
    QTest::newRow("null char pointer") << QByteArray(R"("v":"")") << 3;
    QTest::newRow("utf-8 text") << QByteArray("\"v\":\"M\xc3\xbcller\"") << 4;
    QTest::newRow("json value unchanged") << QByteArray(R"("v":[1,"a"])") << 5;
}

void tst_CTIMessage::dataValues()
{
    QFETCH(QByteArray, expected);
    QFETCH(int, kind);
    CTIMessage message = CTIMessage::generateCommand(QStringLiteral("c"));
    const QString key = QStringLiteral("v");
    switch (kind) {
    case 0: message.setValueForKey(key, QByteArray("\x00\xff\x61", 3)); break;
    case 1: message.setValueForKey(key, QByteArray()); break;
    case 2: message.setValueForKey(key, QVariantMap{{"n", 5}, {"b", true}, {"s", "x"}}); break;
    case 3: message.setValueForKey(key, static_cast<const char *>(nullptr)); break;
    case 4: message.setValueForKey(key, QString::fromUtf8("M\xc3\xbcller")); break;
    case 5: message.setValueForKey(key, QJsonValue(QJsonArray{1, QStringLiteral("a")})); break;
    }
    const QByteArray json = message.toJSON();
    const QByteArray prefix = QByteArray("{\"data\":{") + expected + "}";
    QVERIFY2(json.startsWith(prefix), json.constData());
}

void tst_CTIMessage::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("dataSize");
    QTest::newRow("event") << QByteArray(R"({"type":"event","name":"x","uuid":"u","data":{"a":1}})") << 3 << "x" << 1;
    QTest::newRow("not json") << QByteArray("garbage{") << 0 << "" << 0;
    QTest::newRow("top-level array") << QByteArray(R"([{"type":"event"}])") << 0 << "" << 0;
    QTest::newRow("capitalised type") << QByteArray(R"({"type":"Event","name":"x"})") << 0 << "x" << 0;
    QTest::newRow("data is array") << QByteArray(R"({"type":"response","name":"login","data":[1]})") << 2 << "login" << 0;
    QTest::newRow("type is number") << QByteArray(R"({"type":3,"name":"x","data":{}})") << 0 << "x" << 0;
    QTest::newRow("name is object") << QByteArray(R"({"type":"event","name":{},"data":{"a":1}})") << 3 << "" << 1;
    QTest::newRow("data is null") << QByteArray(R"({"type":"event","name":"x","data":null})") << 3 << "x" << 0;
    QTest::newRow("data after message") << QByteArray(R"({"type":"event","name":"x"}garbage)") << 0 << "" << 0;
    QTest::newRow("repeated key") << QByteArray(R"({"type":"event","name":"x","data":{"a":[1],"a":2}})") << 3 << "x" << 1;
    QTest::newRow("deep nesting") << (QByteArray(10000, '[') + QByteArray(10000, ']')) << 0 << "" << 0;
    QByteArray deepObject = R"({"type":"event","name":"x","data":{"d":)";
    for (int i = 0; i < 10000; ++i)
        deepObject += "{\"a\":";
    deepObject += QByteArray("1") + QByteArray(10000, '}') + QByteArray("}}");
    QTest::newRow("deep object in data") << deepObject << 0 << "" << 0;
}

void tst_CTIMessage::parse()
{
    QFETCH(QByteArray, text);
    QFETCH(int, type);
    QFETCH(QString, name);
    QFETCH(int, dataSize);
    CTIMessage message = CTIMessage::fromJSON(text);
    QCOMPARE(int(message.type()), type);
    QCOMPARE(message.name(), name);
    QCOMPARE(message.getDataMap().size(), dataSize);
}

void tst_CTIMessage::readValues_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<int>("asInt");
    QTest::newRow("string") << QByteArray(R"({"v":"200"})") << QVariant(QStringLiteral("200")) << 200;
    QTest::newRow("number is double") << QByteArray(R"({"v":200})") << QVariant(200.0) << 200;
    QTest::newRow("bool") << QByteArray(R"({"v":true})") << QVariant(true) << 1;
    QTest::newRow("null is invalid") << QByteArray(R"({"v":null})") << QVariant() << 0;
    QTest::newRow("missing is invalid") << QByteArray(R"({})") << QVariant() << 0;
    QTest::newRow("object") << QByteArray(R"({"v":{"k":"x"}})") << QVariant(QVariantMap{{"k", "x"}}) << 0;
    QTest::newRow("nested null invalid") << QByteArray(R"({"v":{"k":null}})") << QVariant(QVariantMap{{"k", QVariant()}}) << 0;
    QTest::newRow("array") << QByteArray(R"({"v":[1,"a"]})") << QVariant(QVariantList{1.0, "a"}) << 0;
}

void tst_CTIMessage::readValues()
{
    QFETCH(QByteArray, data);
    QFETCH(QVariant, expected);
    QFETCH(int, asInt);
    const QByteArray text = QByteArray(R"({"type":"response","name":"n","data":)") + data + "}";
    CTIMessage message = CTIMessage::fromJSON(text);
    const QVariant value = message.valueForKey(QStringLiteral("v"));
    QCOMPARE(value.isValid(), expected.isValid());
    QCOMPARE(value.userType(), expected.userType());
    QCOMPARE(value, expected);
    QCOMPARE(value.toInt(), asInt);
}

void tst_CTIMessage::receivedMessageGetsFreshUuid()
{
    const QByteArray text = R"({"type":"response","name":"login","uuid":"11111111-1111-4111-8111-111111111111","data":{}})";
    CTIMessage message = CTIMessage::fromJSON(text);
    const QString uuid = message.uuid();
    QVERIFY(uuid != QStringLiteral("11111111-1111-4111-8111-111111111111"));
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}$")).match(uuid).hasMatch());
    QCOMPARE(message.generateResponse().uuid(), uuid);
}

void tst_CTIMessage::typeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("written");
    QTest::newRow("command") << "command" << 1 << "command";
    QTest::newRow("response") << "response" << 2 << "response";
    QTest::newRow("event") << "event" << 3 << "event";
    QTest::newRow("padded") << " event" << 0 << "?";
    QTest::newRow("empty") << "" << 0 << "?";
}

void tst_CTIMessage::typeText()
{
    QFETCH(QString, text);
    QFETCH(int, type);
    QFETCH(QString, written);
    QCOMPARE(int(CTIMessageType::fromString(text)), type);
    QCOMPARE(CTIMessageType::toString(CTIMessageType::fromString(text)), written);
}

QTEST_GUILESS_MAIN(tst_CTIMessage)
#include "tst_ctimessage.moc"
