#include "click2dialcomponent.h"
#include "configdialog.h"
#include "gnomeshortcutwriter.h"
#include "privatebus.h"
#include "privategsettings.h"
#include "standinportal.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// Click-to-dial as a Wayland session offers it, with the options that say what works: never the
// grab; the hot key from the desktop's portal (a stand-in on a private session bus), else the
// desktop's own shortcut, added to GNOME's keyboard settings only on the user's click.
Q_DECLARE_METATYPE(Click2DialComponent::Route)

class tst_WaylandClickToDial : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void portal_data();
    void portal();
    void withoutPortalTheDesktopsShortcut_data();
    void withoutPortalTheDesktopsShortcut();
    void gnomeShortcutAddedOnlyOnClick();

private:
    QString status(ConfigDialog &dialog) const
    {
        return dialog.findChild<QLabel *>(QStringLiteral("clickToDialStatusLabel"))->text();
    }
    QLabel *commandLabel(ConfigDialog &dialog) const
    {
        return dialog.findChild<QLabel *>(QStringLiteral("clickToDialCommandLabel"));
    }
    QPushButton *addButton(ConfigDialog &dialog) const
    {
        return dialog.findChild<QPushButton *>(QStringLiteral("clickToDialAddShortcutButton"));
    }

    QTemporaryDir home;
    bool gsettings = false;
    PrivateBus bus{"DBUS_SESSION_BUS_ADDRESS"};
    bool busStarted = false;
};

void tst_WaylandClickToDial::initTestCase()
{
    // What a GNOME or Plasma session on Wayland sets; the client itself runs offscreen here.
    qputenv("XDG_SESSION_TYPE", "wayland");
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    QVERIFY(home.isValid());
    gsettings = !PrivateGSettings::missing()
        && PrivateGSettings::compile(home.filePath(QStringLiteral("schemas")),
                                     QByteArray(PrivateGSettings::listSchemaXml) + PrivateGSettings::entrySchemaXml);
    PrivateGSettings::use(home.path(), home.filePath(QStringLiteral("schemas")));
    // Before the client's first look at the session bus.
    busStarted = !PrivateBus::missing() && bus.start().isEmpty();
}

void tst_WaylandClickToDial::portal_data()
{
    QTest::addColumn<QString>("fault"); // how the stand-in strays from a well-behaved portal
    QTest::addColumn<Click2DialComponent::Route>("route");
    QTest::addColumn<QString>("said");
    QTest::newRow("gives the hot key") << "" << Click2DialComponent::Route::DesktopHotKey
                                       << "Hot key from the desktop: Ctrl+Alt+P. Mark a number";
    QTest::newRow("user cancels") << "user cancels" << Click2DialComponent::Route::DesktopShortcut
                                  << "Desktop shortcut: run this command";
    QTest::newRow("no global shortcuts") << "no global shortcuts" << Click2DialComponent::Route::DesktopShortcut
                                         << "Desktop shortcut: run this command";
}

void tst_WaylandClickToDial::portal()
{
    QFETCH(QString, fault);
    QFETCH(Click2DialComponent::Route, route);
    QFETCH(QString, said);
    if (!busStarted)
        QSKIP("needs dbus-daemon");
    qputenv("XDG_CURRENT_DESKTOP", "KDE");
    StandInPortal portal(bus.serviceConnection(), fault);
    Click2DialComponent component;
    component.initialise();
    QTRY_COMPARE(component.route(), route);
    // Ctrl+Alt+P wished for: the desktops keep Alt+F1 for themselves.
    QCOMPARE(portal.registered, QStringList{Click2DialComponent::applicationId});
    ConfigDialog dialog;
    dialog.setClickToDial(&component);
    dialog.initialise();
    QVERIFY2(status(dialog).startsWith(said), qPrintable(status(dialog)));
    QCOMPARE(commandLabel(dialog)->isHidden(), route == Click2DialComponent::Route::DesktopHotKey);
    if (route != Click2DialComponent::Route::DesktopHotKey) {
        QVERIFY(!component.portalProblem().isEmpty());
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("clickToDialStatusLabel"))->toolTip(),
                 component.portalProblem());
        return;
    }
    QCOMPARE(portal.bound.value(2), QStringLiteral("CTRL+ALT+p"));
    QVERIFY(component.hotKeyActive());

    // A press in any program: the marked text in the menu, Enter dials it (no server here).
    QGuiApplication::clipboard()->setText(QStringLiteral("Tel. 089 123456"));
    QSignalSpy offered(&component, &Click2DialComponent::menuAboutToShow);
    QString chosen;
    QTimer menuWatch;
    connect(&menuWatch, &QTimer::timeout, this, [&chosen] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            chosen = menu->activeAction() ? menu->activeAction()->text() : QString();
            menu->close();
        }
    });
    menuWatch.start(20);
    portal.press(portal.session, QStringLiteral("another shortcut"));
    portal.press(portal.session, Click2DialComponent::portalShortcutId);
    QTRY_COMPARE(offered.count(), 1);
    QCOMPARE(offered.first().first().toString(), QStringLiteral("089123456"));
    QTRY_COMPARE(chosen, QStringLiteral("Dial: 089123456"));
    QTRY_VERIFY(!component.isMenuOpen());
    QCOMPARE(offered.count(), 1);
}

