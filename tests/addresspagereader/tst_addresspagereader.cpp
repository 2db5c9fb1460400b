#include "addresspagereader.h"
#include "ctimessage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

// The reader is a fast path beside the general one (a JSON document, then its values): what it
// reads must be exactly what the general path gives, and what the general path would refuse it
// must decline.
class tst_AddressPageReader : public QObject
{
    Q_OBJECT

private slots:
    void readsAsTheGeneralPathDoes_data();
    void readsAsTheGeneralPathDoes();
    void aContactSharesTheKeysOfTheOneBefore();
};

namespace {
using Contacts = QList<QPair<QString, QVariantMap>>;

QString intern(const QString &key)
{
    return key;
}

QString page(const QString &addresses, const QString &rest = QStringLiteral(R"("bookid":"b1","limit":2,"offset":0)"))
{
    return QStringLiteral(R"({"data":{"addresses":%1,%2},"name":"getAddresses","type":"response","uuid":"u1"})")
        .arg(addresses, rest);
}

//! The general path: the parsed document, its contacts in the order it holds them. False if the
//! text is no JSON document; isPage tells whether it is an answer with contacts.
bool generalPath(const QString &text, QJsonObject &paging, Contacts &contacts, bool &isPage)
{
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(text.toUtf8(), &error).object();
    isPage = root.value("type").toString() == QLatin1String("response")
        && root.value("name").toString() == QLatin1String("getAddresses");
    if (error.error != QJsonParseError::NoError)
        return false;
    const QJsonObject data = root.value("data").toObject();
    for (const char *key : {"bookid", "limit", "offset"}) {
        if (data.contains(QLatin1String(key)))
            paging.insert(QLatin1String(key), data.value(QLatin1String(key)));
    }
    const QJsonObject addresses = data.value("addresses").toObject();
    for (auto it = addresses.begin(); it != addresses.end(); ++it) {
        QVariantMap values;
        const QJsonObject contact = it.value().toObject();
        for (auto member = contact.begin(); member != contact.end(); ++member)
            values.insert(member.key(), CTIMessage::variantFromJson(member.value()));
        contacts.append({it.key(), values});
    }
    return true;
}
} // namespace

void tst_AddressPageReader::readsAsTheGeneralPathDoes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("read");
    // Not JSON at all: the reader must decline it wherever the fault is.
    QTest::addColumn<bool>("refused");

    const QString two = QStringLiteral(
        R"({"a1":{"book":"b1","id":"a1","n_family":"Muster","n_given":"Erika","tel_work":"+49 711 1"},)"
        R"("a2":{"book":"b1","id":"a2","n_family":"Meier","n_given":"Max","tel_work":"+49 711 2"}})");
    QTest::newRow("usual page") << page(two) << true << false;
    QTest::newRow("pretty printed") << QString::fromUtf8(QJsonDocument::fromJson(page(two).toUtf8()).toJson(QJsonDocument::Indented))
                                   << true << false;
    QString spaced = page(two);
    for (const QString &mark : {QStringLiteral("{"), QStringLiteral("}"), QStringLiteral(":"), QStringLiteral(",")})
        spaced.replace(mark, QStringLiteral(" \t%1\r\n ").arg(mark));
    QTest::newRow("space around every mark") << spaced << true << false;
    QTest::newRow("empty page, spaced") << page(QStringLiteral(" { } ")) << true << false;
    QTest::newRow("empty contact, spaced") << page(QStringLiteral(R"({"a": { } })")) << true << false;
    QTest::newRow("ids and keys out of order")
        << page(R"({"b":{"z":"1","a":"2","m":"3"},"a":{"m":"x","a":"y"},"c":{}})") << true << false;
    QTest::newRow("envelope in another order")
        << QStringLiteral(R"({"type":"response","uuid":"u","data":{"offset":5,"addresses":{"x":{"k":"v"}},"bookid":"b"},"name":"getAddresses"})")
        << true << false;
    QTest::newRow("no paging members") << page(two, QStringLiteral(R"("other":[1,{"a":null}])")) << true << false;
    QTest::newRow("empty page") << page("{}") << true << false;
    QTest::newRow("umlauts, emoji, CJK")
        << page(QString::fromUtf8(R"({"a":{"n":"Jürgen Weiß","e":"😀 ok","c":"東京","s":"ſ K"}})")) << true << false;
    QTest::newRow("escapes") << page(R"({"a":{"q":"say \"hi\"","b":"back\\slash","s":"a\/b","c":"\b\f\n\r\t","u":"\u00e4\u20AC","p":"\ud83d\ude00","l":"\ud800 lone","x":"\q unknown","z":"\u0000"}})")
                             << true << false;
    QTest::newRow("numbers, literals, nested")
        << page(R"({"a":{"i":42,"n":-1.5e3,"big":12345678901234567890,"t":true,"f":false,"z":null,"o":{"k":[1,"2",{"d":null}]},"e":[],"m":{}}})")
        << true << false;
    QTest::newRow("values shared with the contact before")
        << page(R"({"a":{"k":"same","v":"1"},"b":{"k":"same","v":"2"},"c":{"k":"same","w":"2"},"d":{"k":1,"w":"2"}})")
        << true << false;
    QTest::newRow("paging as strings and null") << page(two, QStringLiteral(R"("bookid":null,"limit":"2","offset":0.0)"))
                                                << true << false;

    // Declined: the general path handles them as before.
    QTest::newRow("id twice") << page(R"({"a":{"k":"1"},"a":{"k":"2"}})") << false << false;
    QTest::newRow("key twice") << page(R"({"a":{"k":"1","k":"2"}})") << false << false;
    QTest::newRow("key twice, out of order") << page(R"({"a":{"k":"1","b":"0","k":"2"}})") << false << false;
    QTest::newRow("id beyond ASCII") << page(QString::fromUtf8(R"({"ä":{"k":"1"}})")) << false << false;
    QTest::newRow("escaped key") << page(R"({"a":{"\u006b":"1"}})") << false << false;
    QTest::newRow("contact not an object") << page(R"({"a":"text"})") << false << false;
    QTest::newRow("addresses not an object") << page(R"(["a"])") << false << false;
    QTest::newRow("no addresses") << QStringLiteral(R"({"data":{"bookid":"b"},"name":"getAddresses","type":"response"})")
                                  << false << false;
    QTest::newRow("data twice") << QStringLiteral(R"({"data":{"addresses":{}},"data":{"addresses":{"a":{}}},"name":"getAddresses","type":"response"})")
                                << false << false;
    QTest::newRow("an event") << QStringLiteral(R"({"data":{"addresses":{}},"name":"getAddresses","type":"event"})")
                              << false << false;
    QTest::newRow("another answer") << QStringLiteral(R"({"data":{"addresses":{}},"name":"getAddressbooks","type":"response"})")
                                    << false << false;
    QTest::newRow("lone surrogate in a value") << page(QStringLiteral(R"({"a":{"k":"x%1y"}})").arg(QChar(0xd800))) << false << false;
    QTest::newRow("noncharacter in a value") << page(QStringLiteral(R"({"a":{"k":"x%1y"}})").arg(QChar(0xfffe))) << false << false;
    QTest::newRow("deep nesting") << page(QStringLiteral(R"({"a":{"k":%1%2}})").arg(QString(300, '['), QString(300, ']')))
                                  << false << false;
    QTest::newRow("byte order mark") << QChar(0xfeff) + page(two) << false << false;

    // Refused by the general path, wherever the fault is.
    QTest::newRow("truncated") << page(two).chopped(3) << false << true;
    QTest::newRow("garbage after it") << page(two) + QStringLiteral(" x") << false << true;
    QTest::newRow("bad literal in a skipped member") << page(two, QStringLiteral(R"("other":tru)")) << false << true;
    QTest::newRow("bad number in a skipped member") << page(two, QStringLiteral(R"("other":1.2.3)")) << false << true;
    QTest::newRow("trailing comma in a skipped array") << page(two, QStringLiteral(R"("other":[1,])")) << false << true;
    QTest::newRow("missing colon in a skipped object") << page(two, QStringLiteral(R"("other":{"a" 1})")) << false << true;
    QTest::newRow("trailing comma in a contact") << page(R"({"a":{"k":"1",}})") << false << true;
    QTest::newRow("short unicode escape") << page(R"({"a":{"k":"\u12"}})") << false << true;
    QTest::newRow("escape before a non-ASCII character") << page(QString::fromUtf8(R"({"a":{"k":"\ä"}})")) << false << true;
    QTest::newRow("bad number in a contact") << page(R"({"a":{"k":01x}})") << false << true;
    QTest::newRow("unterminated string") << QStringLiteral(R"({"data":{"addresses":{"a":{"k":"1)") << false << true;
}

