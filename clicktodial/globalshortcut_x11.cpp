// The hot key on X11: a passive key grab on the root window, one per combination of the lock
// modifiers, so the key works with NumLock, CapsLock or ScrollLock on. Presses arrive as
// KeyPress events on the root window through the native event filter.
#include "globalshortcut.h"

#include "log.h"

#include <QGuiApplication>
#include <QVector>
#include <QX11Info>

#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

namespace {
const QString logTag = QStringLiteral("cti");

struct FreeReply {
    void operator()(void *reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

namespace KeySym {
constexpr xcb_keysym_t F1 = 0xFFBE;
constexpr xcb_keysym_t KeypadZero = 0xFFB0;
constexpr xcb_keysym_t NumLock = 0xFF7F;
constexpr xcb_keysym_t ScrollLock = 0xFF14;
constexpr xcb_keysym_t AltL = 0xFFE9;
constexpr xcb_keysym_t AltR = 0xFFEA;
constexpr xcb_keysym_t SuperL = 0xFFEB;
constexpr xcb_keysym_t SuperR = 0xFFEC;
} // namespace KeySym

// Which modifier bits the server's current mapping gives Alt, Meta (Super) and the two lock
// keys that have no fixed bit; Mod1 and Mod4 are what nearly every keymap uses.
struct ModifierMasks {
    quint16 alt = XCB_MOD_MASK_1;
    quint16 meta = XCB_MOD_MASK_4;
    quint16 numLock = 0;
    quint16 scrollLock = 0;

    quint16 locks() const { return quint16(XCB_MOD_MASK_LOCK | numLock | scrollLock); }
};

// Masks of the grabs made for each registered pair, to release exactly those.
QHash<GlobalShortCut::NativeKey, QVector<quint16>> g_grabbed;
ModifierMasks g_masks;

xcb_connection_t *connection()
{
    return QX11Info::isPlatformX11() ? QX11Info::connection() : nullptr;
}

// The keysyms of every keycode, as the server maps them now (the user's layout).
class KeyboardMapping
{
public:
    explicit KeyboardMapping(xcb_connection_t *c)
    {
        const xcb_setup_t *setup = xcb_get_setup(c);
        m_min = setup->min_keycode;
        const int codes = setup->max_keycode - setup->min_keycode + 1;
        m_reply.reset(xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, m_min, quint8(codes)), nullptr));
        if (!m_reply || m_reply->keysyms_per_keycode == 0)
            return;
        m_perCode = m_reply->keysyms_per_keycode;
        m_syms = xcb_get_keyboard_mapping_keysyms(m_reply.get());
        m_count = xcb_get_keyboard_mapping_keysyms_length(m_reply.get());
    }

    xcb_keycode_t keycodeOf(xcb_keysym_t sym) const
    {
        for (int i = 0; i < m_count; ++i) {
            if (m_syms[i] == sym)
                return xcb_keycode_t(m_min + i / m_perCode);
        }
        return 0;
    }

