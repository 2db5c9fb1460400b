#include "addressbook.h"
#include "addresses.h"
#include "cticonnector.h"
#include "pbxsimulator.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <functional>

using Command = std::function<void(CTIConnector *)>;
Q_DECLARE_METATYPE(Command)

namespace {
const QString syncLine = QStringLiteral("pictureSet sync");

QString json(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// Contacts c<first> to c<first + count - 1>; a limit or offset left undefined is not sent.
QJsonObject page(int first, int count, const QJsonValue &limit, const QJsonValue &offset)
{
    QJsonObject addresses;
    for (int i = first; i < first + count; ++i)
        addresses.insert(QStringLiteral("c%1").arg(i, 5, 10, QLatin1Char('0')), QJsonObject{{"n_family", "Meyer"}});
    QJsonObject data{{"addresses", addresses}};
    if (!limit.isUndefined())
        data.insert("limit", limit);
    if (!offset.isUndefined())
        data.insert("offset", offset);
    return data;
}
}

// Every response here is one the test pushes: the simulator serves no command of a connection
// it has not logged in, yet records it and pushes to it. So the connector's login is refused.
class tst_CTIConnectorAddresses : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void commands_data();
    void commands();
    void pictureUpload();
    void handlers_data();
    void handlers();
    void paging_data();
    void paging();
    void largePages_data();
    void largePages();

private:
    //! Waits until everything pushed so far is handled.
    void syncIncoming();
    //! The "getAddresses" commands the connector sent since the last call.
    QList<QJsonObject> sentPageRequests();

    PbxSimulator sim{QHostAddress(QStringLiteral("127.0.0.40"))};
    CTIConnector *connector = CTIConnector::instance();
    //! What the address signals carried, one line per signal; records are freed as they come.
    QStringList log;
};

void tst_CTIConnectorAddresses::initTestCase()
{
    sim.addAccount(QStringLiteral("anna"), QStringLiteral("secret"));
    QVERIFY2(sim.listen(), qPrintable(sim.errorString()));
    QSignalSpy refused(connector, &CTIConnector::loginFailed);
    connector->login(QStringLiteral("anna"), QStringLiteral("not the password"), QStringLiteral("127.0.0.40"));
    QTRY_COMPARE(refused.count(), 1);

    const auto record = [this](const QString &what) {
        return [this, what](ModelSubclass *record) {
            log << what + record->id() + ' ' + json(QJsonObject::fromVariantMap(record->getValues()));
            delete record;
        };
    };
    const auto text = [this](const QString &what) { return [this, what](const QString &id) { log << what + id; }; };
    connect(connector, &CTIConnector::addressBookAdded, this, record("book "));
    connect(connector, &CTIConnector::addressAdded, this, record("added "));
    connect(connector, &CTIConnector::addressSaved, this, record("saved "));
    connect(connector, &CTIConnector::addressDeleted, this, text("deleted "));
    connect(connector, &CTIConnector::addressPictureSet, this, text("pictureSet "));
    connect(connector, &CTIConnector::addressesLoadingFinished, this, text("finished "));
    connect(connector, &CTIConnector::contactTypesAvailable, this,
            [this](const QStringList &types) { log << "types " + types.join(','); });
    connect(connector, &CTIConnector::addressPictureAvailable, this, [this](const QPixmap &picture, const QString &id) {
        log << "picture " + id + ' '
                + (picture.isNull() ? QStringLiteral("null") : QStringLiteral("%1x%2").arg(picture.width()).arg(picture.height()));
    });
}

void tst_CTIConnectorAddresses::init()
{
    syncIncoming();
    sim.clearReceived();
    log.clear();
}

void tst_CTIConnectorAddresses::syncIncoming()
{
    QCOMPARE(sim.pushResponse(QStringLiteral("setAddressPicture"), {{"id", "sync"}}), 1);
    QTRY_VERIFY_WITH_TIMEOUT(log.contains(syncLine), 60000); // large pages under the sanitizers take a while
    log.removeAll(syncLine);
}

