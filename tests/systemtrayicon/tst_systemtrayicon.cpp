#include "cticonnector.h"
#include "numbercanonizer.h"
#include "pbxsimulator.h"
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
    void clipboardUpdatesDialAction_data();
    void clipboardUpdatesDialAction();
    void dialActionDialsClipboardNumber();
    void activation_data();
    void activation();
    void switchedOffAndCleanedUp();

private:
    SystemTrayIcon tray;
    QSystemTrayIcon *icon = tray.findChild<QSystemTrayIcon *>();
    QAction *dial = icon->contextMenu()->findChild<QAction *>(QStringLiteral("dialAction"));
};

void tst_SystemTrayIcon::clipboardUpdatesDialAction_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("national with separators") << "089 123456" << "" << "Dial: 089123456" << true;
    QTest::newRow("number inside a sentence") << "Call +43 1 234567!" << "" << "Dial: 00431234567" << true;
    QTest::newRow("with dial prefix") << "089 123456" << "0" << "Dial: 0089123456" << true;
    QTest::newRow("no digits") << "hello" << "" << "Dial: " << false;
    QTest::newRow("empty") << "" << "" << "Dial: " << false;
    QTest::newRow("no digits, dial prefix") << "hello" << "0" << "Dial: 0" << true;
}

void tst_SystemTrayIcon::clipboardUpdatesDialAction()
{
    QFETCH(QString, clipboard);
    // Start from another number so that every row changes the action.
    Settings::instance()->setValueForKey(NumberCanonizer::dialPrefixSetting, QString());
    QGuiApplication::clipboard()->setText(QStringLiteral("42"));
    QTRY_COMPARE(dial->text(), QStringLiteral("Dial: 42"));
    QFETCH(QString, prefix);
    Settings::instance()->setValueForKey(NumberCanonizer::dialPrefixSetting, prefix);
    QGuiApplication::clipboard()->setText(clipboard);
    QFETCH(QString, text);
    QTRY_COMPARE(dial->text(), text);
    QTEST(dial->isEnabled(), "enabled");
}

void tst_SystemTrayIcon::dialActionDialsClipboardNumber()
{
    PbxSimulator sim{QHostAddress(QStringLiteral("127.0.0.81"))};
    sim.addAccount(QStringLiteral("demo"), QStringLiteral("demo"));
    QVERIFY2(sim.listen(), qPrintable(sim.errorString()));
    QSignalSpy accepted(CTIConnector::instance(), &CTIConnector::loginSuccess);
    CTIConnector::instance()->login(QStringLiteral("demo"), QStringLiteral("demo"), QStringLiteral("127.0.0.81"));
    QTRY_COMPARE(accepted.count(), 1);

    Settings::instance()->setValueForKey(NumberCanonizer::dialPrefixSetting, QString());
    QGuiApplication::clipboard()->setText(QStringLiteral("+49 (0) 711 987-65"));
    QTRY_VERIFY(dial->isEnabled());
    dial->trigger();
    QTRY_COMPARE(sim.receivedCommands(QStringLiteral("dialNumber")).count(), 1);
    const QJsonObject command = sim.receivedCommands(QStringLiteral("dialNumber")).constFirst();
    QCOMPARE(command[QStringLiteral("data")][QStringLiteral("number")].toString(), QStringLiteral("071198765"));
}

void tst_SystemTrayIcon::activation_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("toggles");
    QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << 1;
    QTest::newRow("single click") << int(QSystemTrayIcon::Trigger) << 0;
    QTest::newRow("context menu") << int(QSystemTrayIcon::Context) << 0;
    QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick) << 0;
}

void tst_SystemTrayIcon::activation()
{
    QFETCH(int, reason);
    QSignalSpy toggle(&tray, &SystemTrayIcon::hideShowToggleRequest);
    emit icon->activated(QSystemTrayIcon::ActivationReason(reason));
    QTEST(toggle.count(), "toggles");
}

void tst_SystemTrayIcon::switchedOffAndCleanedUp()
{
    auto *other = new SystemTrayIcon;
    QSystemTrayIcon *otherIcon = other->findChild<QSystemTrayIcon *>();
    otherIcon->show();
    other->initialise();
    QVERIFY(!otherIcon->isVisible());
    QVERIFY(!SystemTrayIcon::isEnabled());

    // The menu has no parent: it must go with the component.
    QPointer<QMenu> menu = otherIcon->contextMenu();
    delete other;
    QVERIFY(menu.isNull());
}

QTEST_MAIN(tst_SystemTrayIcon)
#include "tst_systemtrayicon.moc"
