#include "phone.h"
#include "queue.h"
#include "user.h"

#include <QtTest>

class tst_User : public QObject
{
    Q_OBJECT

private slots:
    void jabberPresence_data();
    void jabberPresence();
    void flags_data();
    void flags();
};

void tst_User::jabberPresence_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("absent") << QVariant() << -1;
    QTest::newRow("empty text") << QVariant("") << -1;
    QTest::newRow("object") << QVariant(QVariantMap{{"a", 1}}) << -1;
    QTest::newRow("text 3") << QVariant("3") << 3;
    QTest::newRow("number 3") << QVariant(3.0) << 3;
    QTest::newRow("not a number") << QVariant("away") << 0;
}

void tst_User::jabberPresence()
{
    QFETCH(QVariant, value);
    User user;
    user.buildFromVariantMap({{"jabber_presence", value}});
    QTEST(user.getJabberPresence(), "expected");
}

// Do-not-disturb, phone assignment and static membership read the server's flags alike.
void tst_User::flags_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("expected");
    QTest::newRow("absent") << QVariant() << false;
    QTest::newRow("false") << QVariant(false) << false;
    QTest::newRow("0") << QVariant(0.0) << false;
    QTest::newRow("\"0\"") << QVariant("0") << false;
    QTest::newRow("\"false\"") << QVariant("false") << false;
    QTest::newRow("object") << QVariant(QVariantMap{{"on", true}}) << false;
    QTest::newRow("array") << QVariant(QVariantList{true}) << false;
    QTest::newRow("true") << QVariant(true) << true;
    QTest::newRow("1") << QVariant(1.0) << true;
    QTest::newRow("\"1\"") << QVariant("1") << true;
}

void tst_User::flags()
{
    QFETCH(QVariant, value);
    QFETCH(bool, expected);
    User user;
    Phone phone;
    Queue queue;
    user.buildFromVariantMap({{"dnd", value}});
    phone.buildFromVariantMap({{"assigned", value}});
    queue.buildFromVariantMap({{"static_member", value}});
    QCOMPARE(user.getDND(), expected);
    QCOMPARE(phone.isAssigned(), expected);
    QCOMPARE(queue.isStatic(), expected);
}

QTEST_GUILESS_MAIN(tst_User)
#include "tst_user.moc"
