#include "log.h"
#include "modelsubclass.h"

#include <QFile>
#include <QtTest>

class tst_Log : public QObject
{
    Q_OBJECT

private slots:
    void lineFormat_data();
    void lineFormat();
    void sinkIsSilentByDefault();
    void unreadableFileIsLogged();
};

void tst_Log::lineFormat_data()
{
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("expected");
    QTest::newRow("error: three spaces before tag") << "ERROR  " << "cti" << "ERROR   cti hello";
    QTest::newRow("empty tag: two spaces") << "WARNING" << "" << "WARNING  hello";
}

void tst_Log::lineFormat()
{
    QFETCH(QString, level);
    QFETCH(QString, tag);
    QFETCH(QString, expected);
    QCOMPARE(Log::WriteLog(QStringLiteral("hello"), tag, level), expected);
}

void tst_Log::sinkIsSilentByDefault()
{
    QVERIFY(!lcCti().isDebugEnabled());
    // Enabled on request, and then every level reaches the sink with the exact line.
    QLoggingCategory::setFilterRules(QStringLiteral("cti.debug=true"));
    QTest::ignoreMessage(QtDebugMsg, "DEBUG   cti hi");
    Log::d(QStringLiteral("hi"), QStringLiteral("cti"));
    QTest::ignoreMessage(QtDebugMsg, "ERROR   cti bad");
    Log::e(QStringLiteral("bad"), QStringLiteral("cti"));
    QLoggingCategory::setFilterRules(QString());
}

void tst_Log::unreadableFileIsLogged()
{
    QLoggingCategory::setFilterRules(QStringLiteral("cti.debug=true"));
    ModelSubclass record(QStringLiteral("Addresses"));
    QFile missing(QStringLiteral("/nonexistent/picture.png"));
    QTest::ignoreMessage(QtDebugMsg, "ERROR   cti could not open File /nonexistent/picture.png for reading.");
    QVERIFY(!record.addFileForKey(QStringLiteral("picture"), &missing));
    QFile self(QStringLiteral(__FILE__));
    QVERIFY(record.addFileForKey(QStringLiteral("picture"), &self));
    QLoggingCategory::setFilterRules(QString());
}

QTEST_GUILESS_MAIN(tst_Log)
#include "tst_log.moc"
