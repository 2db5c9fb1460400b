#include "click2dialcomponent.h"
#include "configdialog.h"
#include "connectedsimulator.h"
#include "globalshortcut.h"
#include "settings.h"
#include "x11programs.h"

#include <QApplication>
#include <QClipboard>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QSignalSpy>
#include <QVector>
#include <QtTest>

#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

// The hot key in an X session of the test's own: keys pressed with xdotool, the selection made
// with xclip, and a second X client that holds a key.
class tst_X11ClickToDial : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void markedNumberIsDialled_data();
    void markedNumberIsDialled();
    void escapeAndNothingMarked();
    void keyWithoutKeycodeGrabsNothing();
    void layoutChangeReleasesTheGrabbedKey();
    void keysAreFoundInTheLayout_data();
    void keysAreFoundInTheLayout();
    void refusedKeyIsShownAndAnotherCanBeChosen();

private:
    //! Presses these keys as soon as the component's menu holds the keyboard.
    static void answerMenu(Click2DialComponent &component, const QString &keys);
    QStringList dialled() { return sim.sent(QStringLiteral("dialNumber"), QStringLiteral("number")); }

    ConnectedSimulator sim{"127.0.0.54"};
};

namespace {
QStringList g_warnings;
QtMessageHandler g_previous = nullptr;

void recordWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type >= QtWarningMsg)
        g_warnings << message;
    g_previous(type, context, message);
}