    bool produces(xcb_keycode_t code, xcb_keysym_t sym) const
    {
        const int first = (code - m_min) * m_perCode;
        if (code < m_min || first + m_perCode > m_count)
            return false;
        for (int i = first; i < first + m_perCode; ++i) {
            if (m_syms[i] == sym)
                return true;
        }
        return false;
    }

private:
    Reply<xcb_get_keyboard_mapping_reply_t> m_reply;
    xcb_keycode_t m_min = 0;
    int m_perCode = 0;
    int m_count = 0;
    const xcb_keysym_t *m_syms = nullptr;
};

ModifierMasks readModifierMasks(xcb_connection_t *c)
{
    ModifierMasks masks;
    Reply<xcb_get_modifier_mapping_reply_t> reply(
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    if (!reply)
        return masks;
    const KeyboardMapping mapping(c);
    const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(reply.get());
    const int perModifier = reply->keycodes_per_modifier;
    // Shift, Lock and Control have fixed bits; Mod1 to Mod5 are where the others land.
    for (int modifier = 3; modifier < 8; ++modifier) {
        const auto bit = quint16(1u << modifier);
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t code = codes[modifier * perModifier + i];
            if (code == 0)
                continue;
            if (mapping.produces(code, KeySym::AltL) || mapping.produces(code, KeySym::AltR))
                masks.alt = bit;
            if (mapping.produces(code, KeySym::SuperL) || mapping.produces(code, KeySym::SuperR))
                masks.meta = bit;
            if (mapping.produces(code, KeySym::NumLock))
                masks.numLock = bit;
            if (mapping.produces(code, KeySym::ScrollLock))
                masks.scrollLock = bit;
        }
    }
    return masks;
}

xcb_keysym_t keysymOf(int key)
{
    const int code = key & ~Qt::KeypadModifier;
    const bool keypad = key & Qt::KeypadModifier;
    if (keypad && code >= Qt::Key_0 && code <= Qt::Key_9)
        return KeySym::KeypadZero + xcb_keysym_t(code - Qt::Key_0);
    if (code >= Qt::Key_F1 && code <= Qt::Key_F35)
        return KeySym::F1 + xcb_keysym_t(code - Qt::Key_F1);
    switch (code) {
    case Qt::Key_Escape: return 0xFF1B;
    case Qt::Key_Tab: return 0xFF09;
    case Qt::Key_Backspace: return 0xFF08;
    case Qt::Key_Return: return 0xFF0D;
    case Qt::Key_Enter: return 0xFF8D;
    case Qt::Key_Insert: return 0xFF63;
    case Qt::Key_Delete: return 0xFFFF;
    case Qt::Key_Pause: return 0xFF13;
    case Qt::Key_Print: return 0xFF61;
    case Qt::Key_Home: return 0xFF50;
    case Qt::Key_Left: return 0xFF51;
    case Qt::Key_Up: return 0xFF52;
    case Qt::Key_Right: return 0xFF53;
    case Qt::Key_Down: return 0xFF54;
    case Qt::Key_PageUp: return 0xFF55;
    case Qt::Key_PageDown: return 0xFF56;
    case Qt::Key_End: return 0xFF57;
    case Qt::Key_Menu: return 0xFF67;
    default: break;
    }
    // Qt names letters by their upper case, the keymap by the unshifted (lower) case.
    if (code >= Qt::Key_A && code <= Qt::Key_Z)
        return xcb_keysym_t(code - Qt::Key_A + 'a');
    if (code >= 0x20 && code <= 0xFF)
        return xcb_keysym_t(code);
    if (code > 0xFF && code <= 0x10FFFF)
        return 0x01000000u | xcb_keysym_t(code);
    return 0;
}

// Every combination of the lock modifiers, each once.
QVector<quint16> lockCombinations(const ModifierMasks &masks)
{
    const quint16 locks[] = {XCB_MOD_MASK_LOCK, masks.numLock, masks.scrollLock};
    QVector<quint16> combinations;
    for (int choice = 0; choice < 8; ++choice) {
        quint16 combination = 0;
        for (int i = 0; i < 3; ++i) {
            if (choice & (1 << i))
                combination |= locks[i];
        }
        if (!combinations.contains(combination))
            combinations << combination;
    }
    return combinations;
}

// Releases the grabs; answers whether the server took every release.
bool ungrab(xcb_connection_t *c, quint32 nativeKey, quint32 nativeMods, const QVector<quint16> &locks)
{
    const xcb_window_t root = QX11Info::appRootWindow();
    QVector<xcb_void_cookie_t> cookies;
    for (quint16 lock : locks)
        cookies << xcb_ungrab_key_checked(c, xcb_keycode_t(nativeKey), root, quint16(nativeMods | lock));
    bool released = true;
    for (const xcb_void_cookie_t &cookie : cookies) {
        if (xcb_generic_error_t *error = xcb_request_check(c, cookie)) {
            released = false;
            std::free(error);
        }
    }
    return released;
}
} // namespace

