#include "buildinfo.h"
#include "click2dialcomponent.h"
#include "configdialog.h"
#include "settings.h"
#include "stickybuddylist.h"
#include "user.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QListWidget>
#include <QLoggingCategory>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QTextDocument>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

namespace {
const QStringList optionKeys = {
    "stickyBuddyListEnabled", "stickyBuddyListStayOnTop", "stickyBuddyListHideOnMouseOver", "stickyBuddyListHorizontal",
    "stickyBuddyListAutoPosition", "stickyBuddyListHideMs", "stickyBuddyListScreen", "stickyBuddyListColumns",
    "stickyBuddyListOpacity", "stickyBuddyListCorner"};

// The value a bound widget shows, whatever its kind.
QVariant shown(ConfigDialog &dialog, const QString &name)
{
    if (auto *box = dialog.findChild<QCheckBox *>(name))
        return box->isChecked();
    if (auto *spin = dialog.findChild<QSpinBox *>(name))
        return spin->value();
    if (auto *slider = dialog.findChild<QSlider *>(name))
        return slider->value();
    for (int n = 1;; ++n) {
        auto *button = dialog.findChild<QRadioButton *>(name + QLatin1Char('_') + QString::number(n));
        if (!button)
            return QVariant();
        if (button->isChecked())
            return n;
    }
}
}

// The dialog alone, on a monitor with colleagues of its own.
class tst_ConfigDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void loadedValues_data();
    void loadedValues();
    void dependentWidgets_data();
    void dependentWidgets();
    void missingWidgetIsLoggedAndSkipped_data();
    void missingWidgetIsLoggedAndSkipped();
    void peers_data();
    void peers();
    void logoutClearsPasswordAndRestarts();
    void cancelForgetsOptionsFirstSet();
    void buildConstants();
    void hotKey_data();
    void hotKey();

private:
    User *colleague(const QString &id, const QString &extension, const QString &first, const QString &last);

    std::vector<std::unique_ptr<User>> users;
};

void tst_ConfigDialog::init()
{
    Settings *settings = Settings::instance();
    for (const QString &key : optionKeys + QStringList{"peers/u1", "peers/u2", "peers/u3", "loginDialog/password",
                                                      Click2DialComponent::hotKeySetting})
        settings->removeValueForKey(key);
}

void tst_ConfigDialog::cleanup()
{
    users.clear();
}

User *tst_ConfigDialog::colleague(const QString &id, const QString &extension, const QString &first,
                                  const QString &last)
{
    auto user = std::make_unique<User>();
    user->buildFromVariantMap({{"id", id}, {"extension", extension}, {"firstname", first}, {"lastname", last}});
    users.push_back(std::move(user));
    return users.back().get();
}

void tst_ConfigDialog::loadedValues_data()
{
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<QVariantMap>("expected");
    // The monitor's own: top right, on the second screen where there is one.
    const QVariantMap defaults = {{"stickyBuddyListEnabled", true}, {"stickyBuddyListStayOnTop", true},
                                  {"stickyBuddyListHideOnMouseOver", true}, {"stickyBuddyListHorizontal", true},
                                  {"stickyBuddyListAutoPosition", true}, {"stickyBuddyListHideMs", 1000},
                                  {"stickyBuddyListScreen", std::min(2, int(QGuiApplication::screens().size()))},
                                  {"stickyBuddyListColumns", 1}, {"stickyBuddyListOpacity", 0},
                                  {"stickyBuddyListCorner", 3}};
    QTest::newRow("nothing stored") << QVariantMap() << defaults;

    QVariantMap mine = {{"stickyBuddyListEnabled", false}, {"stickyBuddyListStayOnTop", false},
                        {"stickyBuddyListHideOnMouseOver", false}, {"stickyBuddyListHorizontal", false},
                        {"stickyBuddyListAutoPosition", false}, {"stickyBuddyListHideMs", 2500},
                        {"stickyBuddyListColumns", 3}, {"stickyBuddyListOpacity", 40}, {"stickyBuddyListCorner", 7}};
    QVariantMap mineShown = mine;
    mineShown.insert("stickyBuddyListScreen", defaults.value("stickyBuddyListScreen"));
    QTest::newRow("stored") << mine << mineShown;

    // The form's range clips on screen only: what is stored stays.
    QVariantMap outside = defaults;
    outside.insert("stickyBuddyListHideMs", 5);
    outside.insert("stickyBuddyListColumns", 0);
    QVariantMap clipped = defaults;
    clipped.insert("stickyBuddyListHideMs", 100);
    QTest::newRow("outside the range") << outside << clipped;
    // The form's maximum (99) applies while loading; the bound one (100) only afterwards.
    QVariantMap above = defaults;
    above.insert("stickyBuddyListColumns", 100);
    QVariantMap aboveShown = defaults;
    aboveShown.insert("stickyBuddyListColumns", 99);
    QTest::newRow("columns above the form's range") << above << aboveShown;
}

