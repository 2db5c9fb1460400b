#include "globalshortcut.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QtDebug>

namespace {
constexpr int modifierBits = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

// Shared by every instance for the life of the process.
QHash<GlobalShortCut::NativeKey, quint32> g_hotKeyIdsByKey;
QMap<quint32, GlobalShortCut::HotKeyRef> g_hotKeyRefsById;
quint32 g_lastHotKeyId = 0;
GlobalShortCut *g_shortcut = nullptr;
} // namespace

GlobalShortCut::GlobalShortCut(QObject *parent)
    : QObject(parent)
{
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->installNativeEventFilter(this);
}

GlobalShortCut::~GlobalShortCut()
{
    // The registration outlives the object; presses are then simply reported to nobody.
    if (g_shortcut == this)
        g_shortcut = nullptr;
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->removeNativeEventFilter(this);
}

bool GlobalShortCut::setShortcut(const QKeySequence &sequence)
{
    const int combined = sequence.isEmpty() ? 0 : sequence[0];
    // The keypad bit stays with the key: it selects another key, not a modifier.
    m_key = combined & ~modifierBits;
    m_modifiers = Qt::KeyboardModifiers(combined & modifierBits);
    const quint32 nativeKey = nativeKeycode(m_key);
    const quint32 nativeMods = nativeModifiers(m_modifiers);
    if (!registerShortcut(nativeKey, nativeMods))
        return false;
    m_nativeKey = nativeKey;
    m_nativeMods = nativeMods;
    return true;
}

QKeySequence GlobalShortCut::shortcut() const
{
    return QKeySequence(m_key | int(m_modifiers));
}

bool GlobalShortCut::unsetShortcut()
{
    // What was registered, not a new look-up: after a change of the keyboard layout the key may
    // sit elsewhere now, and the old grab would stay.
    const bool released = unregisterShortcut(m_nativeKey, m_nativeMods);
    if (!released)
        qWarning() << "GlobalShortCut failed to unregister:" << shortcut().toString(QKeySequence::PortableText);
    m_key = 0;
    m_modifiers = Qt::KeyboardModifiers();
    m_nativeKey = 0;
    m_nativeMods = 0;
    return released;
}

bool GlobalShortCut::activateShortcut(quint32 nativeKey, quint32 nativeMods)
{
    if (!m_enabled || nativeKey != m_nativeKey || nativeMods != m_nativeMods)
        return false;
    emit activated();
    return true;
}

bool GlobalShortCut::dispatchHotKeyId(quint32 id)
{
    NativeKey pair(0, 0);
    for (auto it = g_hotKeyIdsByKey.cbegin(); it != g_hotKeyIdsByKey.cend(); ++it) {
        if (it.value() == id) {
            pair = it.key();
            break;
        }
    }
    return g_shortcut && g_shortcut->activateShortcut(pair.first, pair.second);
}

bool GlobalShortCut::registerShortcut(quint32 nativeKey, quint32 nativeMods)
{
    g_shortcut = this;
    const quint32 id = ++g_lastHotKeyId;
    HotKeyRef ref = 0;
    if (!platformRegister(nativeKey, nativeMods, id, &ref))
        return false;
    g_hotKeyIdsByKey.insert(NativeKey(nativeKey, nativeMods), id);
    g_hotKeyRefsById.insert(id, ref);
    return true;
}

bool GlobalShortCut::unregisterShortcut(quint32 nativeKey, quint32 nativeMods)
{
    const NativeKey pair(nativeKey, nativeMods);
    const auto found = g_hotKeyIdsByKey.constFind(pair);
    if (found == g_hotKeyIdsByKey.cend())
        return false;
    const HotKeyRef ref = g_hotKeyRefsById.take(found.value());
    g_hotKeyIdsByKey.remove(pair);
    return platformUnregister(nativeKey, nativeMods, ref);
}

const QHash<GlobalShortCut::NativeKey, quint32> &GlobalShortCut::hotKeyIdsByKey()
{
    return g_hotKeyIdsByKey;
}

const QMap<quint32, GlobalShortCut::HotKeyRef> &GlobalShortCut::hotKeyRefsById()
{
    return g_hotKeyRefsById;
}

quint32 GlobalShortCut::lastHotKeyId()
{
    return g_lastHotKeyId;
}

GlobalShortCut *GlobalShortCut::lastRegistering()
{
    return g_shortcut;
}
