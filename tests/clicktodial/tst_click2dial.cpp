#include "click2dialcomponent.h"
#include "connectedsimulator.h"
#include "desktopkeynames.h"
#include "desktopsession.h"
#include "globalshortcut.h"
#include "settings.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

Q_DECLARE_METATYPE(DesktopSession::Kind)
Q_DECLARE_METATYPE(DesktopSession::Desktop)

// Click-to-dial without a desktop hot key (offscreen): the bookkeeping of the shortcut, the menu
// against the simulator, and the macOS copy path against a stub scripting host.
class tst_Click2Dial : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void shortcutBookkeeping();
    void withoutADisplayStaysInert();
    void sessionDecidesTheRoute_data();
    void sessionDecidesTheRoute();
    void keyNotations_data();
    void keyNotations();
    void menu_data();
    void menu();
    void secondPressWhileTheMenuIsOpen();
    void linksWaitTheirTurn();
    void scriptHost_data();
    void scriptHost();

private:
    //! Runs what in each menu the component opens, from open() on until it is idle again, and
    //! answers the entries of the menus.
    QStringList whileMenuOpen(Click2DialComponent &component, const std::function<void(QMenu *)> &what,
                              const std::function<void()> &open = {});
    QStringList dialled() { return sim.sent(QStringLiteral("dialNumber"), QStringLiteral("number")); }

    ConnectedSimulator sim{"127.0.0.106"};
    QTemporaryDir dir;
};

void tst_Click2Dial::initTestCase()
{
    QVERIFY(dir.isValid());
    sim.logIn(QStringLiteral("anna"), QStringLiteral("secret"));
}

QStringList tst_Click2Dial::whileMenuOpen(Click2DialComponent &component, const std::function<void(QMenu *)> &what,
                                          const std::function<void()> &open)
{
    QStringList entries;
    // The menu runs its own loop: acted on from inside it, once it is up.
    const auto shown = connect(&component, &Click2DialComponent::menuAboutToShow, this, [&] {
        QTimer::singleShot(0, this, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction *action : menu->actions())
                entries << action->text();
            what(menu);
            // A menu the test did not expect must not hold it up.
            if (menu->isVisible())
                menu->close();
        });
    });
    if (open)
        open();
    else
        component.onDialGlobalHotKey();
    [&] { QTRY_VERIFY(!component.isMenuOpen() && component.waitingLinks().isEmpty()); }();
    disconnect(shown);
    return entries;
}

void tst_Click2Dial::shortcutBookkeeping()
{
    GlobalShortCut shortcut;
    QSignalSpy activated(&shortcut, &GlobalShortCut::activated);
    const quint32 before = GlobalShortCut::lastHotKeyId();

    // Refused here (no desktop): the id is spent, the tables stay as they were, the sequence is kept.
    QVERIFY(!shortcut.setShortcut(QKeySequence(Qt::AltModifier | Qt::Key_F1)));
    QCOMPARE(GlobalShortCut::lastHotKeyId(), before + 1);
    QVERIFY(GlobalShortCut::hotKeyIdsByKey().isEmpty());
    QVERIFY(GlobalShortCut::hotKeyRefsById().isEmpty());
    QCOMPARE(GlobalShortCut::lastRegistering(), &shortcut);
    QCOMPARE(shortcut.shortcut(), QKeySequence(Qt::AltModifier | Qt::Key_F1));

    // An unknown id finds the pair (0, 0): it activates only an instance whose registered values
    // are both 0, and only while enabled.
    QVERIFY(!GlobalShortCut::dispatchHotKeyId(4711));
    shortcut.setEnabled();
    QVERIFY(GlobalShortCut::dispatchHotKeyId(4711));
    QVERIFY(!shortcut.activateShortcut(67, 8));
    shortcut.setDisabled();
    QVERIFY(!shortcut.isEnabled());
    QVERIFY(!shortcut.activateShortcut(0, 0));
    QCOMPARE(activated.size(), 1);

    QTest::ignoreMessage(QtWarningMsg, "GlobalShortCut failed to unregister: \"Alt+F1\"");
    QVERIFY(!shortcut.unsetShortcut());
    QVERIFY(shortcut.shortcut().isEmpty());
}

