#include "configtab.h"
#include "configtab_phone.h"
#include "configtab_queue.h"
#include "connectedsimulator.h"
#include "cticonnector.h"
#include "forwardpreset.h"
#include "phone.h"
#include "queue.h"
#include "settings.h"
#include "simphoneconfig.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QJsonArray>
#include <QJsonObject>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTextDocument>
#include <QtTest>

namespace {
const char *scenarioJson = R"({
    "accounts": [{"user": "anna", "password": "secret"}],
    "phoneConfig": {
        "activeForwardPreset": "fw-busy",
        "forwardPresets": [
            {"id": "fw-none", "name": "No forwarding"},
            {"id": "fw-mobile", "name": "Always to the mobile"},
            {"id": "fw-busy", "name": "When busy to reception"}
        ],
        "phones": [
            {"id": "ph-desk", "type": "Desk phone", "assigned": true},
            {"id": "ph-soft", "type": "Softphone", "assigned": false}
        ],
        "queues": [
            {"id": "q-support", "extension": "500", "name": "Sales & Support", "loggedIn": false},
            {"id": "q-reception", "extension": "610", "name": "Reception", "loggedIn": false, "static_member": true}
        ]
    }
})";
}

// The configure tab against the simulated PBX: what it sends and what it shows of the answers.
class tst_ConfigTab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void configurationShown();
    void configurationAgainReplacesOurs();
    void longNamesAreShortenedNotWidened();
    void activePresetFromTheServer_data();
    void activePresetFromTheServer();
    void userChoosesAPreset_data();
    void userChoosesAPreset();
    void phoneLoginWaitsForTheServer_data();
    void phoneLoginWaitsForTheServer();
    void queueCheckBoxSends_data();
    void queueCheckBoxSends();
    void dndFromTheServer_data();
    void dndFromTheServer();
    void recordsWithoutIdTouchNoRow();
    void advancedConfiguration_data();
    void advancedConfiguration();

private:
    //! The commands sent from now until everything before a marker has arrived.
    QStringList commandsSentSoFar();
    ConfigTab_Phone *phoneRow(const QString &id) const;
    ConfigTab_Queue *queueRow(const QString &id) const;

    ConnectedSimulator sim{"127.0.0.105"};
    CTIConnector *connector = CTIConnector::instance();
    std::unique_ptr<ConfigTab> tab;
};

void tst_ConfigTab::initTestCase()
{
    Scenario scenario;
    QVERIFY(scenario.loadJson(scenarioJson));
    sim.setScenario(scenario);
    sim.logIn(QStringLiteral("anna"), QStringLiteral("secret"));
}

void tst_ConfigTab::init()
{
    // Every test starts from the scenario's configuration.
    sim.phoneConfig().reset(sim.scenario().section(QStringLiteral("phoneConfig")));
    tab = std::make_unique<ConfigTab>();
    tab->initialise();
    QTRY_VERIFY(phoneRow("ph-soft") && queueRow("q-reception"));
    QTRY_COMPARE(tab->findChild<QComboBox *>("callforwardDropDown")->currentText(),
                 QStringLiteral("When busy to reception"));
    sim.clearReceived();
}

void tst_ConfigTab::cleanup()
{
    sim.setUnansweredCommands({});
    tab.reset();
}

QStringList tst_ConfigTab::commandsSentSoFar()
{
    // The connector sends in order: once the marker is in, everything before it is too.
    connector->requestQueueCalls(QStringLiteral("marker"));
    QStringList names;
    if (!QTest::qWaitFor([this] { return !sim.receivedCommands(QStringLiteral("requestQueueCalls")).isEmpty(); }))
        return {QStringLiteral("(the marker never arrived)")};
    for (const QJsonObject &command : sim.receivedCommands()) {
        const QString name = command.value("name").toString();
        if (name == QLatin1String("requestQueueCalls"))
            break;
        const QJsonObject data = command.value("data").toObject();
        const QJsonValue argument = data.contains("id") ? data.value("id") : data.value("value");
        names << name + QLatin1Char(' ') + argument.toVariant().toString();
    }
    sim.clearReceived();
    return names;
}

ConfigTab_Phone *tst_ConfigTab::phoneRow(const QString &id) const
{
    return tab->findChild<ConfigTab_Phone *>(id);
}

