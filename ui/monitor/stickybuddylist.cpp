#include "stickybuddylist.h"

#include "clickablelabel.h"
#include "cticonnector.h"
#include "iconcache.h"
#include "registry.h"
#include "settings.h"
#include "user.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QSet>
#include <QTextDocument>
#include <QTimer>

namespace {
const QString fieldPrefix = QStringLiteral("fld_");
const QString ledPrefix = QStringLiteral("led_");
const QString textPrefix = QStringLiteral("txt_");
const QString editorPrefix = QStringLiteral("edt_");
const QString textColour = QStringLiteral("<font color = black>");
constexpr int prefixLength = 4;
// The labels keep the size a child widget gets by default; the offsets centre the pictures in it.
const QSize labelSize(100, 30);
constexpr int textLeft = 22; // a lamp's text, right of its lamp

QPixmap lampPicture(const char *path)
{
    const int side = StickyBuddyList::lampSize;
    return IconCache::pixmap(QString::fromLatin1(path), QSize(side, side));
}
}

StickyBuddyList::StickyBuddyList()
    : QMainWindow(nullptr)
{
    setWindowTitle(tr("Extension Monitor"));
    setWindowIcon(QIcon(QStringLiteral(":/images/appicon.png")));
    Registry::instance()->setStickyBuddyList(this);
    setMouseTracking(true);

    CTIConnector *connector = CTIConnector::instance();
    connect(connector, &CTIConnector::jabberBuddyAdded, this, &StickyBuddyList::addPeer);
    connect(connector, &CTIConnector::jabberBuddyChanged, this, &StickyBuddyList::updatePeerStatus);
    connect(connector, &CTIConnector::jabberBuddyDeleted, this, &StickyBuddyList::removePeer);
    connect(Settings::instance(), &Settings::settingChanged, this, &StickyBuddyList::onSettingsChanged);
    auto *application = static_cast<QApplication *>(QCoreApplication::instance());
    connect(application, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (!now || now->window() != this)
            return;
        const QString lamp = focusedLamp();
        if (!lamp.isEmpty())
            m_lastLamp = lamp;
    });

    m_field = IconCache::pixmap(QStringLiteral(":/images/blf_field_big.png"));
    m_green = lampPicture(":/images/blf/phone_green.png");
    m_red = lampPicture(":/images/blf/phone_red.png");
    m_yellow = lampPicture(":/images/blf/phone_yellow.png");
    m_magenta = lampPicture(":/images/blf/phone_magneta.png");
    m_grey = lampPicture(":/images/blf/phone_dark_gray.png");

    loadSettings(false);
}

StickyBuddyList::~StickyBuddyList()
{
    // A rename still open is taken now: its editor, losing the focus as the window goes, would
    // report to a monitor half destroyed.
    if (m_editor)
        onRenameLineEditEnterPressed(m_editor->objectName());
    if (Registry::instance()->getStickyBuddyList() == this)
        Registry::instance()->setStickyBuddyList(nullptr);
}

void StickyBuddyList::initialise()
{
    CTIConnector::instance()->requestJabberBuddies();
    drawPeers();
    if (m_enabled)
        show();
}