void tst_Click2Dial::withoutADisplayStaysInert()
{
    Click2DialComponent component;
    QSignalSpy state(&component, &Click2DialComponent::hotKeyStateChanged);
    QVERIFY(!GlobalShortCut::isAvailable());
    QVERIFY(GlobalShortCut::unavailableReason().contains(QLatin1String("offscreen")));
    QVERIFY(!component.initialise());
    QCOMPARE(state.size(), 1);
    QCOMPARE(component.hotKey(), Click2DialComponent::defaultHotKey());
    // The option still follows the settings, so the dialog's choice is there once a desktop is.
    Settings::instance()->setValueForKey(Click2DialComponent::hotKeySetting, QStringLiteral("Ctrl+Alt+D"));
    Settings::instance()->setValueForKey(QStringLiteral("dialPrefix"), QString());
    QCOMPARE(state.size(), 2);
    QCOMPARE(component.hotKey(), QKeySequence(QStringLiteral("Ctrl+Alt+D")));
    Settings::instance()->removeValueForKey(Click2DialComponent::hotKeySetting);
    QCOMPARE(component.hotKey(), Click2DialComponent::defaultHotKey());
}

void tst_Click2Dial::sessionDecidesTheRoute_data()
{
    QTest::addColumn<QString>("sessionType");
    QTest::addColumn<QString>("waylandDisplay");
    QTest::addColumn<QString>("currentDesktop");
    QTest::addColumn<DesktopSession::Kind>("kind");
    QTest::addColumn<DesktopSession::Desktop>("desktop");
    using Kind = DesktopSession::Kind;
    using Desktop = DesktopSession::Desktop;
    // Headless here: what decides is the session's environment, not the display connection.
    QTest::newRow("no session") << "" << "" << "" << Kind::None << Desktop::Other;
    QTest::newRow("Wayland, GNOME") << "wayland" << "wayland-0" << "GNOME" << Kind::Wayland << Desktop::Gnome;
    QTest::newRow("only the Wayland display") << "" << "wayland-1" << "ubuntu:GNOME" << Kind::Wayland << Desktop::Gnome;
    QTest::newRow("Wayland session word, upper case") << "Wayland" << "" << "KDE" << Kind::Wayland << Desktop::Kde;
    QTest::newRow("X11 session with a nested compositor") << "x11" << "wayland-9" << "XFCE" << Kind::None
                                                          << Desktop::Xfce;
    QTest::newRow("another desktop") << "wayland" << "wayland-0" << "X-Cinnamon" << Kind::Wayland << Desktop::Other;
}

void tst_Click2Dial::sessionDecidesTheRoute()
{
    QFETCH(QString, sessionType);
    QFETCH(QString, waylandDisplay);
    QFETCH(QString, currentDesktop);
    QFETCH(DesktopSession::Kind, kind);
    QFETCH(DesktopSession::Desktop, desktop);
    const auto set = [](const char *name, const QString &value) {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value.toUtf8());
    };
    set("XDG_SESSION_TYPE", sessionType);
    set("WAYLAND_DISPLAY", waylandDisplay);
    set("XDG_CURRENT_DESKTOP", currentDesktop);
    const auto restore = qScopeGuard([] {
        qunsetenv("XDG_SESSION_TYPE");
        qunsetenv("WAYLAND_DISPLAY");
        qunsetenv("XDG_CURRENT_DESKTOP");
    });
    QCOMPARE(DesktopSession::kind(), kind);
    QCOMPARE(DesktopSession::desktop(), desktop);

    Click2DialComponent component;
    component.initialise();
    if (kind == DesktopSession::Kind::Wayland) {
        // Alt+F1 is the desktops' own there; no bus, so no portal: the desktop's shortcut.
        QCOMPARE(component.hotKey(), QKeySequence(Qt::ControlModifier | Qt::AltModifier | Qt::Key_P));
        QTRY_COMPARE(component.route(), Click2DialComponent::Route::DesktopShortcut);
        QVERIFY(!component.portalProblem().isEmpty());
        QVERIFY(component.dialSelectionCommand().endsWith(QLatin1String(" --dial-selection")));
    } else {
        QCOMPARE(component.hotKey(), QKeySequence(Qt::AltModifier | Qt::Key_F1));
        QCOMPARE(component.route(), Click2DialComponent::Route::Unavailable);
    }
    QVERIFY(!component.hotKeyActive());
}

