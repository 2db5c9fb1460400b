#pragma once

#include <QHash>
#include <QMainWindow>
#include <QMap>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QVariant>

class ClickableLabel;
class QLineEdit;
class User;

//! The extension monitor: a small window with one busy lamp per colleague (a field, a lamp that
//! follows the colleague's phone presence and do-not-disturb, and a label), placed at a corner of
//! a screen. A click calls the colleague or picks up a call ringing there; a right click renames
//! the lamp. Each lamp's field takes the keyboard focus and is a button to assistive technology,
//! named after the colleague and the lamp's state. Colleagues come from the connector, which owns
//! their records: the monitor points at the stored ones and copies what it shows, so a fresh
//! record handed out for a colleague listed again is never kept.
class StickyBuddyList final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY(StickyBuddyList)

public:
    inline static const QString enabledSetting = QStringLiteral("stickyBuddyListEnabled");
    inline static const QString cornerSetting = QStringLiteral("stickyBuddyListCorner");
    inline static const QString stayOnTopSetting = QStringLiteral("stickyBuddyListStayOnTop");
    inline static const QString hideOnMouseOverSetting = QStringLiteral("stickyBuddyListHideOnMouseOver");
    inline static const QString hideMsSetting = QStringLiteral("stickyBuddyListHideMs");
    inline static const QString horizontalSetting = QStringLiteral("stickyBuddyListHorizontal");
    inline static const QString columnsSetting = QStringLiteral("stickyBuddyListColumns");
    inline static const QString screenSetting = QStringLiteral("stickyBuddyListScreen");
    inline static const QString autoPositionSetting = QStringLiteral("stickyBuddyListAutoPosition");
    inline static const QString opacitySetting = QStringLiteral("stickyBuddyListOpacity");
    //! "peers/" + user id: the colleague is shown; "peer/" + extension: the user's own label.
    inline static const QString peersGroup = QStringLiteral("peers");
    inline static const QString peerGroup = QStringLiteral("peer");

    //! What applies where nothing is stored; the configuration dialog shows the same.
    static constexpr bool defaultEnabled = true;
    static constexpr int defaultCorner = 3;
    static constexpr bool defaultStayOnTop = true;
    static constexpr bool defaultHideOnMouseOver = true;
    static constexpr int defaultHideMs = 1000;
    static constexpr bool defaultHorizontal = true;
    static constexpr int defaultColumns = 1;
    static constexpr int defaultScreen = 2;
    static constexpr bool defaultAutoPosition = true;
    static constexpr int defaultOpacity = 0;
    //! The hide time is kept in this range, whatever the settings file holds.
    static constexpr int minHideMs = 100;
    static constexpr int maxHideMs = 100000;

    static constexpr int fieldWidth = 100;
    static constexpr int fieldHeight = 20;
    static constexpr int lampSize = 16;

    StickyBuddyList();
    ~StickyBuddyList() override;

    //! Asks for the colleagues, draws and shows the monitor; once after login.
    void initialise();
    //! The user's option to show the monitor at all (it hides a while under the pointer).
    bool isSwitchedOn() const { return m_enabled; }
    void loadSettings(bool redraw);
    void reCenterExtMon();
    QString getPeerText(const QString &extension) const;
    QPixmap getPixMapForPhonePresence(const QString &presence, bool dnd) const;
    bool isExtensionRinging(const QString &extension) const;
    //! The connector's stored records of the colleagues shown or hidden, by extension.
    QMap<QString, User *> getPeersMap() const;
    void updateOpacity(int value);
    void calculateAndSetWindowFlags();

    //! Where a window of that size stands at a corner (1 to 8; any other value: top left).
    static QPoint cornerPosition(int corner, const QRect &screen, const QSize &window);
    //! Full drawings so far (redraws are gathered: many requests in one pass give one).
    int drawCount() const { return m_drawCount; }