ConfigTab_Queue *tst_ConfigTab::queueRow(const QString &id) const
{
    return tab->findChild<ConfigTab_Queue *>(id);
}

void tst_ConfigTab::configurationShown()
{
    auto *dropDown = tab->findChild<QComboBox *>("callforwardDropDown");
    QVERIFY(dropDown->isEnabled());
    QStringList items;
    for (int i = 0; i < dropDown->count(); ++i)
        items << dropDown->itemText(i) + QLatin1Char('=') + dropDown->itemData(i).toString();
    // In the order the connector hands them out (by id).
    QCOMPARE(items, (QStringList{"When busy to reception=fw-busy", "Always to the mobile=fw-mobile",
                                 "No forwarding=fw-none"}));

    QCOMPARE(phoneRow("ph-desk")->findChild<QLabel *>("label")->text(), QStringLiteral("Desk phone"));
    QCOMPARE(phoneRow("ph-desk")->findChild<QPushButton *>("pushButton")->text(), QStringLiteral("Logout"));
    QCOMPARE(phoneRow("ph-soft")->findChild<QPushButton *>("pushButton")->text(), QStringLiteral("Login"));
    QCOMPARE(phoneRow("ph-soft")->findChild<QLabel *>("statusLabel")->pixmap(Qt::ReturnByValue).size(), QSize(15, 15));

    auto *support = queueRow("q-support")->findChild<QCheckBox *>("checkBox");
    // The name as typed: "&&" shows one "&", and no Alt+letter joins or leaves the queue.
    QCOMPARE(support->text(), QStringLiteral("<500> Sales && Support"));
    QVERIFY(QKeySequence::mnemonic(support->text()).isEmpty());
    QVERIFY(support->isEnabled());
    QVERIFY(!support->isChecked());
    // A static member is in, whatever the queue says, and cannot leave.
    auto *reception = queueRow("q-reception")->findChild<QCheckBox *>("checkBox");
    QVERIFY(reception->isChecked());
    QVERIFY(!reception->isEnabled());

    // Shown from the answer alone: nothing went back to the server.
    QCOMPARE(commandsSentSoFar(), QStringList());
}

// What the server holds is what the tab shows: listed again, one item or row each; no longer
// listed, gone; nothing left, the placeholders are back.
void tst_ConfigTab::configurationAgainReplacesOurs()
{
    const auto shown = [this] {
        auto *dropDown = tab->findChild<QComboBox *>("callforwardDropDown");
        QStringList items{dropDown->isEnabled() ? "enabled" : "disabled"};
        for (int i = 0; i < dropDown->count(); ++i)
            items << dropDown->itemText(i);
        for (const QWidget *row : tab->findChildren<ConfigTab_Phone *>())
            items << row->objectName();
        for (const QWidget *row : tab->findChildren<ConfigTab_Queue *>())
            items << row->objectName();
        for (const char *placeholder : {"phonesGroupBoxPlaceHolderLabel", "queuesGroupBoxPlaceHolderLabel"})
            items << (tab->findChild<QLabel *>(placeholder)->isHidden() ? "" : placeholder);
        return items;
    };
    QSignalSpy configured(connector, &CTIConnector::activeForwardPresetChanged);
    tab->initialise();
    QVERIFY(configured.wait());
    QCOMPARE(shown(), (QStringList{"enabled", "When busy to reception", "Always to the mobile", "No forwarding",
                                   "ph-desk", "ph-soft", "q-reception", "q-support", "", ""}));

    // A preset, a phone and a queue go while the link is down.
    QSignalSpy again(connector, &CTIConnector::reconnectSuccess);
    sim.dropAllConnections();
    QTRY_VERIFY(connector->isReconnecting());
    QJsonObject config = sim.scenario().section(QStringLiteral("phoneConfig")).toObject();
    config.insert("forwardPresets", QJsonArray{config.value("forwardPresets").toArray().at(2)});
    config.insert("phones", QJsonArray{config.value("phones").toArray().at(0)});
    config.insert("queues", QJsonArray{config.value("queues").toArray().at(1)});
    sim.phoneConfig().reset(config);
    QTRY_COMPARE_WITH_TIMEOUT(again.count(), 1, 12000);
    QTRY_COMPARE(shown(), (QStringList{"enabled", "When busy to reception", "ph-desk", "q-reception", "", ""}));

    sim.phoneConfig().reset(QJsonObject());
    tab->initialise();
    QTRY_COMPARE(shown(), (QStringList{"disabled", "No Callfowarding", "phonesGroupBoxPlaceHolderLabel",
                                       "queuesGroupBoxPlaceHolderLabel"}));
    // Taking items away chose nothing for the user.
    QCOMPARE(commandsSentSoFar().filter(QStringLiteral("set")), QStringList());
    sim.phoneConfig().reset(sim.scenario().section(QStringLiteral("phoneConfig")));
    tab->initialise();
    QTRY_COMPARE(shown().size(), 10);
    auto *dropDown = tab->findChild<QComboBox *>("callforwardDropDown");
    // A preset listed again under another name is renamed in place.
    ForwardPreset renamed;
    renamed.buildFromVariantMap({{"id", "fw-mobile"}, {"name", "Always to the car"}});
    tab->forwardPresetAdded(&renamed);
    QCOMPARE(dropDown->count(), 3);
    QCOMPARE(dropDown->itemText(dropDown->findData(QStringLiteral("fw-mobile"))), QStringLiteral("Always to the car"));
}