// Another X client, holding a key combination on the root window for as long as it lives.
class OtherClient
{
public:
    OtherClient() : m_c(xcb_connect(nullptr, nullptr)) {}
    ~OtherClient() { xcb_disconnect(m_c); }
    bool grab(quint32 keycode, quint32 modifiers)
    {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        xcb_generic_error_t *error = xcb_request_check(
            m_c, xcb_grab_key_checked(m_c, 0, root, quint16(modifiers), xcb_keycode_t(keycode), XCB_GRAB_MODE_ASYNC,
                                      XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return !error;
    }

    xcb_keycode_t minKeycode() const { return xcb_get_setup(m_c)->min_keycode; }
    //! Puts the keysym on the keycode, or takes every keysym off it (0).
    void map(xcb_keycode_t keycode, xcb_keysym_t keysym)
    {
        std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> reply(
            xcb_get_keyboard_mapping_reply(m_c, xcb_get_keyboard_mapping(m_c, keycode, 1), nullptr), &std::free);
        const QVector<xcb_keysym_t> syms(reply->keysyms_per_keycode, keysym);
        xcb_change_keyboard_mapping(m_c, 1, keycode, reply->keysyms_per_keycode, syms.constData());
        xcb_flush(m_c);
    }

private:
    xcb_connection_t *m_c;
};
} // namespace

void tst_X11ClickToDial::initTestCase()
{
    TALVERO_REQUIRE_X11(QStringLiteral("xdotool"), QStringLiteral("xclip"));
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QVERIFY(GlobalShortCut::isAvailable());
    g_previous = qInstallMessageHandler(recordWarnings);
    sim.logIn(QStringLiteral("anna"), QStringLiteral("secret"));
}

void tst_X11ClickToDial::cleanup()
{
    Settings::instance()->removeValueForKey(Click2DialComponent::hotKeySetting);
    // The toolkit never prints an X error for a refused grab.
    for (const QString &warning : qAsConst(g_warnings))
        QVERIFY2(!warning.contains(QLatin1String("XCB error")), qPrintable(warning));
    g_warnings.clear();
    X11Session::verifyNothingHung();
}

void tst_X11ClickToDial::answerMenu(Click2DialComponent &component, const QString &keys)
{
    // The menu runs its own loop: the answer is sent from inside it, once it is up.
    QObject::connect(&component, &Click2DialComponent::menuAboutToShow, &component, [keys] {
        QTimer::singleShot(0, [keys] {
            QTRY_VERIFY(QApplication::activePopupWidget() && QApplication::activePopupWidget()->isVisible());
            QProcess::startDetached(QStringLiteral("xdotool"),
                                    QStringList{QStringLiteral("key")} + keys.split(QLatin1Char(' ')));
        });
        // Should the keys not reach it, the menu still closes and the test fails instead of hanging.
        QTimer::singleShot(10000, [] {
            if (QWidget *menu = QApplication::activePopupWidget())
                menu->close();
        });
    });
}

void tst_X11ClickToDial::markedNumberIsDialled_data()
{
    QTest::addColumn<QString>("lock"); // a lock key switched on for the press
    QTest::newRow("no lock") << QString();
    QTest::newRow("NumLock on") << QStringLiteral("Num_Lock");
    QTest::newRow("CapsLock on") << QStringLiteral("Caps_Lock");
}

void tst_X11ClickToDial::markedNumberIsDialled()
{
    QFETCH(QString, lock);
    Click2DialComponent component;
    QVERIFY(component.initialise());
    QSignalSpy offered(&component, &Click2DialComponent::menuAboutToShow);
    X11Session::mark(QStringLiteral("Tel. 089 123456"));
    if (!lock.isEmpty())
        X11Session::press(lock);
    // A second press while the menu is open changes nothing; Enter dials.
    answerMenu(component, QStringLiteral("alt+F1 Return"));
    X11Session::press(QStringLiteral("alt+F1"));
    QTRY_COMPARE(offered.size(), 1);
    QCOMPARE(offered.at(0).at(0).toString(), QStringLiteral("089123456"));
    QTRY_VERIFY(!component.isMenuOpen());
    QCOMPARE(dialled(), QStringList{QStringLiteral("089123456")});
    QCOMPARE(offered.size(), 1);
    if (!lock.isEmpty())
        X11Session::press(lock);
}

void tst_X11ClickToDial::escapeAndNothingMarked()
{
    Click2DialComponent component;
    QVERIFY(component.initialise());
    QSignalSpy offered(&component, &Click2DialComponent::menuAboutToShow);
    QSignalSpy pressed(component.globalShortCut(), &GlobalShortCut::activated);
    answerMenu(component, QStringLiteral("Escape"));

    X11Session::mark(QStringLiteral("0711 5550123"));
    X11Session::press(QStringLiteral("alt+F1"));
    QTRY_COMPARE(pressed.size(), 1);
    QCOMPARE(offered.size(), 1);
    QVERIFY(!component.isMenuOpen());

    // Nothing marked and nothing copied: no menu, and the next press works again.
    X11Session::mark(QString());
    QApplication::clipboard()->clear(QClipboard::Clipboard);
    X11Session::press(QStringLiteral("alt+F1"));
    QTRY_COMPARE(pressed.size(), 2);
    QCOMPARE(offered.size(), 1);
    X11Session::mark(QStringLiteral("0711 5550124"));
    X11Session::press(QStringLiteral("alt+F1"));
    QTRY_COMPARE(pressed.size(), 3);
    QCOMPARE(offered.size(), 2);
    QCOMPARE(dialled(), QStringList());
}

void tst_X11ClickToDial::keyWithoutKeycodeGrabsNothing()
{
    // A key the layout does not have has keycode 0, which the server reads as "any key".
    GlobalShortCut shortcut;
    QVERIFY(!shortcut.setShortcut(QKeySequence(int(Qt::AltModifier) | 0x263A)));
    OtherClient other;
    QVERIFY(other.grab(GlobalShortCut::nativeKeycode(Qt::Key_F5), GlobalShortCut::nativeModifiers(Qt::AltModifier)));
}

void tst_X11ClickToDial::layoutChangeReleasesTheGrabbedKey()
{
    GlobalShortCut shortcut;
    QVERIFY(shortcut.setShortcut(QKeySequence(Qt::AltModifier | Qt::Key_F1)));
    const quint32 grabbed = GlobalShortCut::nativeKeycode(Qt::Key_F1);
    const quint32 alt = GlobalShortCut::nativeModifiers(Qt::AltModifier);
    // Another layout puts the key on a keycode of its own (the lowest one, unused in the
    // server's keymap), found first by a look-up now.
    OtherClient other;
    const xcb_keycode_t lowest = other.minKeycode();
    other.map(lowest, 0xFFBE); // F1
    QTRY_COMPARE(GlobalShortCut::nativeKeycode(Qt::Key_F1), quint32(lowest));
    const bool released = shortcut.unsetShortcut();
    other.map(lowest, 0);
    QVERIFY(released);
    QVERIFY(GlobalShortCut::hotKeyIdsByKey().isEmpty());
    // The key that was grabbed is free again.
    QVERIFY(other.grab(grabbed, alt));
}

void tst_X11ClickToDial::keysAreFoundInTheLayout_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<uint>("keysym");
    QTest::newRow("digit") << int(Qt::Key_1) << 0x31u;
    QTest::newRow("last of Latin-1") << int(Qt::Key_ydiaeresis) << 0xFFu;
    QTest::newRow("beyond Latin-1") << 0x263A << 0x100263Au;
    QTest::newRow("keypad digit") << int(Qt::KeypadModifier | Qt::Key_3) << 0xFFB3u;
}