QList<QJsonObject> tst_CTIConnectorAddresses::sentPageRequests()
{
    // A command sent after them arrives after them.
    connector->requestContactTypes();
    [&] { QTRY_COMPARE(sim.receivedCommands(QStringLiteral("getContactTypes")).size(), 1); }();
    const QList<QJsonObject> requests = sim.receivedCommands(QStringLiteral("getAddresses"));
    sim.clearReceived();
    return requests;
}

// An empty name: nothing is sent, and the warning is logged instead.
void tst_CTIConnectorAddresses::commands_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QJsonObject>("data");
    QTest::newRow("address books") << Command([](CTIConnector *c) { c->requestAddressBooks(); }) << "getAddressbooks"
                                   << QJsonObject();
    QTest::newRow("first page") << Command([](CTIConnector *c) { c->requestAddresses("7"); }) << "getAddresses"
                                << QJsonObject{{"bookid", "7"}, {"limit", 10000}, {"offset", 0}};
    QTest::newRow("delete") << Command([](CTIConnector *c) { c->deleteAddress("42"); }) << "deleteAddress"
                            << QJsonObject{{"id", "42"}};
    QTest::newRow("picture, empty id") << Command([](CTIConnector *c) { c->requestAddressPicture(QString()); })
                                       << "getAddressPicture" << QJsonObject{{"id", ""}};
    // Every value goes as text; a key read while absent goes along empty.
    QTest::newRow("save a stored contact") << Command([](CTIConnector *c) {
        Addresses address;
        address.setId("42");
        address.buildFromVariantMap({{"n_given", "Anna"}, {"contact_tid", 7.0}, {"contact_bday", QDate(1975, 4, 2)}});
        address.getLastname();
        c->saveAddress(&address);
    }) << "saveAddress"
       << QJsonObject{{"id", "42"},
                      {"address", QJsonObject{{"n_given", "Anna"}, {"n_family", ""}, {"contact_tid", "7"},
                                              {"contact_bday", "1975-04-02"}}}};
    QTest::newRow("page of no book") << Command([](CTIConnector *c) { c->requestAddresses(QString()); }) << ""
                                     << QJsonObject{{"warning", "requestAddresses\\(const QString ?&\\) no bookid given!$"}};
    QTest::newRow("save of no record") << Command([](CTIConnector *c) { c->saveAddress(nullptr); }) << ""
                                       << QJsonObject{{"warning", "saveAddress\\(Addresses ?\\*\\) no address given!$"}};
}

void tst_CTIConnectorAddresses::commands()
{
    QFETCH(Command, command);
    QFETCH(QString, name);
    QFETCH(QJsonObject, data);
    if (name.isEmpty()) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(data.value("warning").toString()));
        command(connector);
        QVERIFY(sentPageRequests().isEmpty());
        QCOMPARE(sim.receivedCommands().size(), 0);
        return;
    }
    command(connector);
    QTRY_COMPARE(sim.receivedCommands().size(), 1);
    const QJsonObject received = sim.receivedCommands().first();
    QCOMPARE(received.value("type").toString(), QStringLiteral("command"));
    QCOMPARE(received.value("name").toString(), name);
    QCOMPARE(json(received.value("data").toObject()), json(data));
}

// Each size covers its square box without cropping, sent as PNG in Base64.
void tst_CTIConnectorAddresses::pictureUpload()
{
    QImage image(1000, 500, QImage::Format_RGB32);
    image.fill(QColor(10, 120, 230));
    connector->saveAddressPicture(QStringLiteral("42"), image);
    QTRY_COMPARE(sim.receivedCommands(QStringLiteral("setAddressPicture")).size(), 1);
    const QJsonObject data = sim.receivedCommands().first().value("data").toObject();
    QCOMPARE(data.keys(), (QStringList{"id", "image_40", "image_460", "image_80"}));
    QCOMPARE(data.value("id").toString(), QStringLiteral("42"));
    const QMap<QString, QSize> sizes{{"image_460", {920, 460}}, {"image_80", {160, 80}}, {"image_40", {80, 40}}};
    for (auto it = sizes.cbegin(); it != sizes.cend(); ++it) {
        const auto decoded = QByteArray::fromBase64Encoding(data.value(it.key()).toString().toLatin1(),
                                                            QByteArray::AbortOnBase64DecodingErrors);
        QVERIFY(decoded && decoded.decoded.startsWith("\x89PNG\r\n\x1a\n"));
        const QImage picture = QImage::fromData(decoded.decoded, "PNG");
        QCOMPARE(picture.size(), it.value());
        QCOMPARE(picture.pixelColor(picture.width() / 2, picture.height() / 2), QColor(10, 120, 230));
    }
}