void StickyBuddyList::loadSettings(bool redraw)
{
    const Settings *settings = Settings::instance();
    m_enabled = settings->getValueForKey(enabledSetting, defaultEnabled).toBool();
    m_corner = settings->getValueForKey(cornerSetting, defaultCorner).toInt();
    m_stayOnTop = settings->getValueForKey(stayOnTopSetting, defaultStayOnTop).toBool();
    m_hideOnMouseOver = settings->getValueForKey(hideOnMouseOverSetting, defaultHideOnMouseOver).toBool();
    // A negative time would never bring the window back.
    m_hideMs = qBound(minHideMs, settings->getValueForKey(hideMsSetting, defaultHideMs).toInt(), maxHideMs);
    m_horizontal = settings->getValueForKey(horizontalSetting, defaultHorizontal).toBool();
    m_columns = settings->getValueForKey(columnsSetting, defaultColumns).toInt();
    m_screen = settings->getValueForKey(screenSetting, defaultScreen).toInt();
    m_autoPosition = settings->getValueForKey(autoPositionSetting, defaultAutoPosition).toBool();
    m_opacity = settings->getValueForKey(opacitySetting, defaultOpacity).toInt();
    if (m_screen < 1 || m_screen > QGuiApplication::screens().size())
        m_screen = 1;

    if (m_drawCount == 0 && !isVisible()) {
        // Provisional, before the window first maps: the first drawing sizes the window (and
        // places the frameless one). The titled one stays at the top left of the screen's free
        // area; a position set only after the first mapping would leave it to the window manager.
        const QScreen *screen = QGuiApplication::screens().value(m_screen - 1, QGuiApplication::primaryScreen());
        const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(), labelSize);
        resize(available.width(), fieldHeight - 1);
        move(available.topLeft());
    }
    updateOpacity(m_opacity);
    auto *central = new QWidget(this);
    central->setMouseTracking(true);
    setCentralWidget(central);
    // Below the lamps, which are the window's own children: it must not take their clicks.
    central->lower();
    calculateAndSetWindowFlags();
    show();
    setVisible(m_enabled);
    if (redraw)
        scheduleDraw();
}

void StickyBuddyList::updateOpacity(int value)
{
    setWindowOpacity((100 - value) / 100.0);
}

void StickyBuddyList::calculateAndSetWindowFlags()
{
    setAttribute(Qt::WA_MacAlwaysShowToolWindow);
    // It takes the keyboard when the user asks (a rename, focusLamps()), but showing or coming
    // back from under the pointer must leave it where the user types.
    setAttribute(Qt::WA_ShowWithoutActivating);
    // A window manager must manage the window (no bypass), or it could never take the keyboard
    // for a rename, nor could the user move the titled one.
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint;
    if (m_stayOnTop)
        flags |= Qt::WindowStaysOnTopHint;
    if (m_autoPosition)
        flags |= Qt::WindowTitleHint;
    else
        flags |= Qt::Tool | Qt::FramelessWindowHint;
    setWindowFlags(flags);
}

StickyBuddyList::LampState StickyBuddyList::lampState(const QString &presence, bool dnd)
{
    // A call on the phone shows even with do-not-disturb on.
    const bool onCall = presence == QLatin1String("busy") || presence == QLatin1String("ringing")
        || presence == QLatin1String("hold");
    if (dnd && !onCall)
        return LampState::DoNotDisturb;
    if (presence == QLatin1String("busy") || presence == QLatin1String("hold"))
        return LampState::Busy;
    if (presence == QLatin1String("ringing"))
        return LampState::Ringing;
    if (presence == QLatin1String("free") || presence == QLatin1String("online"))
        return LampState::Free;
    return LampState::Unavailable;
}

const QPixmap &StickyBuddyList::lampImage(const QString &presence, bool dnd) const
{
    switch (lampState(presence, dnd)) {
    case LampState::DoNotDisturb:
        return m_magenta;
    case LampState::Busy:
        return m_red;
    case LampState::Ringing:
        return m_yellow;
    case LampState::Free:
        return m_green;
    case LampState::Unavailable:
        break;
    }
    return m_grey;
}

QString StickyBuddyList::fullName(const Peer &peer)
{
    return QString(peer.firstName + QLatin1Char(' ') + peer.lastName).trimmed();
}

QString StickyBuddyList::lampName(const QString &extension, const Peer &peer) const
{
    QString state;
    switch (lampState(peer.presence, peer.dnd)) {
    case LampState::Free:
        state = tr("free");
        break;
    case LampState::Ringing:
        state = tr("ringing");
        break;
    case LampState::Busy:
        state = tr("busy");
        break;
    case LampState::DoNotDisturb:
        state = tr("do not disturb");
        break;
    case LampState::Unavailable:
        state = tr("unavailable");
        break;
    }
    const QString who = fullName(peer);
    //: A lamp as a screen reader names it: the colleague, the extension and the lamp's state.
    return who.isEmpty() ? tr("%1, %2").arg(extension, state) : tr("%1, %2, %3").arg(who, extension, state);
}