void tst_ConfigTab::longNamesAreShortenedNotWidened()
{
    ConfigTab page;
    page.resize(230, 400);
    page.show();
    const int narrowest = page.minimumSizeHint().width();
    const QString long_ = QStringLiteral("Conference phone <b>& speaker</b> in the large meeting room, second floor");
    Phone phone;
    phone.buildFromVariantMap({{"id", "ph-long"}, {"type", long_}, {"assigned", false}});
    Queue queue;
    queue.buildFromVariantMap({{"id", "q-long"}, {"extension", "700"}, {"name", long_}, {"loggedIn", false}});
    page.phoneAdded(&phone);
    page.queueAdded(&queue);
    QCOMPARE(page.minimumSizeHint().width(), narrowest);
    QTRY_VERIFY(page.findChild<ConfigTab_Phone *>("ph-long")->width() <= 230);

    auto *label = page.findChild<ConfigTab_Phone *>("ph-long")->findChild<QLabel *>("label");
    auto *box = page.findChild<ConfigTab_Queue *>("q-long")->findChild<QCheckBox *>("checkBox");
    for (const auto &shown : {qMakePair(label->text(), label->toolTip()), qMakePair(box->text(), box->toolTip())}) {
        QVERIFY2(shown.first.endsWith(QChar(0x2026)), qPrintable(shown.first));
        QTextDocument tip;
        tip.setHtml(shown.second);
        QVERIFY2(tip.toPlainText().endsWith(long_), qPrintable(tip.toPlainText()));
    }
}

void tst_ConfigTab::activePresetFromTheServer_data()
{
    QTest::addColumn<QString>("presetId");
    QTest::addColumn<QString>("shown");
    QTest::newRow("known") << "fw-mobile" << "Always to the mobile";
    QTest::newRow("empty keeps the selection") << "" << "When busy to reception";
    QTest::newRow("unknown keeps the selection") << "fw-gone" << "When busy to reception";
    QTest::newRow("case counts") << "FW-MOBILE" << "When busy to reception";
}

void tst_ConfigTab::activePresetFromTheServer()
{
    QFETCH(QString, presetId);
    QFETCH(QString, shown);
    emit connector->activeForwardPresetChanged(presetId);
    QCOMPARE(tab->findChild<QComboBox *>("callforwardDropDown")->currentText(), shown);
    QCOMPARE(commandsSentSoFar(), QStringList());
}

void tst_ConfigTab::userChoosesAPreset_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("a preset") << 1 << QStringList{"setActiveForwardPreset fw-mobile"};
    QTest::newRow("the active one again") << 0 << QStringList{"setActiveForwardPreset fw-busy"};
    QTest::newRow("an item without id") << 3 << QStringList();
}