void tst_Click2Dial::keyNotations_data()
{
    QTest::addColumn<int>("combination");
    QTest::addColumn<QString>("portal");
    QTest::addColumn<QString>("gtk");
    QTest::newRow("Alt+F1") << int(Qt::AltModifier | Qt::Key_F1) << "ALT+F1" << "<Alt>F1";
    QTest::newRow("letters in lower case") << int(Qt::ControlModifier | Qt::AltModifier | Qt::Key_P) << "CTRL+ALT+p"
                                           << "<Control><Alt>p";
    QTest::newRow("logo key, named key") << int(Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_PageDown)
                                         << "SHIFT+LOGO+Page_Down" << "<Shift><Super>Page_Down";
    QTest::newRow("keypad digit") << int(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_5) << "CTRL+KP_5"
                                  << "<Control>KP_5";
    QTest::newRow("digit") << int(Qt::ControlModifier | Qt::Key_5) << "CTRL+5" << "<Control>5";
    QTest::newRow("F35") << int(Qt::Key_F35) << "F35" << "F35";
    // Nothing the desktops could take: no wish at all rather than a wrong one.
    QTest::newRow("lone modifier") << int(Qt::ControlModifier | Qt::Key_Alt) << "" << "";
    QTest::newRow("key without a name here") << int(Qt::AltModifier | Qt::Key_LaunchMail) << "" << "";
    QTest::newRow("none") << 0 << "" << "";
}

void tst_Click2Dial::keyNotations()
{
    QFETCH(int, combination);
    QFETCH(QString, portal);
    QFETCH(QString, gtk);
    const QKeySequence sequence = combination ? QKeySequence(combination) : QKeySequence();
    QCOMPARE(DesktopKeyNames::portalTrigger(sequence), portal);
    QCOMPARE(DesktopKeyNames::gtkAccelerator(sequence), gtk);
}

void tst_Click2Dial::menu_data()
{
    QTest::addColumn<QString>("marked");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<bool>("link"); // offered for a link instead of by the hot key
    QTest::addColumn<QList<int>>("keys"); // what the user presses in the menu, 0 a click on "Dial"
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("dialled");
    const QStringList offer{"Dial: 089123456", "Abort"};
    const QStringList none;
    const QList<int> nothing;
    const QList<int> enter{Qt::Key_Return};
    QTest::newRow("enter dials") << "Tel. 089 123456" << "" << false << enter << offer << QStringList{"089123456"};
    QTest::newRow("escape aborts") << "Tel. 089 123456" << "" << false << QList<int>{Qt::Key_Escape} << offer << none;
    QTest::newRow("abort entry") << "Tel. 089 123456" << "" << false << QList<int>{Qt::Key_Down, Qt::Key_Return}
                                 << offer << none;
    QTest::newRow("dial prefix") << "+49 89 123456" << "0" << false << enter << QStringList{"Dial: 0089123456", "Abort"}
                                 << QStringList{"0089123456"};
    QTest::newRow("Arabic-Indic digits") << QString::fromUtf8("\u0660\u0668\u0669 \u0661\u0662\u0663\u0664\u0665\u0666")
                                         << "0" << false << enter << QStringList{"Dial: 0089123456", "Abort"}
                                         << QStringList{"0089123456"};
    QTest::newRow("nothing marked") << "" << "" << false << nothing << none << none;
    QTest::newRow("no digit") << "Mit freundlichen Grüßen" << "0" << false << nothing << none << none;
    QTest::newRow("a whole document") << QString(Click2DialComponent::maxMarkedLength + 1, QLatin1Char('1')) << ""
                                      << false << nothing << none << none;
    // A link may come while the user types elsewhere: only the arrow keys or the mouse choose.
    QTest::newRow("link waits for a choice")
        << "089 123456" << "" << true
        << QList<int>{Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Home,
                      Qt::Key_End, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Return}
        << offer << none;
    QTest::newRow("link chosen by arrow") << "089 123456" << "" << true << QList<int>{Qt::Key_Down, Qt::Key_Return}
                                          << offer << QStringList{"089123456"};
    QTest::newRow("link chosen by mouse") << "089 123456" << "" << true << QList<int>{0} << offer
                                          << QStringList{"089123456"};
}

void tst_Click2Dial::menu()
{
    QFETCH(QString, marked);
    QFETCH(QString, prefix);
    QFETCH(bool, link);
    QFETCH(QList<int>, keys);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, dialled);
    Settings::instance()->setValueForKey(QStringLiteral("dialPrefix"), prefix);
    QApplication::clipboard()->setText(marked);
    Click2DialComponent component;

    bool openWithoutChoice = false;
    const QStringList shown = whileMenuOpen(
        component,
        [&](QMenu *menu) {
            QVERIFY(component.isMenuOpen());
            QCOMPARE(component.numberToDial(), QString(entries.value(0)).remove(QStringLiteral("Dial: ")));
            for (int key : keys) {
                if (key)
                    QTest::keyClick(menu, Qt::Key(key));
                else
                    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions().first()).center());
            }
            openWithoutChoice = menu->isVisible() && !menu->activeAction();
        },
        [&] { link ? component.offerLink(marked) : component.onDialGlobalHotKey(); });
    QCOMPARE(shown, entries);
    QCOMPARE(openWithoutChoice, link && dialled.isEmpty());
    QVERIFY(!component.isMenuOpen());
    QVERIFY(component.numberToDial().isEmpty());
    QCOMPARE(this->dialled(), dialled);
    Settings::instance()->removeValueForKey(QStringLiteral("dialPrefix"));
}