QPixmap StickyBuddyList::getPixMapForPhonePresence(const QString &presence, bool dnd) const
{
    return lampImage(presence, dnd);
}

QString StickyBuddyList::getPeerText(const QString &extension) const
{
    const Peer peer = m_peers.value(extension);
    QString text = extension + QLatin1Char(' ') + peer.firstName.left(1);
    if (!peer.lastName.isEmpty())
        text += QLatin1Char('.') + peer.lastName;
    return Settings::instance()->getValueForKey(peerGroup + QLatin1Char('/') + extension, text.left(10)).toString();
}

bool StickyBuddyList::isExtensionRinging(const QString &extension) const
{
    const auto presence = m_phonePresence.constFind(extension);
    return presence != m_phonePresence.cend() && *presence == QLatin1String("ringing");
}

QMap<QString, User *> StickyBuddyList::getPeersMap() const
{
    QMap<QString, User *> peers;
    for (auto it = m_peers.cbegin(); it != m_peers.cend(); ++it)
        peers.insert(it.key(), it->user);
    return peers;
}

bool StickyBuddyList::isShown(const QString &userId) const
{
    return Settings::instance()->getValueForKey(peersGroup + QLatin1Char('/') + userId, true).toBool();
}

void StickyBuddyList::addPeer(User *user)
{
    if (!user)
        return;
    const QString extension = user->getExtension();
    if (m_peers.contains(extension))
        return;
    Peer peer;
    peer.user = user;
    peer.id = user->id();
    peer.firstName = user->getFirstname();
    peer.lastName = user->getLastname();
    peer.presence = user->getPhonePresence();
    peer.dnd = user->getDND();

    // Every colleague seen once gets an entry for the configuration dialog; a hidden one stays
    // hidden. A whole list of new colleagues is written in one go, at the next drawing pass.
    const QString key = peersGroup + QLatin1Char('/') + peer.id;
    Settings *settings = Settings::instance();
    if (!settings->getValueForKey(key).isValid())
        m_newPeerKeys.insert(key, true);

    m_phonePresence.insert(extension, peer.presence);
    m_extensionById.insert(peer.id, extension);
    m_peers.insert(extension, peer);
    scheduleDraw();
}

void StickyBuddyList::updatePeerStatus(User *user)
{
    if (!user)
        return;
    // The record may be a fresh one the connector frees later: read, never keep.
    const QString id = user->id();
    const QString extension = user->getExtension();
    const QString presence = user->getPhonePresence();
    const bool dnd = user->getDND();

    // A colleague the connector knew before this monitor existed.
    if (!m_extensionById.contains(id)) {
        if (User *stored = CTIConnector::instance()->buddy(id))
            addPeer(stored);
    }
    // A colleague now at another extension takes the lamp along.
    const auto known = m_extensionById.constFind(id);
    if (known != m_extensionById.cend() && *known != extension && !extension.isEmpty()
        && !m_peers.contains(extension) && m_peers.value(*known).id == id) {
        m_peers.insert(extension, m_peers.take(*known));
        m_extensionById.insert(id, extension);
        scheduleDraw();
    }

    // The colleague's own lamp, wherever it stands: a lamp another colleague holds is not theirs.
    const auto own = m_extensionById.constFind(id);
    if (own == m_extensionById.cend()) {
        if (!m_peers.contains(extension))
            m_phonePresence.insert(extension, presence);
        return;
    }
    const QString lampExtension = *own;
    const auto peer = m_peers.find(lampExtension);
    if (peer == m_peers.end() || peer->id != id)
        return;
    m_phonePresence.insert(lampExtension, presence);
    peer->firstName = user->getFirstname();
    peer->lastName = user->getLastname();
    peer->presence = presence;
    peer->dnd = dnd;
    const auto lamp = m_lamps.find(lampExtension);
    if (lamp == m_lamps.end())
        return;
    // Set only when it changes: setting it tells a screen reader, which announces it again.
    const QString name = lampName(lampExtension, *peer);
    if (lamp->field->accessibleName() != name)
        lamp->field->setAccessibleName(name);
    const QPixmap &image = lampImage(presence, dnd);
    if (lamp->image != &image) {
        lamp->led->setPixmap(image);
        lamp->image = &image;
    }
}