void tst_CTIConnectorAddresses::handlers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    const auto response = [](const char *name, const char *data) {
        return QStringLiteral(R"({"type":"response","name":"%1","data":%2})").arg(QLatin1String(name), QLatin1String(data));
    };
    const auto event = [](const char *name, const char *data) {
        return QStringLiteral(R"({"type":"event","name":"%1","data":%2})").arg(QLatin1String(name), QLatin1String(data));
    };
    QTest::newRow("books in name order")
        << response("getAddressbooks", R"({"books":{"b2":{"title":"Private","type":1,"perm":"r"},"a1":{"title":"Company"}}})")
        << QStringList{R"(book a1 {"title":"Company"})", R"(book b2 {"perm":"r","title":"Private","type":1})"};
    QTest::newRow("contacts in name order, member name is the id")
        << response("getAddresses", R"({"addresses":{"b2":{"n_given":"Bea"},"a1":{"n_given":"Al","id":"x9"}},"limit":10000,"offset":0})")
        << QStringList{R"(added a1 {"id":"x9","n_given":"Al"})", R"(added b2 {"n_given":"Bea"})"};
    // Each contact starts from a copy of the one before: its values must land under its own names.
    QTest::newRow("neighbours with other field names")
        << response("getAddresses", R"({"addresses":{
               "a1":{"email":"anna@example.com","n_family":"Meyer"},
               "a2":{"fax":"0711 1","n_given":"Bea"},
               "a3":{"fax":"0711 2","n_given":"Bea","tel_work":"0711 3"},
               "a4":{"fax":"0711 2","tel_work":"0711 3"},
               "a5":{"fax":"0711 2"},
               "a6":{"fax":7,"tel_work":null},
               "a7":{"fax":"0711 2","tel_work":"x"}}})")
        << QStringList{R"(added a1 {"email":"anna@example.com","n_family":"Meyer"})",
                       R"(added a2 {"fax":"0711 1","n_given":"Bea"})",
                       R"(added a3 {"fax":"0711 2","n_given":"Bea","tel_work":"0711 3"})",
                       R"(added a4 {"fax":"0711 2","tel_work":"0711 3"})", R"(added a5 {"fax":"0711 2"})",
                       R"(added a6 {"fax":7,"tel_work":null})", R"(added a7 {"fax":"0711 2","tel_work":"x"})"};
    QTest::newRow("neighbours with the same field names")
        << response("getAddresses", R"({"addresses":{"a1":{"n_given":"Anna","org":"X"},"a2":{"n_given":"Bea","org":"X"}}})")
        << QStringList{R"(added a1 {"n_given":"Anna","org":"X"})", R"(added a2 {"n_given":"Bea","org":"X"})"};
    // Parsed from UTF-8, a name beyond U+FFFF sorts after U+FF01; as QStrings it sorts before.
    QTest::newRow("names beyond U+FFFF")
        << QString::fromUtf8(u8"{\"type\":\"response\",\"name\":\"getAddresses\",\"data\":{\"addresses\":{"
                             u8"\"a1\":{\"\uFF01\":\"1\",\"\U0001F600\":\"2\"},\"a2\":{\"\uFF01\":\"3\",\"\U0001F600\":\"4\"}}}}")
        << QStringList{QString::fromUtf8(u8"added a1 {\"\U0001F600\":\"2\",\"\uFF01\":\"1\"}"),
                       QString::fromUtf8(u8"added a2 {\"\U0001F600\":\"4\",\"\uFF01\":\"3\"}")};
    QTest::newRow("contact values keep their types")
        << event("addressChanged", R"({"id":"1","address":{"a":5,"b":true,"c":null,"d":{"e":null,"f":[1,"x"]},"g":"t"}})")
        << QStringList{R"(added 1 {"a":5,"b":true,"c":null,"d":{"e":null,"f":[1,"x"]},"g":"t"})"};
    QTest::newRow("saved contact without the big picture")
        << response("saveAddress", R"({"id":"42","address":{"n_given":"Anna","image_460":"AAAA","image_80":"BB"}})")
        << QStringList{R"(saved 42 {"image_80":"BB","n_given":"Anna"})"};
    QTest::newRow("deleted") << response("deleteAddress", R"({"id":"42"})") << QStringList{"deleted 42"};
    QTest::newRow("picture set") << response("setAddressPicture", R"({"id":"42"})") << QStringList{"pictureSet 42"};
    QTest::newRow("picture") << response("getAddressPicture", R"({"id":"42","data":"%PNG%"})") << QStringList{"picture 42 4x2"};
    QTest::newRow("contact types") << response("getContactTypes", R"({"ContactTypes":["Kunde","Lieferant"]})")
                                   << QStringList{"types Kunde,Lieferant"};
    QTest::newRow("event deleted") << event("addressDeleted", R"({"id":"42"})") << QStringList{"deleted 42"};
    QTest::newRow("event types") << event("contactTypesChanged", R"({"ContactTypes":["Kunde"]})") << QStringList{"types Kunde"};

    // Bad input degrades to empty values.
    QTest::newRow("books: an array") << response("getAddressbooks", R"({"books":[{"title":"x"}]})") << QStringList();
    QTest::newRow("book: an array") << response("getAddressbooks", R"({"books":{"a1":[1,2]}})") << QStringList{"book a1 {}"};
    QTest::newRow("data: an array") << R"({"type":"response","name":"getAddresses","data":[1,2]})" << QStringList();
    QTest::newRow("addresses: an array")
        << response("getAddresses", R"({"addresses":[{"n_given":"x"}],"bookid":"7","limit":10000})") << QStringList{"finished 7"};
    QTest::newRow("contact: text or array") << response("getAddresses", R"({"addresses":{"a1":"x","b2":[1]}})")
                                            << QStringList{"added a1 {}", "added b2 {}"};
    QTest::newRow("bookid: an object") << response("getAddresses", R"({"addresses":{"a1":{}},"bookid":{"x":1},"limit":1})")
                                       << QStringList{"added a1 {}"};
    QTest::newRow("limit: an object") << response("getAddresses", R"({"addresses":{"a1":{}},"bookid":"7","limit":{"n":1}})")
                                      << QStringList{"added a1 {}", "finished 7"};
    QTest::newRow("save: address an array, id a number") << response("saveAddress", R"({"id":42,"address":[1]})")
                                                         << QStringList{"saved 42 {}"};
    QTest::newRow("save: nothing") << response("saveAddress", "{}") << QStringList{"saved  {}"};
    QTest::newRow("delete: empty id") << response("deleteAddress", R"({"id":""})") << QStringList();
    QTest::newRow("picture: not an image") << response("getAddressPicture", R"({"id":"42","data":"bm90IGFuIGltYWdl"})")
                                           << QStringList{"picture 42 null"};
    // Decodes fine, but to more pixels than any contact picture has.
    QTest::newRow("picture: beyond the pixel limit")
        << response("getAddressPicture", R"({"id":"42","data":"%HUGEPNG%"})") << QStringList{"picture 42 null"};
    QTest::newRow("picture: data an array, id an object")
        << response("getAddressPicture", R"({"id":{},"data":["%PNG%"]})") << QStringList{"picture  null"};
    QTest::newRow("types: mixed list") << response("getContactTypes", R"({"ContactTypes":[1,"a",null,{"x":1},["b"]]})")
                                       << QStringList{"types a"};
    QTest::newRow("event types: missing") << event("contactTypesChanged", "{}") << QStringList{"types "};
    QTest::newRow("event added: address an array")
        << event("addressAdded", R"({"id":"42","address":[{"n_given":"A"}]})") << QStringList{"added 42 {}"};
}

