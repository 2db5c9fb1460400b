#include "clickablelabel.h"
#include "fontfactory.h"

#include <QSignalSpy>
#include <QtTest>

// The label and the fonts it is drawn with in the call views.
class tst_ClickableLabel : public QObject
{
    Q_OBJECT

private slots:
    void releaseEmits_data();
    void releaseEmits();
    void fonts_data();
    void fonts();
};

void tst_ClickableLabel::releaseEmits_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<int>("rightClicked");

    QTest::newRow("left") << int(Qt::LeftButton) << 1 << 0;
    QTest::newRow("right") << int(Qt::RightButton) << 0 << 1;
    QTest::newRow("middle") << int(Qt::MiddleButton) << 0 << 0;
}

void tst_ClickableLabel::releaseEmits()
{
    QFETCH(int, button);

    ClickableLabel label(QStringLiteral("lamp"));
    QCOMPARE(label.text(), QStringLiteral("lamp"));
    QSignalSpy clicked(&label, &ClickableLabel::clicked);
    QSignalSpy rightClicked(&label, &ClickableLabel::rightClicked);
    QTest::mouseClick(&label, Qt::MouseButton(button));
    QTEST(clicked.count(), "clicked");
    QTEST(rightClicked.count(), "rightClicked");
}

void tst_ClickableLabel::fonts_data()
{
    QTest::addColumn<int>("platformValue");
    QTest::addColumn<QList<int>>("sizes");

    QTest::newRow("macOS") << int(FontFactory::Platform::MacOS) << QList<int>{12, 11, 10};
    QTest::newRow("Windows") << int(FontFactory::Platform::Windows) << QList<int>{10, 9, 8};
    QTest::newRow("Linux X11") << int(FontFactory::Platform::LinuxX11) << QList<int>{10, 10, 9};
    QTest::newRow("other") << int(FontFactory::Platform::Other) << QList<int>{10, 9, 7};
}

void tst_ClickableLabel::fonts()
{
    QFETCH(int, platformValue);
    const auto platform = FontFactory::Platform(platformValue);
    QFETCH(QList<int>, sizes);

    const QList<QFont> fonts{FontFactory::defaultFont(platform), FontFactory::smallFont(platform),
                             FontFactory::tinyFont(platform)};
    for (int i = 0; i < fonts.size(); ++i) {
        QCOMPARE(fonts[i].family(), QStringLiteral("Helvetica"));
        QCOMPARE(fonts[i].pointSize(), sizes[i]);
    }
    QCOMPARE(fonts.last().styleHint(), QFont::System);
    QCOMPARE(FontFactory::smallFont().pointSize(), FontFactory::smallFont(FontFactory::currentPlatform()).pointSize());
}

QTEST_MAIN(tst_ClickableLabel)
#include "tst_clickablelabel.moc"
