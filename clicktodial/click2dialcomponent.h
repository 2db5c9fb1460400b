#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>
#include <QStringList>

class GlobalShortCut;
class QKeyEvent;
class QMenu;

//! Dials a number marked in any application: the system-wide hot key reads the marked text,
//! makes it dialable and offers it in a small menu at the pointer. The hot key is an option
//! ("clickToDialHotKey", default Alt+F1), applied whenever the setting changes; whether the
//! desktop granted it is hotKeyActive(). Created by the main window, without parent.
class Click2DialComponent final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(Click2DialComponent)

public:
    static const QString hotKeySetting;
    static QKeySequence defaultHotKey();
    //! The hot key the settings hold; the default while none is stored.
    static QKeySequence storedHotKey();
    //! Marked texts longer than this are not offered (a whole document marked by mistake).
    static constexpr int maxMarkedLength = 1000;
    //! How long the copy script of the macOS scripting host may take.
    static constexpr int scriptTimeoutMs = 2000;

    explicit Click2DialComponent(QObject *parent = nullptr);
    ~Click2DialComponent() override;

    //! Registers the hot key from the settings; false when it could not be had (logged, and
    //! shown in the configuration dialog).
    bool initialise();

    //! The text the user marked: the PRIMARY selection on X11 (the clipboard when that is
    //! empty), the copy through the scripting host on macOS.
    QString getMarkedNumberToDial();
    //! The macOS way, compiled everywhere so it can be tested against a stub host program.
    QString copyThroughScriptHost();
    static void setScriptHost(const QString &program);
    static QString scriptHost();
    static const QByteArray copyScript;
    static const QByteArray activationScript;

    QKeySequence hotKey() const { return m_hotKey; }
    bool hotKeyActive() const { return m_registered; }
    bool isMenuOpen() const { return m_menuOpen; }
    QString numberToDial() const { return m_numberToDial; }
    GlobalShortCut *globalShortCut() const { return m_shortcut; }

    //! Who asked for a menu: the user by the hot key, or a program by a telephone link.
    enum class Origin { HotKey, Link };

    //! Offers the text to dial in the menu at the pointer, as the hot key does with the marked
    //! text: nothing when it is too long, holds no digit, or a menu is open already. A menu for
    //! a link has no entry chosen: Enter does nothing until the user moves to one.
    void offerToDial(const QString &text, Origin origin = Origin::HotKey);
    //! Offers a link's number in a menu of its own once no other menu is open, links in the
    //! order they came; returns at once.
    void offerLink(const QString &number);
    //! Links waiting for the open menu to close.
    QStringList waitingLinks() const { return m_waitingLinks; }

public slots:
    void onDialGlobalHotKey();
    void onMenuDialClicked();
    void menuClosed();

signals:
    //! After every attempt to register the hot key (start-up and each change of the option).
    void hotKeyStateChanged(bool active);
    //! The number about to be offered, just before the menu opens (for diagnostics and tests).
    void menuAboutToShow(const QString &number);

protected:
    //! Keeps the hot key, pressed again while the menu is open, from reaching the menu (its Alt
    //! would close it).
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyHotKey();
    void showMenu(const QString &text, Origin origin);
    void offerNextLink();
    //! Whether the key would pick an entry of a link's menu before the user moved to one.
    static bool choosesUnasked(const QMenu *menu, const QKeyEvent *key);

    GlobalShortCut *m_shortcut;
    QKeySequence m_hotKey;
    bool m_registered = false;
    bool m_initialised = false;
    bool m_menuOpen = false;
    Origin m_menuOrigin = Origin::HotKey;
    QString m_numberToDial;
    QStringList m_waitingLinks;
};
