#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>
#include <QStringList>

class GlobalShortCut;
class PortalShortcut;
class QKeyEvent;
class QMenu;

//! Dials a number marked in any application: the system-wide hot key reads the marked text,
//! makes it dialable and offers it in a small menu at the pointer. The hot key is an option
//! ("clickToDialHotKey"), applied whenever the setting changes. How it reaches the whole desktop
//! is route(): a key grab in an X11 session; in a Wayland session the desktop's global shortcuts
//! portal, or else a keyboard shortcut of the desktop's own that runs dialSelectionCommand().
//! Created by the main window, without parent.
class Click2DialComponent final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(Click2DialComponent)

public:
    static const QString hotKeySetting;
    //! Alt+F1 in an X11 session; elsewhere the desktops take Alt+F1 themselves, so Ctrl+Alt+P.
    static QKeySequence defaultHotKey();
    //! The hot key the settings hold; the default while none is stored.
    static QKeySequence storedHotKey();
    //! Marked texts longer than this are not offered (a whole document marked by mistake).
    static constexpr int maxMarkedLength = 1000;
    //! How long the copy script of the macOS scripting host may take.
    static constexpr int scriptTimeoutMs = 2000;
    //! The shortcut's id at the portal, and the application id the desktop knows the client by.
    static const QString portalShortcutId;
    static const QString applicationId;

    //! How the hot key reaches the desktop, or why it does not.
    enum class Route {
        Unavailable,     //!< no display
        X11HotKey,       //!< grabbed in an X11 session
        X11Taken,        //!< another program holds the key
        NoHotKey,        //!< an X11 session, no key chosen
        AskingDesktop,   //!< waiting for the portal (and the user's answer to the desktop)
        DesktopHotKey,   //!< the portal holds it; its key is desktopTrigger()
        DesktopShortcut, //!< none of ours: the desktop's own shortcut runs dialSelectionCommand()
    };
    Q_ENUM(Route)

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
    //! Whether a press of a key reaches the client from every program (X11 grab or portal).
    bool hotKeyActive() const { return m_route == Route::X11HotKey || m_route == Route::DesktopHotKey; }
    Route route() const { return m_route; }
    //! The key the portal's desktop reports ("Ctrl+Alt+P"); empty when it gave none.
    QString desktopTrigger() const;
    //! Why the portal gave no hot key, for the options; empty when there was no portal to ask.
    QString portalProblem() const;
    //! The command a desktop's keyboard shortcut runs to dial the marked text.
    static QString dialSelectionCommand();
    //! Reads the marked text and offers it as the hot key does, for a desktop's shortcut that ran
    //! dialSelectionCommand(). The desktop's startup id (if any) goes to the menu, so the desktop
    //! lets it take the keyboard.
    void dialSelection(const QByteArray &startupId = QByteArray());
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
    //! After every change of route() or desktopTrigger() (start-up, each change of the option,
    //! the portal's answers).
    void hotKeyStateChanged(bool active);
    //! The number about to be offered, just before the menu opens (for diagnostics and tests).
    void menuAboutToShow(const QString &number);

protected:
    //! Keeps the hot key, pressed again while the menu is open, from reaching the menu (its Alt
    //! would close it).
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyHotKey();
    void askPortal();
    void portalStateChanged();
    void setRoute(Route route);
    void showMenu(const QString &text, Origin origin);
    void offerNextLink();
    //! Whether the key would pick an entry of a link's menu before the user moved to one.
    static bool choosesUnasked(const QMenu *menu, const QKeyEvent *key);

    GlobalShortCut *m_shortcut;
    PortalShortcut *m_portal = nullptr;
    QKeySequence m_hotKey;
    Route m_route = Route::Unavailable;
    bool m_registered = false; // the X11 grab
    bool m_initialised = false;
    bool m_menuOpen = false;
    Origin m_menuOrigin = Origin::HotKey;
    QString m_numberToDial;
    QStringList m_waitingLinks;
};
