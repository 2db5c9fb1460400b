#include "clickablelabel.h"

#include <QSignalSpy>
#include <QtTest>

class tst_ClickableLabel : public QObject
{
    Q_OBJECT

private slots:
    void releaseEmits_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("clicked");
        QTest::addColumn<int>("rightClicked");
        QTest::newRow("left") << int(Qt::LeftButton) << 1 << 0;
        QTest::newRow("right") << int(Qt::RightButton) << 0 << 1;
        QTest::newRow("middle") << int(Qt::MiddleButton) << 0 << 0;
    }

    void releaseEmits()
    {
        ClickableLabel label(QStringLiteral("lamp"));
        QSignalSpy clicked(&label, &ClickableLabel::clicked);
        QSignalSpy rightClicked(&label, &ClickableLabel::rightClicked);
        QFETCH(int, button);
        QTest::mouseClick(&label, Qt::MouseButton(button));
        QTEST(clicked.count(), "clicked");
        QTEST(rightClicked.count(), "rightClicked");
    }
};

QTEST_MAIN(tst_ClickableLabel)
#include "tst_clickablelabel.moc"
