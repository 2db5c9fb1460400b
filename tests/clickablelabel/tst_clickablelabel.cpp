#include "clickablelabel.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QSignalSpy>
#include <QtTest>

class tst_ClickableLabel : public QObject
{
    Q_OBJECT

private slots:
    void emits_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("clicked");
        QTest::addColumn<int>("rightClicked");
        QTest::newRow("left") << "left" << 1 << 0;
        QTest::newRow("right") << "right" << 0 << 1;
        QTest::newRow("middle") << "middle" << 0 << 0;
        QTest::newRow("Return") << "Return" << 1 << 0;
        QTest::newRow("keypad Enter") << "Enter" << 1 << 0;
        QTest::newRow("Space") << "Space" << 1 << 0;
        QTest::newRow("F2") << "F2" << 0 << 1;
        QTest::newRow("menu key") << "Menu" << 0 << 1;
        QTest::newRow("Return held down") << "Return repeated" << 0 << 0;
        QTest::newRow("Ctrl+Return") << "Ctrl+Return" << 0 << 0;
        QTest::newRow("a letter") << "A" << 0 << 0;
        QTest::newRow("press action") << "press" << 1 << 0;
        QTest::newRow("menu action") << "menu" << 0 << 1;
    }

    void emits()
    {
        QFETCH(QString, input);
        ClickableLabel label(QStringLiteral("lamp"));
        label.setFocusPolicy(Qt::TabFocus);
        QSignalSpy clicked(&label, &ClickableLabel::clicked);
        QSignalSpy rightClicked(&label, &ClickableLabel::rightClicked);
        QAccessibleInterface *button = QAccessible::queryAccessibleInterface(&label);
        QCOMPARE(button->role(), QAccessible::Button);
        if (input == "left" || input == "right" || input == "middle") {
            const Qt::MouseButton mouse =
                input == "left" ? Qt::LeftButton : input == "right" ? Qt::RightButton : Qt::MiddleButton;
            QTest::mouseClick(&label, mouse);
        } else if (input == "press" || input == "menu") {
            button->actionInterface()->doAction(input == "press" ? QAccessibleActionInterface::pressAction()
                                                                 : QAccessibleActionInterface::showMenuAction());
        } else if (input == "Return repeated") {
            QKeyEvent held(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
            QApplication::sendEvent(&label, &held);
        } else {
            const QKeySequence key(input);
            QTest::keyClick(&label, Qt::Key(key[0] & ~Qt::KeyboardModifierMask),
                            Qt::KeyboardModifiers(key[0] & Qt::KeyboardModifierMask));
        }
        QTEST(clicked.count(), "clicked");
        QTEST(rightClicked.count(), "rightClicked");
    }

    // Only a label the keyboard reaches is a button; the rest stay labels, named by their text.
    void unfocusedIsNoButton()
    {
        ClickableLabel label(QStringLiteral("<font color = black>201 J.Lee"));
        QAccessibleInterface *shown = QAccessible::queryAccessibleInterface(&label);
        QCOMPARE(shown->role(), QAccessible::StaticText);
        QCOMPARE(shown->text(QAccessible::Name), QStringLiteral("201 J.Lee"));
        QVERIFY(!shown->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    }

    // Two pixels of the highlight colour around the picture, inside what the parent shows.
    void focusFrame()
    {
        QWidget parent;
        parent.resize(100, 19);
        auto *label = new ClickableLabel(QString(), &parent);
        label->setFocusPolicy(Qt::TabFocus);
        QPixmap picture(60, 20);
        picture.fill(Qt::white);
        label->setPixmap(picture);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setGeometry(0, -5, 100, 30);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Highlight, Qt::magenta);
        label->setPalette(palette);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        const auto colours = [&parent] {
            const QImage shown = parent.grab().toImage();
            QStringList at;
            // Left edge, one pixel in and two pixels in; the bottom edge the parent shows; the middle.
            for (const QPoint &point : {QPoint(0, 9), QPoint(1, 9), QPoint(2, 9), QPoint(30, 17), QPoint(30, 18), QPoint(30, 9)})
                at << (shown.pixelColor(point) == QColor(Qt::magenta) ? "frame" : "-");
            return at.join(QLatin1Char(' '));
        };
        label->setFocus();
        QTRY_COMPARE(colours(), QStringLiteral("frame frame - frame frame -"));
        label->clearFocus();
        QTRY_COMPARE(colours(), QStringLiteral("- - - - - -"));
    }
};

QTEST_MAIN(tst_ClickableLabel)
#include "tst_clickablelabel.moc"