void StickyBuddyList::removePeer(User *user)
{
    if (!user)
        return;
    const auto own = m_extensionById.find(user->id());
    if (own == m_extensionById.end())
        return;
    const QString extension = *own;
    m_extensionById.erase(own);
    if (m_peers.value(extension).id != user->id())
        return;
    m_peers.remove(extension);
    m_phonePresence.remove(extension);
    m_lampTexts.remove(extension);
    // Gone at once, so it cannot be clicked; the drawing closes the gap.
    const Lamp lamp = m_lamps.take(extension);
    delete lamp.field;
    delete lamp.led;
    delete lamp.text;
    scheduleDraw();
}

void StickyBuddyList::scheduleDraw()
{
    if (m_drawQueued)
        return;
    m_drawQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_drawQueued)
                drawPeers();
        },
        Qt::QueuedConnection);
}

void StickyBuddyList::deleteLamps()
{
    for (const Lamp &lamp : qAsConst(m_lamps)) {
        delete lamp.field;
        delete lamp.led;
        delete lamp.text;
    }
    m_lamps.clear();
    m_lampTexts.clear();
}

ClickableLabel *StickyBuddyList::makeLabel(const QString &name)
{
    auto *label = new ClickableLabel(QString(), this);
    label->setObjectName(name);
    label->resize(labelSize);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(label, &ClickableLabel::clicked, this, [this, label] { onBLFClicked(label->objectName()); });
    connect(label, &ClickableLabel::rightClicked, this, [this, label] { onBLFRightClicked(label->objectName()); });
    return label;
}

void StickyBuddyList::setLampText(ClickableLabel *label, const QString &text)
{
    // The colour as markup; the colleague's name or the user's own label shown as typed.
    label->setText(textColour + text.toHtmlEscaped());
    m_lampTexts.insert(extensionOf(label->objectName()), text);
}