bool GlobalShortCut::isAvailable()
{
    return connection() != nullptr;
}

QString GlobalShortCut::unavailableReason()
{
    if (isAvailable())
        return QString();
    return QStringLiteral("no X11 display (platform \"%1\"): system-wide hot keys are not available")
        .arg(QGuiApplication::platformName());
}

quint32 GlobalShortCut::nativeKeycode(int key)
{
    xcb_connection_t *c = connection();
    const xcb_keysym_t sym = keysymOf(key);
    if (!c || sym == 0)
        return 0;
    return KeyboardMapping(c).keycodeOf(sym);
}

quint32 GlobalShortCut::nativeModifiers(Qt::KeyboardModifiers modifiers)
{
    if (xcb_connection_t *c = connection())
        g_masks = readModifierMasks(c);
    quint32 native = 0;
    if (modifiers & Qt::ShiftModifier)
        native |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        native |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Qt::AltModifier)
        native |= g_masks.alt;
    if (modifiers & Qt::MetaModifier)
        native |= g_masks.meta;
    return native;
}

bool GlobalShortCut::platformRegister(quint32 nativeKey, quint32 nativeMods, quint32 id, HotKeyRef *ref)
{
    xcb_connection_t *c = connection();
    if (!c)
        return false;
    // Keycode 0 is AnyKey to the server: it would grab the whole keyboard.
    if (nativeKey == 0 || nativeKey > 255) {
        Log::w(QStringLiteral("the hot key has no key on this keyboard layout"), logTag);
        return false;
    }
    const QVector<quint16> locks = lockCombinations(g_masks);
    const xcb_window_t root = QX11Info::appRootWindow();
    QVector<xcb_void_cookie_t> cookies;
    for (quint16 lock : locks) {
        cookies << xcb_grab_key_checked(c, 0, root, quint16(nativeMods | lock), xcb_keycode_t(nativeKey),
                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    }
    // Checked requests hand the error to us, not to the toolkit's X error printer.
    bool refused = false;
    for (const xcb_void_cookie_t &cookie : cookies) {
        if (xcb_generic_error_t *error = xcb_request_check(c, cookie)) {
            refused = true;
            std::free(error);
        }
    }
    if (refused) {
        // Some combinations may have been granted: none of them stays.
        ungrab(c, nativeKey, nativeMods, locks);
        Log::w(QStringLiteral("the hot key is held by another program (keycode %1, modifiers 0x%2)")
                   .arg(nativeKey)
                   .arg(nativeMods, 0, 16),
               logTag);
        return false;
    }
    g_grabbed.insert(NativeKey(nativeKey, nativeMods), locks);
    *ref = id;
    return true;
}

bool GlobalShortCut::platformUnregister(quint32 nativeKey, quint32 nativeMods, HotKeyRef)
{
    xcb_connection_t *c = connection();
    const QVector<quint16> locks = g_grabbed.take(NativeKey(nativeKey, nativeMods));
    if (!c || locks.isEmpty())
        return false;
    return ungrab(c, nativeKey, nativeMods, locks);
}

bool GlobalShortCut::nativeEventFilter(const QByteArray &eventType, void *message, long *)
{
    // Only the instance that registered last hears presses, as the registrations are shared.
    if (this != lastRegistering() || eventType != "xcb_generic_event_t")
        return false;
    auto *event = static_cast<xcb_generic_event_t *>(message);
    const quint8 type = event->response_type & 0x7F;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    auto *key = reinterpret_cast<xcb_key_press_event_t *>(event);
    if (key->event != QX11Info::appRootWindow())
        return false;
    // The lock keys and the mouse buttons held do not change which hot key this is.
    const quint32 mods = key->state & 0xFF & ~g_masks.locks();
    if (!hotKeyIdsByKey().contains(NativeKey(key->detail, mods)))
        return false;
    if (type == XCB_KEY_PRESS)
        activateShortcut(key->detail, mods);
    return true;
}