void tst_Click2Dial::secondPressWhileTheMenuIsOpen()
{
    QApplication::clipboard()->setText(QStringLiteral("0711 5550123"));
    Click2DialComponent component;
    QSignalSpy offered(&component, &Click2DialComponent::menuAboutToShow);
    whileMenuOpen(component, [&](QMenu *menu) {
        component.onDialGlobalHotKey(); // returns at once, no second menu
        QCOMPARE(offered.size(), 1);
        QTest::keyClick(menu, Qt::Key_Escape);
    });
    QCOMPARE(offered.size(), 1);
    // Idle again: the next press offers again.
    whileMenuOpen(component, [](QMenu *menu) { QTest::keyClick(menu, Qt::Key_Escape); });
    QCOMPARE(offered.size(), 2);
    QCOMPARE(dialled(), QStringList());
}

void tst_Click2Dial::linksWaitTheirTurn()
{
    QApplication::clipboard()->setText(QStringLiteral("0711 5550123"));
    Click2DialComponent component;
    // Links that come while the hot key's menu is open, and one after another, each get a menu
    // of their own in turn; the last one is dialled.
    const QStringList shown = whileMenuOpen(component, [&](QMenu *menu) {
        const QString number = component.numberToDial();
        if (number == QLatin1String("07115550123")) {
            component.offerLink(QStringLiteral("030 111"));
            component.offerLink(QStringLiteral("030 222"));
        } else if (number == QLatin1String("030111")) {
            component.offerLink(QStringLiteral("030 333"));
        }
        if (number != QLatin1String("030333"))
            return QTest::keyClick(menu, Qt::Key_Escape);
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QCOMPARE(shown.filter(QStringLiteral("Dial: ")),
             (QStringList{"Dial: 07115550123", "Dial: 030111", "Dial: 030222", "Dial: 030333"}));
    QCOMPARE(dialled(), QStringList{QStringLiteral("030333")});
}

void tst_Click2Dial::scriptHost_data()
{
    QTest::addColumn<QString>("onCopy"); // what the stub does with the copy script
    QTest::addColumn<bool>("copyFinishes");
    QTest::newRow("copies") << "true" << true;
    QTest::newRow("hangs") << "sleep 30" << false;
}

void tst_Click2Dial::scriptHost()
{
    QFETCH(QString, onCopy);
    QFETCH(bool, copyFinishes);
    // The stub keeps each script it is given with its arguments; the activation lingers, so a
    // wait for it would show.
    const QString stub = dir.filePath(QStringLiteral("host"));
    QFile file(stub);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QStringLiteral("#!/bin/sh\n"
                              "n=$(ls '%1' | grep -c '^script')\n"
                              "echo \"$*\" > \"%1/args$n\"\n"
                              "cat > \"%1/script$n\"\n"
                              "if grep -q activate \"%1/script$n\"; then sleep 10; else %2; fi\n")
                   .arg(dir.path(), onCopy)
                   .toUtf8());
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (const QString &old : QDir(dir.path()).entryList({QStringLiteral("script*"), QStringLiteral("args*")}))
        QFile::remove(dir.filePath(old));
    Click2DialComponent::setScriptHost(stub);
    QApplication::clipboard()->setText(QStringLiteral("Tel. 089 123456"));

    Click2DialComponent component;
    QElapsedTimer took;
    took.start();
    QCOMPARE(component.copyThroughScriptHost(), QStringLiteral("Tel. 089 123456"));
    // Neither the lingering activation nor a hanging copy holds the client for long.
    QVERIFY2(took.elapsed() < (copyFinishes ? 1500 : 2000 + 1500), qPrintable(QString::number(took.elapsed())));

    auto read = [&](const QString &name) {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    if (copyFinishes)
        QCOMPARE(read(QStringLiteral("script0")), Click2DialComponent::copyScript);
    QCOMPARE(read(QStringLiteral("args0")), QByteArray("-l AppleScript\n"));
    QTRY_COMPARE(read(QStringLiteral("script1")), Click2DialComponent::activationScript);
    QCOMPARE(read(QStringLiteral("args1")), QByteArray("-l AppleScript\n"));
    Click2DialComponent::setScriptHost(QStringLiteral("/usr/bin/osascript"));
}

QTEST_MAIN(tst_Click2Dial)
#include "tst_click2dial.moc"