public slots:
    void addPeer(User *user);
    void drawPeers();
    void updatePeerStatus(User *user);
    //! The colleague has gone from the server: the lamp goes at once, the others close up.
    void removePeer(User *user);
    void onSettingsChanged(const QString &key, const QVariant &value);
    void checkHideOrNotHide();
    //! The lamp's labels are named by a four-character prefix and the extension.
    void onBLFClicked(const QString &labelName);
    void onBLFRightClicked(const QString &labelName);
    void onRenameLineEditEnterPressed(const QString &editorName);
    //! Brings the keyboard to the lamps, for a shortcut of the main window: shows the monitor if
    //! it is out of the pointer's way, activates it and focuses the lamp focused last, or the
    //! first. Escape on a lamp gives the keyboard back to the window that had it.
    void focusLamps();

protected:
    void enterEvent(QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    //! What a lamp tells, as its colour and in its accessible name.
    enum class LampState { Free, Ringing, Busy, DoNotDisturb, Unavailable };

    //! What the monitor shows of a colleague, copied from the records as they come.
    struct Peer
    {
        User *user = nullptr; // the connector's stored record, dropped with removePeer()
        QString id;
        QString firstName;
        QString lastName;
        QString presence;
        bool dnd = false;
    };
    struct Lamp
    {
        ClickableLabel *field = nullptr;
        ClickableLabel *led = nullptr;
        ClickableLabel *text = nullptr;
        const QPixmap *image = nullptr;
    };

    //! Every redraw asked for in one pass of the event loop becomes one drawing at its end.
    void scheduleDraw();
    void deleteLamps();
    ClickableLabel *makeLabel(const QString &name);
    void setLampText(ClickableLabel *label, const QString &text);
    static LampState lampState(const QString &presence, bool dnd);
    const QPixmap &lampImage(const QString &presence, bool dnd) const;
    static QString fullName(const Peer &peer);
    QString lampName(const QString &extension, const Peer &peer) const;
    //! The extension of the lamp with this window's focus, or empty.
    QString focusedLamp() const;
    bool keyboardOnLamps() const;
    void focusLamp(const QString &extension, Qt::FocusReason reason);
    void moveFocus(const QString &from, int key);
    void handBackKeyboard();
    //! Ends a rename, keeping what was typed or not; a focused editor hands the focus to its lamp.
    void closeEditor(bool keep);
    bool isShown(const QString &userId) const;
    static QString extensionOf(const QString &labelName);

    QMap<QString, Peer> m_peers; // by extension
    QMap<QString, QString> m_phonePresence;
    QHash<QString, QString> m_extensionById;
    QHash<QString, Lamp> m_lamps;
    QHash<QString, QString> m_lampTexts; // the plain text each lamp shows, by extension
    QPointer<QLineEdit> m_editor;
    QPointer<QWidget> m_returnTo; // the window active when focusLamps() was called
    QString m_lastLamp;           // extension of the lamp focused last
    //! The user brought the keyboard to the lamps (and has not given it back with Escape); until
    //! the window is active after focusLamps(), the activation is pending.
    bool m_keyboardOnLamps = false;
    bool m_activationPending = false;
    //! "peers/" entries of colleagues seen for the first time, written at the next drawing pass.
    QMap<QString, QVariant> m_newPeerKeys;
    bool m_writingPeerKeys = false;

    bool m_enabled = defaultEnabled;
    int m_corner = defaultCorner;
    bool m_stayOnTop = defaultStayOnTop;
    bool m_hideOnMouseOver = defaultHideOnMouseOver;
    int m_hideMs = defaultHideMs;
    bool m_horizontal = defaultHorizontal;
    int m_columns = defaultColumns;
    int m_screen = defaultScreen;
    bool m_autoPosition = defaultAutoPosition;
    int m_opacity = defaultOpacity;

    int m_nextX = 0;
    int m_width = 0;
    int m_height = 0;

    QPixmap m_field;
    QPixmap m_green;
    QPixmap m_red;
    QPixmap m_yellow;
    QPixmap m_magenta;
    QPixmap m_grey;

    bool m_drawQueued = false;
    bool m_hiddenForMouse = false;
    int m_drawCount = 0;
};
