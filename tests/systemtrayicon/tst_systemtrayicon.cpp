#include "connectedsimulator.h"
#include "cticonnector.h"
#include "numbercanonizer.h"
#include "settings.h"
#include "systemtrayicon.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

class tst_SystemTrayIcon : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        sim.logIn();
    }

    void clipboardSetsDialAction_data()
    {
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("number"); // shown and dialled; none disables the action
        QTest::newRow("with dial prefix") << "089 123456" << "0" << "0089123456";
        QTest::newRow("no digits") << "hello" << "" << "";
        QTest::newRow("no digits, dial prefix") << "hello" << "0" << "0";
    }

    void clipboardSetsDialAction()
    {
        QFETCH(QString, clipboard);
        QFETCH(QString, prefix);
        QFETCH(QString, number);
        Settings::instance()->setValueForKey(NumberCanonizer::dialPrefixSetting, QString());
        QGuiApplication::clipboard()->setText(QStringLiteral("42")); // so that every row changes the action
        QTRY_COMPARE(dial->text(), QStringLiteral("Dial: 42"));
        Settings::instance()->setValueForKey(NumberCanonizer::dialPrefixSetting, prefix);
        QGuiApplication::clipboard()->setText(clipboard);
        QTRY_COMPARE(dial->text(), QStringLiteral("Dial: ") + number);
        QCOMPARE(dial->isEnabled(), !number.isEmpty());
        if (number.isEmpty())
            return;
        sim.clearReceived();
        dial->trigger();
        QCOMPARE(sim.sent(QStringLiteral("dialNumber"), QStringLiteral("number")), QStringList{number});
    }

    void onlyDoubleClickToggles_data()
    {
        QTest::addColumn<int>("reason");
        QTest::addColumn<int>("toggles");
        QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << 1;
        QTest::newRow("single click") << int(QSystemTrayIcon::Trigger) << 0;
        QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick) << 0;
    }

    void onlyDoubleClickToggles()
    {
        QFETCH(int, reason);
        QSignalSpy toggle(&tray, &SystemTrayIcon::hideShowToggleRequest);
        emit icon->activated(QSystemTrayIcon::ActivationReason(reason));
        QTEST(toggle.count(), "toggles");
    }

    void switchedOffAndCleanedUp()
    {
        auto *other = new SystemTrayIcon;
        QSystemTrayIcon *otherIcon = other->findChild<QSystemTrayIcon *>();
        otherIcon->show();
        other->initialise();
        QVERIFY(!otherIcon->isVisible());
        QPointer<QMenu> menu = otherIcon->contextMenu(); // has no parent
        delete other;
        QVERIFY(menu.isNull());
    }

private:
    ConnectedSimulator sim{"127.0.0.81"};
    SystemTrayIcon tray;
    QSystemTrayIcon *icon = tray.findChild<QSystemTrayIcon *>();
    QAction *dial = icon->contextMenu()->findChild<QAction *>(QStringLiteral("dialAction"));
};

QTEST_MAIN(tst_SystemTrayIcon)
#include "tst_systemtrayicon.moc"
