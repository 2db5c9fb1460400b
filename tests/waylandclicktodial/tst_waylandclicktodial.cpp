#include "click2dialcomponent.h"
#include "configdialog.h"
#include "gnomeshortcutwriter.h"
#include "privategsettings.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

// Click-to-dial as a Wayland session offers it, with the options that say what works: no grab,
// the desktop's shortcut where no portal gives a hot key, added to GNOME's keyboard settings
// only on the user's click.
class tst_WaylandClickToDial : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
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
    // No session bus here, so no portal: never the X11 grab, which hears only X11 windows.
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