void tst_ConfigTab::userChoosesAPreset()
{
    QFETCH(int, index);
    QFETCH(QStringList, sent);
    auto *dropDown = tab->findChild<QComboBox *>("callforwardDropDown");
    dropDown->addItem(QStringLiteral("without id"));
    dropDown->setCurrentIndex(index);
    emit dropDown->activated(index);
    QCOMPARE(commandsSentSoFar(), sent);
    // The user's choice stands until the server says otherwise.
    QCOMPARE(dropDown->currentIndex(), index);
}

void tst_ConfigTab::phoneLoginWaitsForTheServer_data()
{
    QTest::addColumn<QString>("phoneId");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("after");
    QTest::newRow("login") << "ph-soft" << true << "loginPhone ph-soft" << "Logout";
    QTest::newRow("logout") << "ph-desk" << true << "logoutPhone ph-desk" << "Login";
    QTest::newRow("login unanswered") << "ph-soft" << false << "loginPhone ph-soft" << "Login";
    QTest::newRow("logout unanswered") << "ph-desk" << false << "logoutPhone ph-desk" << "Logout";
}

void tst_ConfigTab::phoneLoginWaitsForTheServer()
{
    QFETCH(QString, phoneId);
    QFETCH(bool, answered);
    QFETCH(QString, command);
    QFETCH(QString, after);
    QJsonObject config = sim.scenario().section(QStringLiteral("phoneConfig")).toObject();
    config.insert(QStringLiteral("changeDelayMs"), 300);
    sim.phoneConfig().reset(config);
    if (!answered)
        sim.setUnansweredCommands({QStringLiteral("loginPhone"), QStringLiteral("logoutPhone")});
    ConfigTab_Phone *row = phoneRow(phoneId);
    row->setAnswerTimeout(answered ? 60000 : 500);
    auto *button = row->findChild<QPushButton *>("pushButton");

    QSignalSpy changed(connector, &CTIConnector::phoneChanged);
    button->click();
    QCOMPARE(button->text(), QStringLiteral("waiting..."));
    QVERIFY(!button->isEnabled());
    QCOMPARE(commandsSentSoFar(), QStringList{command});
    // A second click cannot get through while it waits.
    button->click();
    QVERIFY(!button->isEnabled());

    QTRY_VERIFY(button->isEnabled());
    QCOMPARE(button->text(), after);
    QCOMPARE(changed.isEmpty(), !answered);
    QCOMPARE(button->toolTip().isEmpty(), answered);
    QCOMPARE(commandsSentSoFar(), QStringList());
}

void tst_ConfigTab::queueCheckBoxSends_data()
{
    QTest::addColumn<QString>("queueId");
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("dynamic member") << "q-support" << QStringList{"loginQueue q-support", "logoutQueue q-support"};
    QTest::newRow("static member") << "q-reception" << QStringList();
}

void tst_ConfigTab::queueCheckBoxSends()
{
    QFETCH(QString, queueId);
    QFETCH(QStringList, sent);
    auto *box = queueRow(queueId)->findChild<QCheckBox *>("checkBox");
    const bool before = box->isChecked();
    box->click();
    // No waiting: the box shows the user's choice at once.
    QCOMPARE(box->isChecked(), box->isEnabled() ? !before : before);
    box->click();
    QCOMPARE(commandsSentSoFar(), sent);
    QTRY_COMPARE(box->isChecked(), before);
}

void tst_ConfigTab::dndFromTheServer_data()
{
    QTest::addColumn<bool>("before");
    QTest::addColumn<QJsonObject>("event"); // "phoneConfigChanged"
    QTest::addColumn<bool>("after");
    QTest::addColumn<QStringList>("sent");
    const QJsonObject on{{"dnd", true}};
    const QJsonObject off{{"dnd", false}};
    QTest::newRow("switched on") << false << on << true << QStringList{"setDnd 1"};
    QTest::newRow("switched off") << true << off << false << QStringList{"setDnd 0"};
    QTest::newRow("already on") << true << on << true << QStringList();
    QTest::newRow("already off") << false << off << false << QStringList();
    // Only the forwarding changed: do-not-disturb stays on, here and at the PBX.
    QTest::newRow("not mentioned") << true << QJsonObject{{"activeForwardPreset", "fw-mobile"}} << true << QStringList();
}