void tst_ConfigDialog::loadedValues()
{
    QFETCH(QVariantMap, stored);
    QFETCH(QVariantMap, expected);
    Settings *settings = Settings::instance();
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        settings->setValueForKey(it.key(), it.value());

    ConfigDialog dialog;
    QSignalSpy changes(settings, &Settings::settingChanged);
    dialog.initialise();
    // Loading writes nothing, clipped values included.
    QCOMPARE(changes.count(), 0);
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        QCOMPARE(settings->getValueForKey(it.key()), it.value());

    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QCOMPARE(shown(dialog, it.key()), it.value());
    QCOMPARE(dialog.findChild<QWidget *>("buddyListConfigWidget")->isEnabled(),
             expected.value("stickyBuddyListEnabled").toBool());
}

void tst_ConfigDialog::dependentWidgets_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QStringList>("enabled");
    QTest::addColumn<QStringList>("disabled");
    QTest::newRow("horizontal") << "stickyBuddyListHorizontal" << true
                                << QStringList{"stickyBuddyListCorner_2", "stickyBuddyListCorner_6"}
                                << QStringList{"stickyBuddyListCorner_4", "stickyBuddyListCorner_8"};
    QTest::newRow("vertical") << "stickyBuddyListHorizontal" << false
                              << QStringList{"stickyBuddyListCorner_4", "stickyBuddyListCorner_8"}
                              << QStringList{"stickyBuddyListCorner_2", "stickyBuddyListCorner_6"};
    QTest::newRow("hide on mouse over") << "stickyBuddyListHideOnMouseOver" << true
                                        << QStringList{"stickyBuddyListHideMs"} << QStringList();
    QTest::newRow("stay while hovered") << "stickyBuddyListHideOnMouseOver" << false << QStringList()
                                        << QStringList{"stickyBuddyListHideMs"};
    // Corner and screen count only where the monitor places itself (automatic positioning off).
    QTest::newRow("placed by the monitor") << "stickyBuddyListAutoPosition" << false
                                    << QStringList{"buddyListDisplayCornerGroup", "stickyBuddyListScreen",
                                                   "stickyBuddyListHorizontal", "stickyBuddyListColumns"}
                                    << QStringList();
    QTest::newRow("placed by the user") << "stickyBuddyListAutoPosition" << true
                                          << QStringList{"stickyBuddyListHorizontal", "stickyBuddyListColumns"}
                                          << QStringList{"buddyListDisplayCornerGroup", "stickyBuddyListScreen"};
    QTest::newRow("monitor off") << "stickyBuddyListEnabled" << false << QStringList()
                                 << QStringList{"buddyListConfigWidget"};
}

void tst_ConfigDialog::dependentWidgets()
{
    QFETCH(QString, option);
    QFETCH(bool, checked);
    QFETCH(QStringList, enabled);
    QFETCH(QStringList, disabled);
    // The monitor places itself, so the corners count; and the opposite first, so each case is
    // a change.
    Settings::instance()->setValueForKey("stickyBuddyListAutoPosition", false);
    Settings::instance()->setValueForKey(option, !checked);
    ConfigDialog dialog;
    dialog.initialise();
    dialog.findChild<QCheckBox *>(option)->click();
    QCOMPARE(Settings::instance()->getValueForKey(option), QVariant(checked));
    for (const QString &name : enabled)
        QVERIFY2(dialog.findChild<QWidget *>(name)->isEnabled(), qPrintable(name));
    for (const QString &name : disabled)
        QVERIFY2(!dialog.findChild<QWidget *>(name)->isEnabled(), qPrintable(name));
}

void tst_ConfigDialog::missingWidgetIsLoggedAndSkipped_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("check box") << "bool" << "ERROR   cti Could not set BOOL config for noSuchOption checkbox not found!";
    QTest::newRow("spin box") << "int" << "ERROR   cti Could not set INT config for noSuchOption spinbox not found!";
    QTest::newRow("slider") << "slider" << "ERROR   cti Could not set INT config for noSuchOption spinbox not found!";
}

