#include "desktopkeynames.h"

#include <QStringList>

namespace {
struct NamedKey {
    int key;
    const char *name;
};

// Keys whose keysym name is not their character.
constexpr NamedKey namedKeys[] = {
    {Qt::Key_Escape, "Escape"},     {Qt::Key_Tab, "Tab"},           {Qt::Key_Backspace, "BackSpace"},
    {Qt::Key_Return, "Return"},     {Qt::Key_Enter, "KP_Enter"},    {Qt::Key_Insert, "Insert"},
    {Qt::Key_Delete, "Delete"},     {Qt::Key_Pause, "Pause"},       {Qt::Key_Print, "Print"},
    {Qt::Key_Home, "Home"},         {Qt::Key_End, "End"},           {Qt::Key_Left, "Left"},
    {Qt::Key_Up, "Up"},             {Qt::Key_Right, "Right"},       {Qt::Key_Down, "Down"},
    {Qt::Key_PageUp, "Page_Up"},    {Qt::Key_PageDown, "Page_Down"}, {Qt::Key_Menu, "Menu"},
    {Qt::Key_Space, "space"},       {Qt::Key_Comma, "comma"},       {Qt::Key_Period, "period"},
    {Qt::Key_Minus, "minus"},       {Qt::Key_Plus, "plus"},         {Qt::Key_Slash, "slash"},
    {Qt::Key_Backslash, "backslash"}, {Qt::Key_Semicolon, "semicolon"}, {Qt::Key_Equal, "equal"},
    {Qt::Key_NumberSign, "numbersign"}, {Qt::Key_Asterisk, "asterisk"}, {Qt::Key_Apostrophe, "apostrophe"},
};

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return true;
    default:
        return false;
    }
}

struct Modifier {
    Qt::KeyboardModifier qt;
    const char *portal;
    const char *gtk;
};

// Meta is the logo key on a PC keyboard.
constexpr Modifier modifiers[] = {
    {Qt::ControlModifier, "CTRL", "<Control>"},
    {Qt::AltModifier, "ALT", "<Alt>"},
    {Qt::ShiftModifier, "SHIFT", "<Shift>"},
    {Qt::MetaModifier, "LOGO", "<Super>"},
};
} // namespace

namespace {
// The keysym name of a Qt key ("p", "F1", "Page_Up", "KP_5" with the keypad bit); empty for a key
// without one known here.
QString keysymName(int key)
{
    const int code = key & ~int(Qt::KeyboardModifierMask);
    if (key & Qt::KeypadModifier) {
        if (code >= Qt::Key_0 && code <= Qt::Key_9)
            return QStringLiteral("KP_") + QChar(code);
        if (code == Qt::Key_Enter)
            return QStringLiteral("KP_Enter");
    }
    if (code >= Qt::Key_F1 && code <= Qt::Key_F35)
        return QStringLiteral("F") + QString::number(code - Qt::Key_F1 + 1);
    if (code >= Qt::Key_A && code <= Qt::Key_Z)
        return QChar(code - Qt::Key_A + 'a');
    if (code >= Qt::Key_0 && code <= Qt::Key_9)
        return QChar(code);
    for (const NamedKey &named : namedKeys) {
        if (named.key == code)
            return QLatin1String(named.name);
    }
    return QString();
}

// The sequence's first combination as the modifiers' names (the notation's field of each) and the
// key's name, joined by the separator; empty for a lone modifier or a key without a name.
QString composed(const QKeySequence &sequence, const char *Modifier::*notation, QLatin1String separator)
{
    if (sequence.isEmpty())
        return QString();
    const int combination = sequence[0];
    const int held = combination & int(Qt::KeyboardModifierMask & ~Qt::KeypadModifier);
    const int key = combination & ~int(Qt::KeyboardModifierMask & ~Qt::KeypadModifier);
    const QString name = isModifierKey(key & ~int(Qt::KeypadModifier)) ? QString() : keysymName(key);
    if (name.isEmpty())
        return QString();
    QStringList parts;
    for (const Modifier &modifier : modifiers) {
        if (held & modifier.qt)
            parts << QLatin1String(modifier.*notation);
    }
    parts << name;
    return parts.join(separator);
}
} // namespace

QString DesktopKeyNames::portalTrigger(const QKeySequence &sequence)
{
    return composed(sequence, &Modifier::portal, QLatin1String("+"));
}

QString DesktopKeyNames::gtkAccelerator(const QKeySequence &sequence)
{
    return composed(sequence, &Modifier::gtk, QLatin1String(""));
}
