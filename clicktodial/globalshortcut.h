#pragma once

#include <QAbstractNativeEventFilter>
#include <QHash>
#include <QKeySequence>
#include <QMap>
#include <QObject>
#include <QPair>

//! One system-wide key combination: activated() fires whenever the user presses it, whichever
//! application has the focus. The registration bookkeeping is shared by every instance; the
//! platform layer (X11 grabs, Carbon hot keys, or none) sits behind registerShortcut(),
//! unregisterShortcut(), nativeKeycode() and nativeModifiers().
class GlobalShortCut final : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
    Q_DISABLE_COPY(GlobalShortCut)
    Q_PROPERTY(bool enabled READ isEnabled WRITE setEnabled)
    Q_PROPERTY(QKeySequence shortcut READ shortcut WRITE setShortcut)

public:
    using NativeKey = QPair<quint32, quint32>; // native key code, native modifier mask
    //! What the platform needs to release a registration (a Carbon reference; unused on X11).
    using HotKeyRef = quintptr;

    explicit GlobalShortCut(QObject *parent = nullptr);
    ~GlobalShortCut() override;

    //! Registers the first key combination of the sequence; a shortcut registered before stays
    //! registered. False when the platform refuses it (another program holds it).
    bool setShortcut(const QKeySequence &sequence);
    QKeySequence shortcut() const;
    bool unsetShortcut();

    bool isEnabled() const { return m_enabled; }

    //! Emits activated() when enabled and the pair is the one this instance registered.
    bool activateShortcut(quint32 nativeKey, quint32 nativeMods);
    //! A press reported by hot-key id: the pair registered under it (none: 0, 0) goes to the
    //! instance that registered last.
    static bool dispatchHotKeyId(quint32 id);

    //! Whether this session can have a system-wide hot key at all, and if not, why.
    static bool isAvailable();
    static QString unavailableReason();

    //! A Qt key code, with the keypad bit where the key is on the keypad (no Qt::Key: that bit
    //! lies outside the enum's range).
    static quint32 nativeKeycode(int key);
    static quint32 nativeModifiers(Qt::KeyboardModifiers modifiers);

    bool registerShortcut(quint32 nativeKey, quint32 nativeMods);
    bool unregisterShortcut(quint32 nativeKey, quint32 nativeMods);

    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;

    //! The process-wide registrations (for the platform layer and tests).
    static const QHash<NativeKey, quint32> &hotKeyIdsByKey();
    static const QMap<quint32, HotKeyRef> &hotKeyRefsById();
    static quint32 lastHotKeyId();
    static GlobalShortCut *lastRegistering();

public slots:
    void setEnabled(bool enabled = true) { m_enabled = enabled; }
    void setDisabled(bool disabled = true) { m_enabled = !disabled; }

signals:
    void activated();

private:
    // Platform calls, one implementation per platform file.
    static bool platformRegister(quint32 nativeKey, quint32 nativeMods, quint32 id, HotKeyRef *ref);
    static bool platformUnregister(quint32 nativeKey, quint32 nativeMods, HotKeyRef ref);

    bool m_enabled = false;
    int m_key = 0;
    Qt::KeyboardModifiers m_modifiers;
    quint32 m_nativeKey = 0;
    quint32 m_nativeMods = 0;
};