void tst_CTIConnectorAddresses::handlers()
{
    QFETCH(QString, text);
    QImage image(4, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(image.save(&buffer, "PNG"));
    text.replace(QStringLiteral("%PNG%"), QString::fromLatin1(png.toBase64()));
    if (text.contains(QStringLiteral("%HUGEPNG%"))) {
        // 6,000 x 6,000 at one bit a pixel: 4.5 MB here, a few kilobytes as PNG, 144 MB as a pixmap.
        QImage huge(6000, 6000, QImage::Format_Mono);
        huge.fill(0);
        QByteArray hugePng;
        QBuffer hugeBuffer(&hugePng);
        hugeBuffer.open(QIODevice::WriteOnly);
        QVERIFY(huge.save(&hugeBuffer, "PNG"));
        QVERIFY(hugePng.size() < 200 * 1024);
        text.replace(QStringLiteral("%HUGEPNG%"), QString::fromLatin1(hugePng.toBase64()));
    }
    QCOMPARE(sim.pushText(text), 1);
    syncIncoming();
    QTEST(log, "expected");
}

// The pages of one book pushed in turn; "requests" lists the page requests that follow, as limit/offset.
void tst_CTIConnectorAddresses::paging_data()
{
    QTest::addColumn<QList<QJsonObject>>("pages");
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<bool>("finished");
    const QJsonValue none(QJsonValue::Undefined);
    QTest::newRow("10000-member pages") << QList<QJsonObject>{page(0, 10000, 10000, 0), page(10000, 10000, 10000, 10001),
                                                              page(20000, 5000, 10000, 20002)}
                                        << QStringList{"10000/10001", "10000/20002"} << true;
    QTest::newRow("full page") << QList<QJsonObject>{page(0, 2, 2, 0)} << QStringList{"2/3"} << false;
    QTest::newRow("empty page") << QList<QJsonObject>{page(0, 0, 10000, 0)} << QStringList() << true;
    QTest::newRow("empty page without limit") << QList<QJsonObject>{page(0, 0, none, none)} << QStringList() << true;
    QTest::newRow("limit and offset as digits") << QList<QJsonObject>{page(0, 2, "2", "0")} << QStringList{"2/3"} << false;
    QTest::newRow("no limit or offset echoed: those asked for")
        << QList<QJsonObject>{page(0, 2, 2, 0), page(3, 2, none, QJsonValue::Null)} << QStringList{"2/3", "2/6"} << false;
    QTest::newRow("offset that does not move on")
        << QList<QJsonObject>{page(0, 2, 2, 0), page(3, 2, 2, 0)} << QStringList{"2/3"} << true;
    QTest::newRow("offset at the end of int") << QList<QJsonObject>{page(0, 2, 2, 2147483646)} << QStringList() << true;
    QTest::newRow("negative offset") << QList<QJsonObject>{page(0, 2, 2, -5)} << QStringList() << true;
}

void tst_CTIConnectorAddresses::paging()
{
    QFETCH(QList<QJsonObject>, pages);
    QFETCH(QStringList, requests);
    QFETCH(bool, finished);
    // A book of its own per row: an unfinished row leaves its book loading.
    const QString bookId = QString::fromLatin1(QTest::currentDataTag());
    int members = 0;
    for (QJsonObject data : pages) {
        members += data.value("addresses").toObject().size();
        data.insert("bookid", bookId);
        QCOMPARE(sim.pushResponse(QStringLiteral("getAddresses"), data), 1);
    }
    syncIncoming();
    QStringList sent;
    for (const QJsonObject &request : sentPageRequests()) {
        const QJsonObject data = request.value("data").toObject();
        QCOMPARE(data.keys(), (QStringList{"bookid", "limit", "offset"}));
        QCOMPARE(data.value("bookid").toString(), bookId);
        sent << QStringLiteral("%1/%2").arg(data.value("limit").toInt()).arg(data.value("offset").toInt());
    }
    QCOMPARE(sent, requests);
    const QStringList added = log.filter(QRegularExpression("^added "));
    QCOMPARE(added.size(), members);
    QVERIFY(std::is_sorted(added.cbegin(), added.cend()));
    QCOMPARE(log.size() - added.size(), finished ? 1 : 0);
    if (finished)
        QCOMPARE(log.last(), "finished " + bookId);
}

// Pages beyond a few kilobytes are parsed and prepared off the main thread and handed out over
// several passes of the event loop; what the server sends after a page is handled after it.
void tst_CTIConnectorAddresses::largePages_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("receiverMs"); // what each contact costs its receiver
    QTest::addColumn<bool>("sliced");
    QTest::newRow("small: at once") << 20 << 0 << false;
    QTest::newRow("small, slow receivers: in slices") << 60 << 1 << true;
    QTest::newRow("large: off the main thread, in slices") << 6000 << 0 << true;
}

