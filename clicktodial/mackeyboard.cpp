#include "mackeyboard.h"

#include <QtEndian>

#include <optional>

namespace {

struct ModifierBit
{
    Qt::KeyboardModifier modifier;
    unsigned native;
};

const ModifierBit modifierBits[] = {
    {Qt::ShiftModifier, 0x0200},
    {Qt::ControlModifier, 0x0100}, // command
    {Qt::AltModifier, 0x0800},     // option
    {Qt::MetaModifier, 0x1000},    // control
    {Qt::KeypadModifier, 0x10000},
};

struct FixedKey
{
    Qt::Key key;
    unsigned code;
};

// Codes of keys that print nothing, or the same on every layout; everything else is looked up
// in the user's current layout.
const FixedKey fixedKeys[] = {
    {Qt::Key_Space, 49},      {Qt::Key_Tab, 48},        {Qt::Key_Backspace, 51},
    {Qt::Key_Return, 36},     {Qt::Key_Enter, 76},      {Qt::Key_Delete, 117},
    {Qt::Key_Home, 115},      {Qt::Key_End, 119},       {Qt::Key_Left, 123},
    {Qt::Key_Up, 126},        {Qt::Key_Right, 124},     {Qt::Key_Down, 125},
    {Qt::Key_PageUp, 116},    {Qt::Key_PageDown, 121},  {Qt::Key_Shift, 56},
    {Qt::Key_Control, 55},    {Qt::Key_Meta, 59},       {Qt::Key_CapsLock, 57},
    {Qt::Key_Help, 114},      {Qt::Key_VolumeDown, 73}, {Qt::Key_VolumeUp, 72},
    {Qt::Key_F1, 122},        {Qt::Key_F2, 120},        {Qt::Key_F3, 99},
    {Qt::Key_F4, 118},        {Qt::Key_F5, 96},         {Qt::Key_F6, 97},
    {Qt::Key_F7, 98},         {Qt::Key_F8, 100},        {Qt::Key_F9, 101},
    {Qt::Key_F10, 109},       {Qt::Key_F11, 103},       {Qt::Key_F12, 111},
    {Qt::Key_F13, 105},       {Qt::Key_F14, 107},       {Qt::Key_F15, 113},
    {Qt::Key_F16, 106},       {Qt::Key_F17, 64},        {Qt::Key_F18, 79},
    {Qt::Key_F19, 80},        {Qt::Key_F20, 90},        {MacKeyboard::keyOption, 58},
};

// 'uchr' layout structure.
constexpr quint64 typeCountAt = 8;
constexpr quint64 typeHeadersAt = 12;
constexpr quint64 typeHeaderSize = 7 * 4;
constexpr quint64 charIndexField = 3 * 4; // within a type header
constexpr quint64 stateIndexField = 4 * 4;
constexpr quint16 charIndexFormat = 0x4001;
constexpr quint16 stateIndexFormat = 0x5001;
constexpr quint16 stateRecordFlags = 0xC000;
constexpr quint16 stateRecordMask = 0x3FFF;

// The layout comes from the OS, yet we read it as untrusted: every read is checked against the
// data's size, and every loop ends at the first offset outside the data, whatever a count claims,
// so a damaged layout costs at most a failed lookup. Offsets are widened to 64 bits so that
// adding to a 32-bit offset from the data cannot wrap back inside.
template <typename T>
bool readAt(const QByteArray &data, quint64 offset, T *value)
{
    const auto size = quint64(data.size());
    if (offset > size || size - offset < sizeof(T))
        return false;
    *value = qFromUnaligned<T>(data.constData() + offset);
    return true;
}

struct StateRecords
{
    quint64 offsetsAt = 0;
    quint16 count = 0; // 0 also when the type has no usable index
};

StateRecords stateRecordsIndex(const QByteArray &layout, quint32 indexAt)
{
    quint16 format = 0;
    quint16 count = 0;
    if (indexAt == 0 || !readAt(layout, indexAt, &format) || format != stateIndexFormat
        || !readAt(layout, indexAt + 2ull, &count))
        return {};
    return {indexAt + 4ull, count};
}

std::optional<quint16> neutralCharacter(const QByteArray &layout, const StateRecords &records,
                                        quint16 index)
{
    quint32 recordAt = 0;
    quint16 character = 0;
    if (index >= records.count || !readAt(layout, records.offsetsAt + 4ull * index, &recordAt)
        || !readAt(layout, recordAt, &character))
        return std::nullopt;
    return character;
}

std::optional<unsigned> searchTables(const QByteArray &layout, quint32 indexAt,
                                     const StateRecords &records, quint16 character)
{
    quint16 format = 0;
    quint16 size = 0;
    quint32 count = 0;
    if (!readAt(layout, indexAt, &format) || format != charIndexFormat
        || !readAt(layout, indexAt + 2ull, &size) || !readAt(layout, indexAt + 4ull, &count))
        return std::nullopt;

    for (quint64 table = 0; table < count; ++table) {
        quint32 tableAt = 0;
        if (!readAt(layout, indexAt + 8ull + 4 * table, &tableAt))
            break;
        for (unsigned key = 0; key < size; ++key) {
            quint16 output = 0;
            if (!readAt(layout, tableAt + 2ull * key, &output))
                break;
            if (output & stateRecordFlags) {
                if (neutralCharacter(layout, records, output & stateRecordMask) == character)
                    return key;
            } else if (output == character) {
                // Outputs above 0xFFFD (non-characters) always carry flag bits, so never land here.
                return key;
            }
        }
    }
    return std::nullopt;
}

} // namespace

unsigned MacKeyboard::nativeModifiers(Qt::KeyboardModifiers modifiers)
{
    unsigned native = 0;
    for (const ModifierBit &bit : modifierBits) {
        if (modifiers & bit.modifier)
            native |= bit.native;
    }
    return native;
}

bool MacKeyboard::fixedKeyCode(Qt::Key key, unsigned *code)
{
    for (const FixedKey &fixed : fixedKeys) {
        if (fixed.key == key) {
            *code = fixed.code;
            return true;
        }
    }
    return false;
}

quint16 MacKeyboard::layoutCharacter(Qt::Key key)
{
    return key == Qt::Key_Escape ? 27 : quint16(key & 0xFFFF);
}

unsigned MacKeyboard::searchLayout(const QByteArray &layout, quint16 character)
{
    quint32 typeCount = 0;
    if (!readAt(layout, typeCountAt, &typeCount))
        return 0;
    for (quint64 type = 0; type < typeCount; ++type) {
        const quint64 header = typeHeadersAt + type * typeHeaderSize;
        quint32 charIndexAt = 0;
        quint32 stateIndexAt = 0;
        if (quint64(layout.size()) < header + typeHeaderSize
            || !readAt(layout, header + charIndexField, &charIndexAt)
            || !readAt(layout, header + stateIndexField, &stateIndexAt))
            break;
        const StateRecords records = stateRecordsIndex(layout, stateIndexAt);
        if (const std::optional<unsigned> key = searchTables(layout, charIndexAt, records, character))
            return *key;
    }
    return 0;
}

unsigned MacKeyboard::nativeKeycode(Qt::Key key, const QByteArray &layout)
{
    unsigned code = 0;
    if (fixedKeyCode(key, &code))
        return code;
    return searchLayout(layout, layoutCharacter(key));
}