void tst_AddressPageReader::readsAsTheGeneralPathDoes()
{
    QFETCH(QString, text);
    QFETCH(bool, read);
    QFETCH(bool, refused);

    QJsonObject expectedPaging;
    Contacts expected;
    bool isPage = false;
    QCOMPARE(generalPath(text, expectedPaging, expected, isPage), !refused);

    AddressPageReader reader(intern);
    QCOMPARE(reader.read(text), read);
    if (!read) {
        QVERIFY(reader.contacts().isEmpty());
        QVERIFY(reader.paging().isEmpty());
        return;
    }
    QVERIFY(isPage);
    QCOMPARE(reader.paging(), expectedPaging);
    Contacts contacts;
    for (const AddressPageReader::Contact &contact : qAsConst(reader.contacts())) {
        QCOMPARE(contact.values.size(), contact.keys.size());
        QVariantMap values;
        for (int i = 0; i < contact.keys.size(); ++i) {
            values.insert(contact.keys.at(i), contact.values.at(i));
            // Same type too: a number stays a double, a null an invalid variant.
            QCOMPARE(contact.values.at(i).userType(), expected.value(contacts.size()).second.value(contact.keys.at(i)).userType());
        }
        contacts.append({contact.id, values});
    }
    QCOMPARE(contacts, expected);
}

void tst_AddressPageReader::aContactSharesTheKeysOfTheOneBefore()
{
    // Keys are interned once per new key list, not once per contact.
    static int interned = 0;
    const auto counting = [](const QString &key) {
        ++interned;
        return key;
    };
    interned = 0;
    AddressPageReader reader(counting);
    QVERIFY(reader.read(page(R"({"a":{"k":"1","v":"x"},"b":{"k":"2","v":"y"},"c":{"k":"3","w":"z"},"d":{"k":"4","w":"z"}})")));
    QCOMPARE(interned, 4);
    const QVector<AddressPageReader::Contact> &contacts = reader.contacts();
    // An equal string under the same key is the one the contact before holds.
    QCOMPARE(contacts.at(3).values.at(1).toString().constData(), contacts.at(2).values.at(1).toString().constData());
    QVERIFY(contacts.at(1).values.at(1).toString().constData() != contacts.at(0).values.at(1).toString().constData());
}

QTEST_GUILESS_MAIN(tst_AddressPageReader)
#include "tst_addresspagereader.moc"
