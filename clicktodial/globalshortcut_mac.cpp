// The hot key on macOS: the Carbon event manager reserves the combination and calls back with the
// hot-key id; the key translation and layout search are MacKeyboard's.
#include "globalshortcut.h"

#include "mackeyboard.h"

#include <Carbon/Carbon.h>

namespace {
OSStatus handleMacHotKeyEvent(EventHandlerCallRef, EventRef event, void *)
{
    if (GetEventClass(event) != kEventClassKeyboard || GetEventKind(event) != kEventHotKeyPressed)
        return noErr;
    EventHotKeyID hotKeyId;
    GetEventParameter(event, kEventParamDirectObject, typeEventHotKeyID, nullptr, sizeof(hotKeyId), nullptr, &hotKeyId);
    GlobalShortCut::dispatchHotKeyId(hotKeyId.id);
    return noErr;
}

QByteArray currentLayout()
{
    TISInputSourceRef source = TISCopyCurrentKeyboardInputSource();
    if (!source)
        return QByteArray();
    auto data = static_cast<CFDataRef>(TISGetInputSourceProperty(source, kTISPropertyUnicodeKeyLayoutData));
    QByteArray layout;
    if (data)
        layout = QByteArray(reinterpret_cast<const char *>(CFDataGetBytePtr(data)), int(CFDataGetLength(data)));
    CFRelease(source);
    return layout;
}
} // namespace

bool GlobalShortCut::isAvailable()
{
    return true;
}

QString GlobalShortCut::unavailableReason()
{
    return QString();
}

quint32 GlobalShortCut::nativeKeycode(int keyCode)
{
    // The layouts here know no keypad of their own: a keypad digit is found as the digit.
    const auto key = Qt::Key(keyCode & ~Qt::KeypadModifier);
    unsigned code = 0;
    if (MacKeyboard::fixedKeyCode(key, &code))
        return code;
    return MacKeyboard::nativeKeycode(key, currentLayout());
}

quint32 GlobalShortCut::nativeModifiers(Qt::KeyboardModifiers modifiers)
{
    return MacKeyboard::nativeModifiers(modifiers);
}

bool GlobalShortCut::platformRegister(quint32 nativeKey, quint32 nativeMods, quint32 id, HotKeyRef *ref)
{
    static bool handlerInstalled = false;
    if (!handlerInstalled) {
        EventTypeSpec type;
        type.eventClass = kEventClassKeyboard;
        type.eventKind = kEventHotKeyPressed;
        InstallEventHandler(GetApplicationEventTarget(), &handleMacHotKeyEvent, 1, &type, nullptr, nullptr);
        handlerInstalled = true;
    }
    EventHotKeyID hotKeyId;
    hotKeyId.signature = 'cute';
    hotKeyId.id = id;
    EventHotKeyRef reference = nullptr;
    if (RegisterEventHotKey(nativeKey, nativeMods, hotKeyId, GetApplicationEventTarget(), 0, &reference) != noErr)
        return false;
    *ref = reinterpret_cast<HotKeyRef>(reference);
    return true;
}

bool GlobalShortCut::platformUnregister(quint32, quint32, HotKeyRef ref)
{
    return UnregisterEventHotKey(reinterpret_cast<EventHotKeyRef>(ref)) == noErr;
}

bool GlobalShortCut::nativeEventFilter(const QByteArray &, void *, long *)
{
    // Hot keys arrive through the Carbon callback only.
    return false;
}
