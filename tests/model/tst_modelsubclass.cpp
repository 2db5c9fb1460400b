#include "addresses.h"
#include "line.h"
#include "phone.h"
#include "queue.h"
#include "user.h"

#include <QSignalSpy>
#include <QtTest>

#include <malloc.h>

#include <memory>
#include <vector>

class tst_ModelSubclass : public QObject
{
    Q_OBJECT

private slots:
    void changeDetection_data();
    void changeDetection();
    void buildFromVariantMap_data();
    void buildFromVariantMap();
    void oldValuesAreAFallback();
    void actsAsAMap_data();
    void actsAsAMap();
    void keyListTakesAscendingKeys_data();
    void keyListTakesAscendingKeys();
    void absentKeyReadTakesOneSlot();
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

void tst_ModelSubclass::oldValuesAreAFallback()
{
    Phone phone;
    phone.setOldValues({{"number", "201"}});
    QCOMPARE(phone.valueForKey(QStringLiteral("number")).toString(), QStringLiteral("201"));
    QVERIFY(!phone.getValues().contains(QStringLiteral("number")));
    phone.setValueForKey(QStringLiteral("number"), QStringLiteral("202"));
    QCOMPARE(phone.valueForKey(QStringLiteral("number")).toString(), QStringLiteral("202"));
}

void tst_ModelSubclass::actsAsAMap_data()
{
    // "shared" gives the record and a sibling one key list and value vector: the sibling keeps
    // them whatever happens to the record. "short" offers one value fewer than keys.
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("keys in descending order") << QStringList{"set m 1", "set f 2", "set a 3", "read b", "read f", "read z"};
    QTest::newRow("absent key between two") << QStringList{"values a=1 c=3", "read b", "read c", "set b 2", "set b 2"};
    QTest::newRow("replaced") << QStringList{"values a=1 b=2", "set c 3", "values x=1", "read a", "values", "read x"};
    QTest::newRow("shared, keys added") << QStringList{"shared a=1 c=3 e=5", "set b 2", "read d", "set f 6"};
    QTest::newRow("shared, values changed") << QStringList{"shared a=1 c=3", "set a 9", "set c 3", "set c 4"};
    QTest::newRow("values short of keys") << QStringList{"values x=1", "short a=1 b=2", "read x", "read a"};
    QTest::newRow("looking leaves the keys") << QStringList{"shared a=1 c=3", "peek b", "peek c", "peek z", "set c 4", "peek c"};
}

void tst_ModelSubclass::actsAsAMap()
{
    QFETCH(QStringList, steps);
    Addresses record;
    Addresses sibling;
    QSignalSpy spy(&record, &ModelSubclass::changed);
    QVariantMap expected; // the plain way: one map
    QVariantMap siblingValues;
    int changes = 0;
    QVariantList reads;
    QVariantList expectedReads;
    for (const QString &step : qAsConst(steps)) {
        QStringList words = step.split(' ');
        const QString op = words.takeFirst();
        QVariantMap map; // the words as key=value
        for (const QString &word : qAsConst(words))
            map.insert(word.section('=', 0, 0), word.section('=', 1));
        KeyList keys;
        keys.assign(map.keys().toVector());
        const QVector<QVariant> values = map.values().toVector();
        if (op == "set") {
            record.setValueForKey(words.at(0), words.at(1));
            changes += !expected.contains(words.at(0)) || expected.value(words.at(0)) != words.at(1);
            expected.insert(words.at(0), words.at(1));
        } else if (op == "read") {
            reads << record.valueForKey(words.at(0));
            expectedReads << expected[words.at(0)]; // an absent key joins, invalid
        } else if (op == "peek") {
            reads << record.value(words.at(0));
            expectedReads << expected.value(words.at(0)); // an absent key stays absent
        } else if (op == "values") {
            record.setValues(map);
            expected = map;
        } else if (op == "shared") {
            QVERIFY(record.setValues(keys, values));
            QVERIFY(sibling.setValues(keys, values));
            expected = siblingValues = map;
        } else if (op == "short") {
            QVERIFY(!record.setValues(keys, values.mid(1)));
        }
    }
    QCOMPARE(record.getValues(), expected);
    QCOMPARE(reads, expectedReads);
    QCOMPARE(spy.count(), changes);
    QCOMPARE(sibling.getValues(), siblingValues);
}

void tst_ModelSubclass::keyListTakesAscendingKeys_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<bool>("taken");
    QTest::newRow("ascending, capitals first") << QStringList{"Z", "a", "b"} << true;
    QTest::newRow("one key twice") << QStringList{"a", "a"} << false;
    // Parsed JSON puts a key beyond U+FFFF after U+FF01; QString, comparing UTF-16 units, before.
    QTest::newRow("code point order") << QStringList{"\uFF01", QString::fromUcs4(U"\U0001F600")} << false;
}

void tst_ModelSubclass::keyListTakesAscendingKeys()
{
    QFETCH(QStringList, keys);
    QFETCH(bool, taken);
    KeyList list;
    QVERIFY(list.assign({"k"}));
    QCOMPARE(list.assign(keys.toVector()), taken);
    QCOMPARE(list.at(0), taken ? keys.first() : "k");
}

void tst_ModelSubclass::absentKeyReadTakesOneSlot()
{
    // Contacts share their keys; reading one they lack gives each a list of its own. Room to
    // double there would cost an address book about a kilobyte a contact.
    QVector<QString> names;
    for (int i = 0; i < 30; ++i)
        names << QStringLiteral("key%1").arg(i, 2, 10, QLatin1Char('0'));
    KeyList keys;
    QVERIFY(keys.assign(names));
    std::vector<std::unique_ptr<Addresses>> records(1000);
    for (auto &record : records) {
        record = std::make_unique<Addresses>();
        QVERIFY(record->setValues(keys, QVector<QVariant>(names.size())));
    }
    const auto heapInUse = [] {
        const struct mallinfo2 info = mallinfo2();
        return info.uordblks + info.hblkhd;
    };
    const size_t before = heapInUse();
    if (before == 0)
        QSKIP("this allocator gives no heap figures (a sanitizer build)");
    for (auto &record : records)
        record->valueForKey(QStringLiteral("key15a"));
    // One slot more: about 290 B of keys and 16 B of values.
    const size_t perRecord = (heapInUse() - before) / records.size();
    QVERIFY2(perRecord < 450, qPrintable(QString::number(perRecord)));
}

QTEST_GUILESS_MAIN(tst_ModelSubclass)
#include "tst_modelsubclass.moc"
