#pragma once

#include <QByteArray>
#include <Qt>
#include <QtGlobal>

//! Translates the global hot key from Qt's terms into the virtual key code and modifier mask
//! that the macOS hot-key registration takes. Plain functions over plain data, so they build and
//! are tested on every platform; fetching the current keyboard layout is the caller's part.
class MacKeyboard final
{
public:
    MacKeyboard() = delete;

    //! Qt's Key_Option, which Qt 5 does not name.
    static constexpr Qt::Key keyOption = Qt::Key(0x010000E1);

    //! The native modifier mask. Qt on macOS reports Command as ControlModifier and the Control
    //! key as MetaModifier, so these map to the command and control bits respectively.
    static unsigned nativeModifiers(Qt::KeyboardModifiers modifiers);

    //! The virtual key code of a key that has the same code under every layout (function,
    //! cursor and modifier keys, ...). Returns false and leaves *code alone for any other key.
    static bool fixedKeyCode(Qt::Key key, unsigned *code);

    //! The character a layout produces for the key: its low 16 bits (Qt's letters are upper
    //! case), except Escape, which produces the escape character.
    static quint16 layoutCharacter(Qt::Key key);

    //! The key code whose neutral-state output is the character in a Unicode keyboard layout
    //! ('uchr' data, host byte order); 0 when none is found or the data is unusable.
    static unsigned searchLayout(const QByteArray &layout, quint16 character);

    //! The key code for the key: the fixed table first, else the layout search.
    static unsigned nativeKeycode(Qt::Key key, const QByteArray &layout);
};
