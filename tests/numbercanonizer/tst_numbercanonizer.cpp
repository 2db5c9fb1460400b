#include "numbercanonizer.h"
#include "settings.h"

#include <QtTest>

class tst_NumberCanonizer : public QObject
{
    Q_OBJECT

private slots:
    void conversions_data();
    void conversions();
};

// Canonical form, dialable form without a dial prefix and with the prefix "0".
void tst_NumberCanonizer::conversions_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("e123");
    QTest::addColumn<QString>("dialable");
    QTest::addColumn<QString>("prefixed");
    QTest::newRow("national") << "089 123456" << "004989123456" << "089123456" << "0089123456";
    QTest::newRow("+49") << "+49 89 123456" << "004989123456" << "089123456" << "0089123456";
    QTest::newRow("+49 (0)") << "+49 (0) 89 123456" << "004989123456" << "089123456" << "0089123456";
    QTest::newRow("0049") << "0049 89 123456" << "004989123456" << "089123456" << "0089123456";
    QTest::newRow("00 as one extra digit") << "0089123456" << "004989123456" << "089123456" << "0089123456";
    QTest::newRow("+0049") << "+0049 30 1234" << "0049301234" << "0301234" << "00301234";
    QTest::newRow("+43") << "+43 1 234567" << "00431234567" << "00431234567" << "000431234567";
    QTest::newRow("0043 reads as national") << "0043 1 234567" << "0049431234567" << "0431234567" << "00431234567";
    QTest::newRow("00043") << "00043 1 234567" << "00431234567" << "00431234567" << "000431234567";
    QTest::newRow("slash and hyphen") << "0711/987-65" << "004971198765" << "071198765" << "0071198765";
    QTest::newRow("extension") << "123" << "123" << "123" << "0123";
    QTest::newRow("letters only") << "abc" << "" << "" << "0";
    QTest::newRow("+49 without separators") << "+4989" << "004989" << "089" << "0089";
    QTest::newRow("+490 loses the trunk zero") << "+4907111234" << "00497111234" << "07111234" << "007111234";
    QTest::newRow("+ in the middle stays") << "12+34" << "12+34" << "12+34" << "012+34";
    // Digits of other scripts are the same digits.
    QTest::newRow("full-width") << "\uFF0B49 \uFF18\uFF19 123456" << "004989123456" << "089123456" << "0089123456";
    QTest::newRow("Arabic-Indic") << "\u0660\u0668\u0669 \u0661\u0662\u0663\u0664\u0665\u0666" << "004989123456"
                                  << "089123456" << "0089123456";
    QTest::newRow("outside the basic plane") << "\U0001D7CE\U0001D7D6\U0001D7D7 123456" << "004989123456"
                                             << "089123456" << "0089123456";
    // Area codes 049x: the 49 after the home code belongs to the number.
    QTest::newRow("national 0491") << "0491 12345" << "004949112345" << "049112345" << "0049112345";
    QTest::newRow("+49 491") << "+49 491 12345" << "004949112345" << "049112345" << "0049112345";
    QTest::newRow("0049 491") << "0049 491 12345" << "004949112345" << "049112345" << "0049112345";
    QTest::newRow("+0049 491") << "+0049 491 12345" << "004949112345" << "049112345" << "0049112345";
    QTest::newRow("+49 (0) 491") << "+49 (0) 491 12345" << "004949112345" << "049112345" << "0049112345";
}

void tst_NumberCanonizer::conversions()
{
    QFETCH(QString, input);
    QFETCH(QString, e123);
    QFETCH(QString, dialable);
    QFETCH(QString, prefixed);
    QCOMPARE(NumberCanonizer::convertToE123(input), e123);
    Settings::instance()->setValueForKey(NumberCanonizer::dialPrefixSetting, QString());
    QCOMPARE(NumberCanonizer::convertToDialable(input), dialable);
    // Read at every call.
    Settings::instance()->setValueForKey(NumberCanonizer::dialPrefixSetting, QStringLiteral("0"));
    QCOMPARE(NumberCanonizer::convertToDialable(input), prefixed);
}

QTEST_GUILESS_MAIN(tst_NumberCanonizer)
#include "tst_numbercanonizer.moc"