void tst_ConfigTab::dndFromTheServer()
{
    QFETCH(bool, before);
    QFETCH(QJsonObject, event);
    QFETCH(bool, after);
    QFETCH(QStringList, sent);
    auto *box = tab->findChild<QCheckBox *>("checkBoxDNDStatus");
    {
        const QSignalBlocker quiet(box);
        box->setChecked(before);
    }
    QSignalSpy dnd(connector, &CTIConnector::dndStatusChanged);
    QSignalSpy handled(connector, &CTIConnector::activeForwardPresetChanged);
    sim.pushEvent(QStringLiteral("phoneConfigChanged"), event);
    QVERIFY(handled.wait());
    QCOMPARE(box->isChecked(), after);
    // The box's change goes back to the server once, and the server's echo of it changes nothing.
    QCOMPARE(commandsSentSoFar(), sent);
    if (!sent.isEmpty())
        QTRY_COMPARE(dnd.count(), 2);
    QCOMPARE(commandsSentSoFar(), QStringList());
}

// A phone or queue without id: the connector files it under the empty id, which names no row.
void tst_ConfigTab::recordsWithoutIdTouchNoRow()
{
    // Rows of this page's own records, each waiting for the server's word.
    ConfigTab page;
    Phone phone;
    phone.buildFromVariantMap({{"id", "ph-own"}, {"type", "Own"}, {"assigned", false}});
    Queue queue;
    queue.buildFromVariantMap({{"id", "q-own"}, {"extension", "800"}, {"name", "Own"}, {"loggedIn", false}});
    page.phoneAdded(&phone);
    page.queueAdded(&queue);
    auto *button = page.findChild<QPushButton *>("pushButton");
    auto *box = page.findChild<ConfigTab_Queue *>("q-own")->findChild<QCheckBox *>("checkBox");
    button->click();
    box->click();

    QSignalSpy handled(connector, &CTIConnector::queueChanged);
    sim.pushResponse(QStringLiteral("requestPhoneConfig"),
                     {{"phones", QJsonObject{{"a", QJsonObject{{"type", "Anon"}, {"assigned", true}}}}},
                      {"queues", QJsonObject{{"a", QJsonObject{{"name", "Anon"}, {"loggedIn", true}}}}}});
    sim.pushEvent(QStringLiteral("phoneChanged"), {{"phone", QJsonObject{{"assigned", false}}}});
    sim.pushEvent(QStringLiteral("agentChanged"), {{"agent", QJsonObject{{"loggedIn", false}}}});
    QVERIFY(handled.wait());
    QCOMPARE(button->text(), QStringLiteral("waiting..."));
    QVERIFY(!button->isEnabled());
    QVERIFY(box->isChecked());
    QCOMPARE(page.findChildren<ConfigTab_Phone *>().size(), 1);
    QCOMPARE(page.findChildren<ConfigTab_Queue *>().size(), 1);
}

void tst_ConfigTab::advancedConfiguration_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<int>("columnsAfter");
    QTest::newRow("OK keeps") << true << 3;
    QTest::newRow("Cancel restores") << false << 2;
}

void tst_ConfigTab::advancedConfiguration()
{
    QFETCH(bool, accept);
    QFETCH(int, columnsAfter);
    Settings *settings = Settings::instance();
    settings->setValueForKey(QStringLiteral("stickyBuddyListColumns"), 2);
    QSignalSpy changes(settings, &Settings::settingChanged);

    bool seen = false;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        seen = true;
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Configuration"));
        dialog->findChild<QSpinBox *>(QStringLiteral("stickyBuddyListColumns"))->setValue(3);
        QCOMPARE(settings->getValueForKey(QStringLiteral("stickyBuddyListColumns")).toInt(), 3);
        accept ? dialog->accept() : dialog->reject();
    });
    tab->findChild<QPushButton *>("advancedConfigButton")->click();
    QVERIFY(seen);
    QCOMPARE(settings->getValueForKey(QStringLiteral("stickyBuddyListColumns")).toInt(), columnsAfter);
    // Announced as well, so the monitor follows.
    QVariant announced;
    for (const QList<QVariant> &change : changes) {
        if (change.at(0).toString() == QLatin1String("stickyBuddyListColumns"))
            announced = change.at(1);
    }
    QCOMPARE(announced.toInt(), columnsAfter);
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(tst_ConfigTab)
#include "tst_configtab.moc"
