#include "ucitem.h"

#include <QStandardItem>
#include <QtTest>

#include <ctime>
#include <memory>

class tst_UCItem : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void displayTextIsLocalTime_data();
    void displayTextIsLocalTime();
    void rolesCarryTheRawValues();
};

void tst_UCItem::initTestCase()
{
    // Central European time: one hour ahead of UTC in winter, two in summer.
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    tzset();
}

void tst_UCItem::displayTextIsLocalTime_data()
{
    QTest::addColumn<QVariant>("timestamp");
    QTest::addColumn<QString>("display");
    QTest::newRow("winter, UTC") << QVariant("2016-02-15T10:00:00Z") << "2016-02-15T11:00:00";
    QTest::newRow("no zone means UTC") << QVariant("2016-02-15T10:00:00") << "2016-02-15T11:00:00";
    QTest::newRow("summer") << QVariant("2016-07-15T10:00:00Z") << "2016-07-15T12:00:00";
    QTest::newRow("into the next day") << QVariant("2016-12-31T23:30:00Z") << "2017-01-01T00:30:00";
    QTest::newRow("missing") << QVariant() << "";
    QTest::newRow("not a date") << QVariant("yesterday") << "";
    QTest::newRow("number") << QVariant(1455530400.0) << "";
    QTest::newRow("array") << QVariant(QVariantList{"2016-02-15T10:00:00Z"}) << "";
}

void tst_UCItem::displayTextIsLocalTime()
{
    QFETCH(QVariant, timestamp);
    QFETCH(QString, display);
    UCItem item;
    QVariantMap data{{"callid", "c-1"}};
    if (timestamp.isValid())
        data.insert("timestamp", timestamp);
    item.buildFromVariantMap(data);

    std::unique_ptr<QStandardItem> row(item.toStandardItem());
    QCOMPARE(row->text(), display);
    const QDateTime local = row->data(UCItem::DateTimeRole).toDateTime();
    QCOMPARE(local.isValid(), !display.isEmpty());
    if (local.isValid()) {
        QCOMPARE(local.timeSpec(), Qt::LocalTime);
        QCOMPARE(local.toString(UCItem::displayFormat), display);
    }
    QCOMPARE(row->data(UCItem::CallIdRole), QVariant("c-1")); // stored with every role all the same
}

void tst_UCItem::rolesCarryTheRawValues()
{
    const QVariantMap data{{"remote_number", "+49711123"}, {"state", 7.0},          {"firstname", "Erika"},
                           {"lastname", "Mustermann"},    {"company", "Muster GmbH"}, {"direction", 1.0},
                           {"duration", 65.0},            {"typ", "call"},          {"callid", 42.0},
                           {"caller_addressbook_id", "ab-7"}, {"owner_id", "u-1"},  {"extra", "kept"},
                           {"timestamp", "2016-02-15T10:00:00Z"}};
    UCItem item;
    item.buildFromVariantMap(data);
    std::unique_ptr<QStandardItem> row(item.toStandardItem());

    const QList<QPair<int, QString>> roles = {
        {Qt::UserRole + 1, "remote_number"}, {Qt::UserRole + 2, "state"},     {Qt::UserRole + 4, "firstname"},
        {Qt::UserRole + 5, "lastname"},      {Qt::UserRole + 6, "company"},   {Qt::UserRole + 8, "direction"},
        {Qt::UserRole + 9, "duration"},      {Qt::UserRole + 10, "typ"},      {Qt::UserRole + 11, "callid"},
        {Qt::UserRole + 12, "caller_addressbook_id"}};
    for (const auto &role : roles) {
        QCOMPARE(row->data(role.first), data.value(role.second)); // type included: 42 stays a number
        QCOMPARE(row->data(role.first).userType(), data.value(role.second).userType());
    }
    QCOMPARE(row->data(Qt::UserRole + 7).toDateTime(), QDateTime(QDate(2016, 2, 15), QTime(11, 0)));
    QVERIFY(!row->data(Qt::UserRole + 3).isValid());
    // Building the row changes nothing in the record, not even by reading absent keys.
    QCOMPARE(item.getValues(), data);

    UCItem empty;
    std::unique_ptr<QStandardItem> emptyRow(empty.toStandardItem());
    QCOMPARE(emptyRow->text(), QString());
    QVERIFY(empty.getValues().isEmpty());
}

QTEST_MAIN(tst_UCItem)
#include "tst_ucitem.moc"
