#include "passbudget.h"

#include <QEventLoop>
#include <QTimer>
#include <QtTest>

class tst_PassBudget : public QObject
{
    Q_OBJECT

private slots:
    void init() { PassBudget::endPass(); }
    void aPassSpendsOnce();
    void everyPassOfTheEventLoopStartsAnew_data();
    void everyPassOfTheEventLoopStartsAnew();
};

void tst_PassBudget::aPassSpendsOnce()
{
    QVERIFY(!PassBudget::spent(0));
    QVERIFY(PassBudget::spent(0));
    QVERIFY(!PassBudget::spent(60000)); // the same pass, asked with a larger budget
    PassBudget::endPass();
    QVERIFY(!PassBudget::spent(0));
}

void tst_PassBudget::everyPassOfTheEventLoopStartsAnew_data()
{
    QTest::addColumn<bool>("waiting");
    QTest::newRow("a loop that waits (exec)") << true;
    QTest::newRow("a loop that does not (processEvents)") << false;
}

void tst_PassBudget::everyPassOfTheEventLoopStartsAnew()
{
    QFETCH(bool, waiting);
    // Two units of bulk work in two passes: each is its pass's first, neither finds it spent.
    QList<bool> found;
    QEventLoop loop;
    QTimer second;
    second.setSingleShot(true);
    connect(&second, &QTimer::timeout, &loop, [&] {
        found << PassBudget::spent(0);
        loop.quit();
    });
    QTimer::singleShot(0, &loop, [&] {
        found << PassBudget::spent(0) << PassBudget::spent(0);
        second.start(0);
    });
    if (waiting) {
        loop.exec();
    } else {
        while (found.size() < 3)
            QCoreApplication::processEvents();
    }
    QCOMPARE(found, (QList<bool>{false, true, false}));
}

QTEST_GUILESS_MAIN(tst_PassBudget)
#include "tst_passbudget.moc"
