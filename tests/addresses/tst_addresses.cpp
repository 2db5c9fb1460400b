#include "addressbook.h"
#include "addresses.h"

#include <QtTest>

class tst_Addresses : public QObject
{
    Q_OBJECT

private slots:
    void formatting_data();
    void formatting();
    void bookAttributes_data();
    void bookAttributes();
};

void tst_Addresses::formatting_data()
{
    QTest::addColumn<QVariantMap>("values");
    QTest::addColumn<QString>("person");
    QTest::addColumn<QString>("full");
    QTest::addColumn<QDate>("birthday");
    const QString first = AddressKeys::firstName, last = AddressKeys::lastName, company = AddressKeys::companyName;
    const QString bday = AddressKeys::birthday;
    QTest::newRow("last, first; birthday as written")
        << QVariantMap{{last, "Meyer"}, {first, "Anna"}, {bday, "1975-04-02 00:00"}} << "Meyer, Anna"
        << "Meyer, Anna" << QDate(1975, 4, 2);
    QTest::newRow("company only; date alone") << QVariantMap{{company, "Example Ltd"}, {bday, "1975-04-02"}} << ""
                                              << "Example Ltd" << QDate(1975, 4, 2);
    QTest::newRow("first and company; other date order")
        << QVariantMap{{first, "Anna"}, {company, "Example Ltd"}, {bday, "02.04.1975"}} << "Anna"
        << "Anna - Example Ltd" << QDate();
    QTest::newRow("all three; impossible date")
        << QVariantMap{{last, "Meyer"}, {first, "Anna"}, {company, "Example Ltd"}, {bday, "1975-02-30"}}
        << "Meyer, Anna" << "Meyer, Anna - Example Ltd" << QDate();
    QTest::newRow("numbers") << QVariantMap{{last, 7.0}, {bday, 1975.0}} << "7" << "7" << QDate();
    QTest::newRow("nothing") << QVariantMap{} << "" << "" << QDate();
}

void tst_Addresses::formatting()
{
    QFETCH(QVariantMap, values);
    Addresses address;
    address.buildFromVariantMap(values);
    QTEST(address.getFormattedPersonName(), "person");
    QTEST(address.getFormattedName(), "full");
    QTEST(address.getBirthday(), "birthday");
    const QVariantMap info = address.toLDAPInfoMap();
    QCOMPARE(info.value(QStringLiteral("cn")).toString(), address.getFormattedName());
    QCOMPARE(info.value(QStringLiteral("sn")), QVariant(address.getLastname()));
}

void tst_Addresses::bookAttributes_data()
{
    QTest::addColumn<QVariantMap>("values");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("writeable");
    QTest::newRow("writeable") << QVariantMap{{"perm", "w"}, {"type", 3.0}} << 3 << true;
    QTest::newRow("capital W") << QVariantMap{{"perm", "W"}, {"type", 1.0}} << 1 << false;
    QTest::newRow("rw") << QVariantMap{{"perm", "rw"}, {"type", "1"}} << 1 << false;
    QTest::newRow("nothing") << QVariantMap{} << 0 << false;
}

void tst_Addresses::bookAttributes()
{
    QFETCH(QVariantMap, values);
    Addressbook book;
    book.buildFromVariantMap(values);
    QTEST(book.getType(), "type");
    QTEST(book.isWriteable(), "writeable");
    // No contact store on the client: the lookups find nothing, with or without an owner.
    QVERIFY(book.getAddresses(10, 0, {}).isEmpty());
    QCOMPARE(book.searchAddressByNumber(QStringLiteral("+49 711 1234")), nullptr);
}

QTEST_GUILESS_MAIN(tst_Addresses)
#include "tst_addresses.moc"