void tst_X11ClickToDial::keysAreFoundInTheLayout()
{
    QFETCH(int, key);
    QFETCH(uint, keysym);
    // On the lowest keycode (unused in the server's keymap), which a look-up finds first.
    OtherClient other;
    const xcb_keycode_t lowest = other.minKeycode();
    other.map(lowest, keysym);
    const auto found = [key] { return GlobalShortCut::nativeKeycode(key); };
    QTRY_COMPARE(found(), quint32(lowest));
    other.map(lowest, 0);
    QTRY_VERIFY(found() != lowest);
}

void tst_X11ClickToDial::refusedKeyIsShownAndAnotherCanBeChosen()
{
    OtherClient other;
    QVERIFY(other.grab(GlobalShortCut::nativeKeycode(Qt::Key_F1), GlobalShortCut::nativeModifiers(Qt::AltModifier)));
    Click2DialComponent component;
    QVERIFY(!component.initialise());
    QVERIFY(!component.hotKeyActive());
    // What was granted before the refusal is given back: the other client can take the rest.
    QVERIFY(other.grab(GlobalShortCut::nativeKeycode(Qt::Key_F1),
                       GlobalShortCut::nativeModifiers(Qt::AltModifier) | XCB_MOD_MASK_LOCK));

    ConfigDialog dialog;
    dialog.setClickToDial(&component);
    dialog.initialise();
    auto *status = dialog.findChild<QLabel *>(QStringLiteral("clickToDialStatusLabel"));
    QVERIFY(status->property("refused").toBool());
    QVERIFY2(status->text().contains(QLatin1String("Alt+F1")), qPrintable(status->text()));

    // Another combination, chosen in the dialog, works at once.
    auto *edit = dialog.findChild<QKeySequenceEdit *>(QStringLiteral("clickToDialHotKey"));
    edit->setKeySequence(QKeySequence(QStringLiteral("Ctrl+Alt+D")));
    emit edit->editingFinished();
    QVERIFY(component.hotKeyActive());
    QVERIFY(!status->property("refused").toBool());
    QSignalSpy offered(&component, &Click2DialComponent::menuAboutToShow);
    answerMenu(component, QStringLiteral("Escape"));
    X11Session::mark(QStringLiteral("030 1234567"));
    X11Session::press(QStringLiteral("ctrl+alt+d"));
    QTRY_COMPARE(offered.size(), 1);
    QTRY_VERIFY(!component.isMenuOpen());

    // Cancel brings the refused one back, and says so.
    dialog.reject();
    QCOMPARE(component.hotKey(), Click2DialComponent::defaultHotKey());
    QVERIFY(!component.hotKeyActive());
    QVERIFY(status->property("refused").toBool());
}

TALVERO_X11_TEST_MAIN(tst_X11ClickToDial, QApplication)
#include "tst_x11clicktodial.moc"