void tst_ConfigDialog::missingWidgetIsLoggedAndSkipped()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QLoggingCategory::setFilterRules(QStringLiteral("cti.debug=true"));
    ConfigDialog dialog;
    dialog.initialise();
    QSignalSpy changes(Settings::instance(), &Settings::settingChanged);
    QTest::ignoreMessage(QtDebugMsg, qPrintable(message));
    if (kind == "bool")
        dialog.bindBoolKey("noSuchOption", true);
    else if (kind == "int")
        dialog.bindIntKey("noSuchOption", 1, 1, 10);
    else
        dialog.bindIntKeyToSlider("noSuchOption", 1, 10);
    QLoggingCategory::setFilterRules(QString());
    QCOMPARE(changes.count(), 0);
    // The rest still works.
    dialog.findChild<QCheckBox *>("stickyBuddyListStayOnTop")->click();
    QCOMPARE(changes.count(), 1);
}

void tst_ConfigDialog::peers_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
}

void tst_ConfigDialog::peers()
{
    QFETCH(bool, accept);
    Settings *settings = Settings::instance();
    settings->setValueForKey("peers/u2", false);
    StickyBuddyList monitor;
    monitor.addPeer(colleague("u2", "202", "Kim", "Smith"));
    monitor.addPeer(colleague("u1", "201", "<b>Al", "& Co"));
    monitor.addPeer(colleague("u3", "203", "Lou", ""));

    ConfigDialog dialog;
    dialog.initialise();
    auto *list = dialog.findChild<QListWidget *>("listWidget");
    QCOMPARE(list->count(), 3);
    // By extension; the monitor's own text, as typed.
    QCOMPARE(list->item(0)->text(), monitor.getPeerText("201"));
    QCOMPARE(list->item(0)->text(), QStringLiteral("201 <.& Co"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("202 K.Smit"));
    QCOMPARE(list->item(0)->checkState(), Qt::Checked);
    QCOMPARE(list->item(1)->checkState(), Qt::Unchecked);
    // The full name as the tool tip, never read as markup.
    QTextDocument tip;
    tip.setHtml(list->item(0)->toolTip());
    QCOMPARE(tip.toPlainText(), QStringLiteral("<b>Al & Co"));

    QSignalSpy changes(settings, &Settings::settingChanged);
    list->item(0)->setCheckState(Qt::Unchecked);
    list->item(1)->setCheckState(Qt::Checked);
    QCOMPARE(changes.count(), 0);
    if (accept)
        dialog.accept();
    else
        dialog.reject();
    QCOMPARE(settings->getValueForKey("peers/u1", true).toBool(), !accept);
    QCOMPARE(settings->getValueForKey("peers/u2", false).toBool(), accept);
    QCOMPARE(settings->getValueForKey("peers/u3", true).toBool(), true);
}

void tst_ConfigDialog::logoutClearsPasswordAndRestarts()
{
    Settings *settings = Settings::instance();
    settings->setValueForKey("loginDialog/password", "secret");
    settings->setValueForKey("stickyBuddyListColumns", 2);
    ConfigDialog dialog;
    dialog.initialise();
    settings->saveSnapshot();
    dialog.findChild<QSpinBox *>("stickyBuddyListColumns")->setValue(4);

    QStringList events;
    QString startedProgram;
    dialog.setQuitter([&] { events << "quit"; });
    dialog.setLauncher([&](const QString &program, const QStringList &) {
        events << "launch";
        startedProgram = program;
        return true;
    });
    auto *logout = dialog.findChild<QPushButton *>("forgetLoginDataPushButton");
    logout->click();
    QCOMPARE(events, (QStringList{"quit", "launch"}));
    QCOMPARE(startedProgram, QCoreApplication::applicationFilePath());
    QVERIFY(!logout->isEnabled());
    QCOMPARE(settings->getValueForKey("stickyBuddyListColumns").toInt(), 2);
    QCOMPARE(settings->getValueForKey("loginDialog/password").toString(), QString());

    // The opener's roll-back on the way out keeps the password cleared.
    settings->rollBackToSnapShot();
    QCOMPARE(settings->getValueForKey("loginDialog/password").toString(), QString());
}

// A fresh user's options have nothing stored: Cancel brings back the defaults, not what was tried.
void tst_ConfigDialog::cancelForgetsOptionsFirstSet()
{
    Settings *settings = Settings::instance();
    const QStringList options{"stickyBuddyListHorizontal", "stickyBuddyListCorner", "stickyBuddyListOpacity"};
    for (const QString &key : options)
        settings->removeValueForKey(key);
    ConfigDialog dialog;
    dialog.initialise();
    settings->saveSnapshot();
    dialog.findChild<QCheckBox *>(options.at(0))->setChecked(false);
    dialog.findChild<QRadioButton *>(options.at(1) + "_1")->setChecked(true);
    dialog.findChild<QSlider *>(options.at(2))->setValue(40);
    QCOMPARE(settings->getValueForKey(options.at(2)).toInt(), 40);
    settings->setValueForKey("peers/u9", true); // a colleague seen meanwhile
    QSignalSpy changes(settings, &Settings::settingChanged);
    settings->rollBackToSnapShot();
    for (const QString &key : options) {
        QVERIFY2(!settings->getValueForKey(key).isValid(), qPrintable(key));
        QVERIFY(std::any_of(changes.cbegin(), changes.cend(), [&](const QList<QVariant> &change) {
            return change.at(0) == key && !change.at(1).isValid();
        }));
    }
    QVERIFY(settings->getValueForKey("peers/u9").toBool());
}

void tst_ConfigDialog::buildConstants()
{
    QVERIFY2(QRegularExpression("^\\d+\\.\\d+\\.\\d+\\.\\d+$").match(BuildInfo::version()).hasMatch(),
             qPrintable(BuildInfo::version()));
    QVERIFY2(QRegularExpression("^([0-9a-f]{12}|unknown)$").match(BuildInfo::reference()).hasMatch(),
             qPrintable(BuildInfo::reference()));
    QVERIFY2(QRegularExpression("^(\\d{4}-\\d{2}-\\d{2}|unknown)$").match(BuildInfo::releaseDate()).hasMatch(),
             qPrintable(BuildInfo::releaseDate()));
    QVERIFY(!BuildInfo::branch().isEmpty());

    ConfigDialog dialog;
    QCOMPARE(dialog.findChild<QLabel *>("versionLabel")->text(), BuildInfo::version());
    QCOMPARE(dialog.findChild<QLabel *>("gitReferenceLabel")->text(), BuildInfo::reference());
    QCOMPARE(dialog.findChild<QLabel *>("releaseDateLabel")->text(), BuildInfo::releaseDate());
    QCOMPARE(dialog.findChild<QLabel *>("branchLabel")->text(), BuildInfo::branch());
}



void tst_ConfigDialog::hotKey_data()
{
    QTest::addColumn<QString>("before"); // stored when the dialog opens ("": nothing)
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored"); // after the edit ("": nothing)
    QTest::addColumn<bool>("hint");
    QTest::newRow("with modifiers") << "" << "Ctrl+Alt+D" << "Ctrl+Alt+D" << false;
    QTest::newRow("first combination only") << "" << "Ctrl+Alt+D, X" << "Ctrl+Alt+D" << false;
    QTest::newRow("function key alone") << "" << "F9" << "F9" << false;
    QTest::newRow("replaces a stored one") << "Meta+F2" << "Alt+F3" << "Alt+F3" << false;
    // Grabbed keys are lost to every program: no plain keys.
    QTest::newRow("letter") << "" << "A" << "" << true;
    QTest::newRow("shifted letter") << "Meta+F2" << "Shift+A" << "Meta+F2" << true;
    QTest::newRow("backspace") << "" << "Backspace" << "" << true;
}

void tst_ConfigDialog::hotKey()
{
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(bool, hint);
    Settings *settings = Settings::instance();
    const QString key = Click2DialComponent::hotKeySetting;
    if (!before.isEmpty())
        settings->setValueForKey(key, before);
    Click2DialComponent component;
    component.initialise();
    ConfigDialog dialog;
    dialog.setClickToDial(&component);
    dialog.initialise();
    auto *edit = dialog.findChild<QKeySequenceEdit *>(QStringLiteral("clickToDialHotKey"));
    auto *status = dialog.findChild<QLabel *>(QStringLiteral("clickToDialStatusLabel"));
    QCOMPARE(edit->keySequence(), before.isEmpty() ? Click2DialComponent::defaultHotKey() : QKeySequence(before));
    QCOMPARE(status->text(), QStringLiteral("Click-to-dial is not available on this desktop."));

    edit->setKeySequence(QKeySequence(typed));
    emit edit->editingFinished();
    QCOMPARE(settings->getValueForKey(key).toString(), stored);
    QCOMPARE(component.hotKey(), stored.isEmpty() ? Click2DialComponent::defaultHotKey() : QKeySequence(stored));
    QCOMPARE(edit->keySequence(), component.hotKey());
    QCOMPARE(status->text().startsWith(QLatin1String("Choose a combination")), hint);

    // Cancel: what was stored before, or nothing, and the component follows.
    dialog.reject();
    QCOMPARE(settings->getValueForKey(key).toString(), before);
    QCOMPARE(settings->getValueForKey(key).isValid(), !before.isEmpty());
    QCOMPARE(component.hotKey(), before.isEmpty() ? Click2DialComponent::defaultHotKey() : QKeySequence(before));
}

QTEST_MAIN(tst_ConfigDialog)
#include "tst_configdialog.moc"