void tst_WaylandClickToDial::withoutPortalTheDesktopsShortcut_data()
{
    QTest::addColumn<QString>("desktop");
    QTest::addColumn<QString>("where");
    QTest::addColumn<bool>("canAdd");
    QTest::newRow("GNOME") << "GNOME" << "Add it to the keyboard shortcuts" << true;
    QTest::newRow("KDE Plasma") << "KDE" << "System Settings, Keyboard, Shortcuts" << false;
    QTest::newRow("Xfce") << "XFCE" << "Settings, Keyboard, Application Shortcuts" << false;
    QTest::newRow("another") << "sway" << "custom shortcut in the desktop's keyboard settings" << false;
}

void tst_WaylandClickToDial::withoutPortalTheDesktopsShortcut()
{
    QFETCH(QString, desktop);
    QFETCH(QString, where);
    QFETCH(bool, canAdd);
    if (canAdd && !gsettings)
        QSKIP(PrivateGSettings::missing());
    qputenv("XDG_CURRENT_DESKTOP", desktop.toUtf8());
    Click2DialComponent component;
    component.initialise();
    // No portal on the bus: never the X11 grab, which hears only X11 windows.
    QTRY_COMPARE(component.route(), Click2DialComponent::Route::DesktopShortcut);
    QVERIFY(!component.hotKeyActive());
    ConfigDialog dialog;
    dialog.setClickToDial(&component);
    dialog.initialise();
    QVERIFY2(status(dialog).startsWith(QLatin1String("Desktop shortcut: run this command")), qPrintable(status(dialog)));
    QVERIFY2(status(dialog).contains(where), qPrintable(status(dialog)));
    QCOMPARE(commandLabel(dialog)->text(), Click2DialComponent::dialSelectionCommand());
    QVERIFY(!commandLabel(dialog)->isHidden());
    QCOMPARE(!addButton(dialog)->isHidden(), canAdd);
}

void tst_WaylandClickToDial::gnomeShortcutAddedOnlyOnClick()
{
    if (!gsettings)
        QSKIP(PrivateGSettings::missing());
    qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
    Click2DialComponent component;
    component.initialise();
    QTRY_COMPARE(component.route(), Click2DialComponent::Route::DesktopShortcut);
    const QString command = Click2DialComponent::dialSelectionCommand();
    {
        ConfigDialog dialog;
        dialog.setClickToDial(&component);
        dialog.initialise();
        dialog.show();
        // Looked at, not changed.
        QCOMPARE(PrivateGSettings::keyfile(home.path()), QByteArray("(absent)"));
        QTest::mouseClick(addButton(dialog), Qt::LeftButton);
        QCOMPARE(GnomeShortcutWriter::bindingOf(command), QStringLiteral("<Control><Alt>p"));
        QVERIFY2(status(dialog).contains(QLatin1String("Added: mark a number in any program and press Ctrl+Alt+P")),
                 qPrintable(status(dialog)));
        // Four wrapped lines in a tab sized for none: every line shows.
        auto *label = dialog.findChild<QLabel *>(QStringLiteral("clickToDialStatusLabel"));
        QTRY_VERIFY2(label->height() >= label->heightForWidth(label->width()),
                     qPrintable(QStringLiteral("%1 of %2").arg(label->height()).arg(label->heightForWidth(label->width()))));
        dialog.reject();
    }
    // Opened again: the desktop's shortcut as it stands.
    ConfigDialog dialog;
    dialog.setClickToDial(&component);
    dialog.initialise();
    QCOMPARE(status(dialog), QStringLiteral("Desktop shortcut: Ctrl+Alt+P runs this command:"));
    const QByteArray written = PrivateGSettings::keyfile(home.path());
    QVERIFY(written.contains("--dial-selection"));
    dialog.reject();
    QCOMPARE(PrivateGSettings::keyfile(home.path()), written);
}

QTEST_MAIN(tst_WaylandClickToDial)
#include "tst_waylandclicktodial.moc"