void tst_CTIConnectorAddresses::largePages()
{
    QFETCH(int, count);
    QFETCH(int, receiverMs);
    QFETCH(bool, sliced);
    // Neighbours alike, with other field names, more and fewer fields, and names beyond U+FFFF.
    QJsonObject addresses;
    QMap<QString, QString> expected;
    for (int i = 0; i < count; ++i) {
        QJsonObject contact{{"n_given", QStringLiteral("Given %1").arg(i % 7)}, {"org_name", "Same GmbH"}};
        if (i % 5 == 1)
            contact.insert("tel_work", QStringLiteral("0711 %1").arg(i));
        if (i % 11 == 3)
            contact = QJsonObject{{"contact_email", "x@example.com"}, {"tel_fax", i}};
        if (i % 13 == 4)
            contact.insert(QString::fromUtf8(u8"\U0001F600"), "smile");
        const QString id = QStringLiteral("p%1").arg(i, 6, 10, QLatin1Char('0'));
        addresses.insert(id, contact);
        expected.insert(id, json(contact));
    }
    QCOMPARE(sim.pushResponse(QStringLiteral("getAddresses"), {{"addresses", addresses}, {"bookid", "big"}, {"limit", 10000}}),
             1);
    // Sent right behind the page: a change of one of its contacts must land after it.
    QCOMPARE(sim.pushEvent(QStringLiteral("addressChanged"), {{"id", "p000002"}, {"address", QJsonObject{{"n_given", "Changed"}}}}),
             1);

    int passes = 0;
    QTimer pass;
    connect(&pass, &QTimer::timeout, this, [&passes] { ++passes; });
    pass.start(0);
    QList<int> passAt;
    QObject context;
    connect(connector, &CTIConnector::addressAdded, &context, [&](Addresses *) {
        passAt << passes;
        QElapsedTimer busy;
        busy.start();
        while (busy.elapsed() < receiverMs) {
        }
    });
    syncIncoming();

    const QStringList added = log.filter(QRegularExpression("^added "));
    QCOMPARE(added.size(), count + 1);
    for (int i = 0; i < count; ++i) {
        const QString id = added.at(i).section(' ', 1, 1);
        QCOMPARE(added.at(i).section(' ', 2), expected.value(id));
    }
    QCOMPARE(log.mid(log.size() - 2),
             (QStringList{"finished big", R"(added p000002 {"n_given":"Changed"})"}));
    // A large page leaves the event loop passes between its contacts (the change behind it may
    // come in a later pass in any case).
    QCOMPARE(passAt.first() < passAt.at(count - 1), sliced);
}

QTEST_MAIN(tst_CTIConnectorAddresses)
#include "tst_cticonnector_addresses.moc"
