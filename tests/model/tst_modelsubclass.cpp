#include "addressbook.h"
#include "addresses.h"
#include "forwardpreset.h"
#include "line.h"
#include "phone.h"
#include "queue.h"
#include "ucitem.h"
#include "user.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

class tst_ModelSubclass : public QObject
{
    Q_OBJECT

private slots:
    void changeDetection_data();
    void changeDetection();
    void receiverReadsNewValue();
    void buildFromVariantMap_data();
    void buildFromVariantMap();
    void readingAbsentKeyRemembersIt();
    void oldValuesAreAFallback();
    void modelNames_data();
    void modelNames();
};

void tst_ModelSubclass::changeDetection_data()
{
    QTest::addColumn<QVariant>("first");
    QTest::addColumn<QVariant>("second");
    QTest::addColumn<int>("emitted");
    QTest::newRow("same value") << QVariant(5) << QVariant(5) << 1;
    QTest::newRow("int to digit string") << QVariant(5) << QVariant(QStringLiteral("5")) << 1;
    QTest::newRow("int to double") << QVariant(5) << QVariant(5.0) << 1;
    QTest::newRow("different") << QVariant(5) << QVariant(6) << 2;
    QTest::newRow("string to other string") << QVariant("a") << QVariant("b") << 2;
    QTest::newRow("invalid to valid") << QVariant() << QVariant(0) << 2;
}

void tst_ModelSubclass::changeDetection()
{
    QFETCH(QVariant, first);
    QFETCH(QVariant, second);
    QFETCH(int, emitted);
    Line line;
    QSignalSpy spy(&line, &ModelSubclass::changed);
    line.setValueForKey(QStringLiteral("duration"), first);
    line.setValueForKey(QStringLiteral("duration"), second);
    QCOMPARE(spy.count(), emitted);
}

void tst_ModelSubclass::receiverReadsNewValue()
{
    User user;
    QVariant seen;
    connect(&user, &ModelSubclass::changed, this, [&] { seen = user.valueForKey(QStringLiteral("name")); });
    user.setValueForKey(QStringLiteral("name"), QStringLiteral("Anna"));
    QCOMPARE(seen.toString(), QStringLiteral("Anna"));
}

void tst_ModelSubclass::buildFromVariantMap_data()
{
    QTest::addColumn<QVariantMap>("update");
    QTest::addColumn<int>("emitted");
    QTest::addColumn<QString>("id");
    QTest::newRow("two of three differ") << QVariantMap{{"a", 1}, {"b", "new"}, {"c", "new"}} << 2 << "orig";
    QTest::newRow("numeric id") << QVariantMap{{"id", 42}} << 1 << "42";
    QTest::newRow("Id is not id") << QVariantMap{{"Id", "x"}} << 1 << "orig";
    QTest::newRow("empty map") << QVariantMap{} << 0 << "orig";
}

void tst_ModelSubclass::buildFromVariantMap()
{
    QFETCH(QVariantMap, update);
    QFETCH(int, emitted);
    QFETCH(QString, id);
    Addresses record;
    record.buildFromVariantMap({{"a", 1}, {"b", "old"}, {"c", "old"}, {"id", "orig"}});
    QCOMPARE(record.id(), QStringLiteral("orig"));
    QSignalSpy spy(&record, &ModelSubclass::changed);
    record.buildFromVariantMap(update);
    QCOMPARE(spy.count(), emitted);
    QCOMPARE(record.id(), id);
    // Keys the update lacks keep their values.
    QCOMPARE(record.valueForKey(QStringLiteral("a")).toInt(), 1);
}

void tst_ModelSubclass::readingAbsentKeyRemembersIt()
{
    Queue queue;
    QSignalSpy spy(&queue, &ModelSubclass::changed);
    const QVariant value = queue.valueForKey(QStringLiteral("absent"));
    QVERIFY(!value.isValid());
    QCOMPARE(value.toString(), QString());
    QVERIFY(queue.getValues().contains(QStringLiteral("absent")));
    QCOMPARE(spy.count(), 0);
    queue.setValueForKey(QStringLiteral("absent"), 1);
    QCOMPARE(spy.count(), 1);
}

void tst_ModelSubclass::oldValuesAreAFallback()
{
    Phone phone;
    phone.setOldValues({{"number", "201"}});
    QCOMPARE(phone.valueForKey(QStringLiteral("number")).toString(), QStringLiteral("201"));
    QVERIFY(!phone.getValues().contains(QStringLiteral("number")));
    phone.setValueForKey(QStringLiteral("number"), QStringLiteral("202"));
    QCOMPARE(phone.valueForKey(QStringLiteral("number")).toString(), QStringLiteral("202"));
}

void tst_ModelSubclass::modelNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Line") << Line().name() << "Line";
    QTest::newRow("User") << User().name() << "User";
    QTest::newRow("Phone is plural") << Phone().name() << "Phones";
    QTest::newRow("Queue") << Queue().name() << "Queue";
    QTest::newRow("ForwardPreset") << ForwardPreset().name() << "ForwardPreset";
    QTest::newRow("Addressbook") << Addressbook().name() << "Addressbook";
    QTest::newRow("Addresses") << Addresses().name() << "Addresses";
    QTest::newRow("UCItem") << UCItem().name() << "UCItem";
}

void tst_ModelSubclass::modelNames()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(name, expected);
    QCOMPARE(Phone().domain(), QStringLiteral("default"));
}

QTEST_GUILESS_MAIN(tst_ModelSubclass)
#include "tst_modelsubclass.moc"