void StickyBuddyList::drawPeers()
{
    m_drawQueued = false;
    // Also while the monitor is off: the configuration dialog lists every colleague seen.
    if (!m_newPeerKeys.isEmpty()) {
        // Our own entries: nothing to react to.
        m_writingPeerKeys = true;
        Settings::instance()->setValuesForKeys(m_newPeerKeys);
        m_writingPeerKeys = false;
        m_newPeerKeys.clear();
    }
    if (!m_enabled)
        return;
    // Not hidden meanwhile: a window manager would place the shown-again window anew. (Nothing is
    // painted before this returns to the event loop.)
    m_nextX = 0;
    m_width = 0;
    m_height = 0;
    // A rename in progress goes with its lamp: what was typed so far is taken, not lost.
    if (m_editor)
        onRenameLineEditEnterPressed(m_editor->objectName());
    // The keyboard stays on its colleague's lamp across the rebuilding.
    const QString focusedExtension = focusedLamp();
    deleteLamps();

    // Every field as wide as the widest lamp text needs at the font in use (the field image was
    // drawn for shorter texts at a smaller font), so no text runs into the next field.
    int fieldSpan = fieldWidth;
    const QFontMetrics metrics(font());
    for (auto it = m_peers.cbegin(); it != m_peers.cend(); ++it) {
        if (isShown(it->id))
            fieldSpan = std::max(fieldSpan, textLeft + metrics.horizontalAdvance(getPeerText(it.key())) + 2);
    }
    QPixmap field = m_field;
    if (fieldSpan != fieldWidth) {
        const qreal ratio = m_field.devicePixelRatio();
        field = m_field.scaled(qRound(fieldSpan * ratio), m_field.height(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        field.setDevicePixelRatio(ratio);
    }

    int runLength = std::max(1, int(m_peers.size()) / std::max(1, m_columns));
    // A run longer than the screen would put lamps where no pointer reaches: it wraps there.
    if (const QScreen *screen = QGuiApplication::screens().value(m_screen - 1, QGuiApplication::primaryScreen())) {
        const QRect room = screen->availableGeometry();
        runLength = std::min(runLength, std::max(1, m_horizontal ? room.width() / fieldSpan : room.height() / fieldHeight));
    }
    int run = 0;
    int inRun = 0;
    int rowTop = 0;
    int columnLeft = 0;
    int y = 0;
    QSize size;
    for (auto it = m_peers.cbegin(); it != m_peers.cend(); ++it) {
        const QString &extension = it.key();
        if (!isShown(it->id))
            continue; // takes no place, but counts in the run length
        if (inRun >= runLength) {
            ++run;
            rowTop += fieldHeight;
            columnLeft += fieldSpan;
            m_nextX = 0;
            y = 0;
            inRun = 0;
        }
        Lamp lamp;
        lamp.field = makeLabel(fieldPrefix + extension);
        lamp.field->setPixmap(field);
        // The field, which spans the lamp, is the lamp for the keyboard and assistive technology.
        lamp.field->setFocusPolicy(Qt::TabFocus);
        lamp.field->installEventFilter(this);
        lamp.field->setAccessibleName(lampName(extension, *it));
        lamp.field->setAccessibleDescription(tr("Enter: call; while it rings: pick up; F2: rename"));
        lamp.led = makeLabel(ledPrefix + extension);
        lamp.image = &lampImage(it->presence, it->dnd);
        lamp.led->setPixmap(*lamp.image);
        lamp.text = makeLabel(textPrefix + extension);
        setLampText(lamp.text, getPeerText(extension));
        lamp.text->resize(std::max(labelSize.width(), fieldSpan - textLeft), labelSize.height());
        // The lamp shows ten letters of the name; the whole of it is a pointer's rest away.
        const QString who = fullName(*it);
        const QString toolTip = Qt::convertFromPlainText(
            who.isEmpty() ? extension : who + QStringLiteral(" (") + extension + QLatin1Char(')'), Qt::WhiteSpaceNoWrap);
        for (ClickableLabel *label : {lamp.field, lamp.led, lamp.text})
            label->setToolTip(toolTip);
        if (m_horizontal) {
            lamp.field->move(m_nextX, rowTop - 5);
            lamp.led->move(m_nextX + 5, rowTop - 5);
            lamp.text->move(m_nextX + textLeft, rowTop - 4);
            m_nextX += fieldSpan;
            if (run == 0)
                m_width += fieldSpan;
            m_height = fieldHeight * (run + 1);
            size = QSize(m_width, rowTop + fieldHeight - 1);
        } else {
            lamp.field->move(columnLeft, y - 5);
            lamp.led->move(columnLeft + 5, y - 4);
            lamp.text->move(columnLeft + textLeft, y - 4);
            m_width = fieldSpan * (run + 1);
            if (run == 0)
                m_height += fieldHeight;
            size = QSize(columnLeft + fieldSpan, m_height);
            y += fieldHeight;
        }
        lamp.field->show();
        lamp.led->show();
        lamp.text->show();
        m_lamps.insert(extension, lamp);
        ++inRun;
    }
    if (size.isValid())
        resize(size);
    if (!focusedExtension.isEmpty())
        focusLamp(focusedExtension, Qt::OtherFocusReason);
    ++m_drawCount;
    reCenterExtMon();
    QTimer::singleShot(10, this, [this] {
        if (m_enabled && !m_hiddenForMouse)
            show();
    });
}

QPoint StickyBuddyList::cornerPosition(int corner, const QRect &screen, const QSize &window)
{
    const int left = screen.left();
    const int top = screen.top();
    const int right = left + screen.width();
    const int bottom = top + screen.height();
    const int w = window.width();
    const int h = window.height();
    switch (corner) {
    case 2:
        return {left + screen.width() / 2 - w / 2, top};
    case 3:
        return {right - w, top};
    case 4:
        return {right - w, top + screen.height() / 2 - h / 2};
    case 5:
        return {right - w, bottom - h};
    case 6:
        return {left + screen.width() / 2 - w / 2, bottom - h};
    case 7:
        return {left, bottom - h};
    case 8:
        return {left, top + screen.height() / 2 - h / 2};
    default:
        return {left, top};
    }
}

void StickyBuddyList::reCenterExtMon()
{
    if (m_autoPosition)
        return; // the window manager and the user place the titled window
    const QScreen *screen = QGuiApplication::screens().value(m_screen - 1, QGuiApplication::primaryScreen());
    if (screen)
        move(cornerPosition(m_corner, screen->geometry(), size()));
}

QString StickyBuddyList::extensionOf(const QString &labelName)
{
    return labelName.mid(prefixLength);
}

void StickyBuddyList::onBLFClicked(const QString &labelName)
{
    const QString extension = extensionOf(labelName);
    if (isExtensionRinging(extension))
        CTIConnector::instance()->pickupExtension(extension);
    else
        CTIConnector::instance()->dialNumber(extension);
}

void StickyBuddyList::onBLFRightClicked(const QString &labelName)
{
    const QString extension = extensionOf(labelName);
    const auto lamp = m_lamps.constFind(extension);
    if (lamp == m_lamps.cend() || m_editor)
        return;
    lamp->text->hide();
    auto *editor = new QLineEdit(this);
    editor->setObjectName(editorPrefix + extension);
    editor->setText(m_lampTexts.value(extension));
    editor->setGeometry(lamp->field->geometry());
    editor->show();
    editor->selectAll();
    // The keyboard must come here, also for the frameless tool window.
    activateWindow();
    editor->setFocus(Qt::OtherFocusReason);
    m_editor = editor;
    connect(editor, &QLineEdit::editingFinished, this,
            [this, editor] { onRenameLineEditEnterPressed(editor->objectName()); });
}

void StickyBuddyList::onRenameLineEditEnterPressed(const QString &editorName)
{
    // Enter and the loss of focus both finish an edit: it is taken once.
    if (m_editor && m_editor->objectName() == editorName)
        closeEditor(true);
}

void StickyBuddyList::closeEditor(bool keep)
{
    QLineEdit *editor = m_editor;
    m_editor = nullptr;
    // Before the focus moves on: losing it would finish the edit once more.
    editor->disconnect(this);
    const QString extension = extensionOf(editor->objectName());
    const QString text = editor->text();
    const auto lamp = m_lamps.constFind(extension);
    if (lamp != m_lamps.cend()) {
        if (keep)
            setLampText(lamp->text, text);
        lamp->text->show();
        if (editor->hasFocus())
            lamp->field->setFocus(Qt::OtherFocusReason);
    }
    if (keep)
        Settings::instance()->setValueForKey(peerGroup + QLatin1Char('/') + extension, text);
    editor->hide();
    editor->deleteLater();
}

QString StickyBuddyList::focusedLamp() const
{
    const QWidget *focused = focusWidget();
    if (!focused || !focused->objectName().startsWith(fieldPrefix))
        return QString();
    const QString extension = extensionOf(focused->objectName());
    const auto lamp = m_lamps.constFind(extension);
    return lamp != m_lamps.cend() && lamp->field == focused ? extension : QString();
}

bool StickyBuddyList::keyboardOnLamps() const
{
    // While the activation is under way the pointer may be over the window before the keyboard.
    return m_keyboardOnLamps && (m_activationPending || (isActiveWindow() && !focusedLamp().isEmpty()));
}

void StickyBuddyList::focusLamp(const QString &extension, Qt::FocusReason reason)
{
    const auto lamp = m_lamps.constFind(extension);
    if (lamp != m_lamps.cend())
        lamp->field->setFocus(reason);
}

void StickyBuddyList::focusLamps()
{
    if (!m_enabled || m_lamps.isEmpty())
        return;
    if (QWidget *active = QApplication::activeWindow(); active && active != this)
        m_returnTo = active;
    QString extension = m_lamps.contains(m_lastLamp) ? m_lastLamp : QString();
    for (auto it = m_peers.cbegin(); extension.isEmpty() && it != m_peers.cend(); ++it) {
        if (m_lamps.contains(it.key()))
            extension = it.key(); // the first one shown
    }
    m_keyboardOnLamps = true;
    m_activationPending = !isActiveWindow();
    m_hiddenForMouse = false;
    show();
    raise();
    activateWindow();
    focusLamp(extension, Qt::ShortcutFocusReason);
}

void StickyBuddyList::moveFocus(const QString &from, int key)
{
    // The fields stand in a grid: the next one along the row or the column in that direction.
    const QPoint origin = m_lamps.value(from).field->pos();
    const bool alongRow = key == Qt::Key_Left || key == Qt::Key_Right;
    const int sign = key == Qt::Key_Right || key == Qt::Key_Down ? 1 : -1;
    ClickableLabel *next = nullptr;
    int nearest = 0;
    for (const Lamp &lamp : qAsConst(m_lamps)) {
        const QPoint at = lamp.field->pos();
        if (alongRow ? at.y() != origin.y() : at.x() != origin.x())
            continue;
        const int distance = sign * (alongRow ? at.x() - origin.x() : at.y() - origin.y());
        if (distance > 0 && (!next || distance < nearest)) {
            next = lamp.field;
            nearest = distance;
        }
    }
    if (next)
        next->setFocus(Qt::OtherFocusReason);
}

void StickyBuddyList::handBackKeyboard()
{
    m_keyboardOnLamps = false;
    setFocus(Qt::OtherFocusReason); // the lamps let go, also with nowhere to go back to
    if (m_returnTo && m_returnTo->isVisible())
        m_returnTo->activateWindow();
}

void StickyBuddyList::onSettingsChanged(const QString &key, const QVariant &value)
{
    Q_UNUSED(value)
    if (m_writingPeerKeys)
        return;
    if (key.startsWith(QLatin1String("sticky"))) {
        static const QSet<QString> redrawing{enabledSetting,    cornerSetting, horizontalSetting,
                                             columnsSetting,    screenSetting, autoPositionSetting};
        loadSettings(redrawing.contains(key));
    } else if (key.startsWith(peersGroup)) {
        loadSettings(true); // a colleague was shown or hidden
    }
}

void StickyBuddyList::checkHideOrNotHide()
{
    // Not while a lamp is being renamed or the keyboard is on the lamps: the typing would go
    // into a hidden window.
    if (!m_hideOnMouseOver || m_editor || m_hiddenForMouse || keyboardOnLamps())
        return;
    m_hiddenForMouse = true;
    hide();
    QTimer::singleShot(m_hideMs, this, [this] {
        m_hiddenForMouse = false;
        if (m_enabled)
            show();
    });
}

void StickyBuddyList::enterEvent(QEvent *event)
{
    QMainWindow::enterEvent(event);
    checkHideOrNotHide();
}

void StickyBuddyList::mouseMoveEvent(QMouseEvent *event)
{
    QMainWindow::mouseMoveEvent(event);
    checkHideOrNotHide();
}

void StickyBuddyList::keyPressEvent(QKeyEvent *event)
{
    // What the lamps and the editor leave is used here or swallowed.
    event->accept();
    if (event->modifiers() & ~Qt::KeypadModifier)
        return;
    if (m_editor && m_editor->hasFocus()) {
        if (event->key() == Qt::Key_Escape)
            closeEditor(false);
        return;
    }
    const QString lamp = focusedLamp();
    if (lamp.isEmpty())
        return;
    switch (event->key()) {
    case Qt::Key_Escape:
        handBackKeyboard();
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        moveFocus(lamp, event->key());
        break;
    default:
        break;
    }
}

void StickyBuddyList::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_activationPending = false;
}

bool StickyBuddyList::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        // Activated by a click or the window manager, the window would hand the focus to the
        // first lamp, framed and keeping the window shown: the lamps wait for the keyboard.
        if (static_cast<QFocusEvent *>(event)->reason() != Qt::ActiveWindowFocusReason) {
            m_keyboardOnLamps = true;
        } else if (!m_keyboardOnLamps) {
            setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
