#include "mackeyboard.h"

#include <QtEndian>
#include <QtTest>

#include <optional>
#include <vector>

namespace {
// One keyboard type of a layout built in memory. The optional fields, when set, are written in
// place of the true values, to build damaged or lying layouts.
struct KeyboardType
{
    QVector<QVector<quint16>> tables; // outputs by key code, all of one size
    QVector<quint16> records;         // neutral-state characters; none: no key-state index
    quint16 charIndexFormat = 0x4001;
    quint16 stateIndexFormat = 0x5001;
    std::optional<quint32> charIndexAt, stateIndexAt, tableCount, firstTableAt, firstRecordAt;
    std::optional<quint16> tableSize, recordCount;
};

KeyboardType type(const QVector<QVector<quint16>> &tables, const QVector<quint16> &records = {})
{
    KeyboardType t;
    t.tables = tables;
    t.records = records;
    return t;
}

template <typename T>
void put(QByteArray &data, int at, T value) { qToUnaligned(value, data.data() + at); }

template <typename T>
void append(QByteArray &data, T value) { data.append(int(sizeof(T)), '\0'); put(data, data.size() - int(sizeof(T)), value); }

QByteArray build(const QVector<KeyboardType> &types, std::optional<quint32> typeCount = {})
{
    QByteArray data(12 + 28 * types.size(), '\0');
    put<quint16>(data, 0, 0x1002);
    put<quint32>(data, 8, typeCount.value_or(types.size()));
    for (int i = 0; i < types.size(); ++i) {
        const KeyboardType &t = types.at(i);
        const int header = 12 + 28 * i;
        put<quint32>(data, header + 12, t.charIndexAt.value_or(data.size()));
        append(data, t.charIndexFormat);
        append(data, t.tableSize.value_or(t.tables.isEmpty() ? 0 : t.tables.first().size()));
        append(data, t.tableCount.value_or(t.tables.size()));
        int offsets = data.size();
        data.append(4 * t.tables.size(), '\0');
        for (int n = 0; n < t.tables.size(); ++n) {
            put<quint32>(data, offsets + 4 * n, n == 0 ? t.firstTableAt.value_or(data.size()) : data.size());
            for (quint16 output : t.tables.at(n))
                append(data, output);
        }
        if (t.records.isEmpty() && !t.stateIndexAt)
            continue;
        put<quint32>(data, header + 16, t.stateIndexAt.value_or(data.size()));
        append(data, t.stateIndexFormat);
        append(data, t.recordCount.value_or(t.records.size()));
        offsets = data.size();
        data.append(4 * t.records.size(), '\0');
        for (int n = 0; n < t.records.size(); ++n) {
            put<quint32>(data, offsets + 4 * n, n == 0 ? t.firstRecordAt.value_or(data.size()) : data.size());
            append(data, t.records.at(n));
            append<quint16>(data, 0); // next state, entry count, entry format
            append<quint16>(data, 0);
            append<quint16>(data, 0);
        }
    }
    return data;
}
}

class tst_MacKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void nativeModifiers_data();
    void nativeModifiers();
    void fixedKeyCode_data();
    void fixedKeyCode();
    void searchLayout_data();
    void searchLayout();
    void nativeKeycode_data();
    void nativeKeycode();
};

void tst_MacKeyboard::nativeModifiers_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<uint>("expected");
    QTest::newRow("none") << 0 << 0x0u;
    QTest::newRow("alt is option") << int(Qt::AltModifier) << 0x0800u;
    QTest::newRow("ctrl+shift is command+shift") << int(Qt::ControlModifier | Qt::ShiftModifier) << 0x0300u;
    QTest::newRow("meta is control") << int(Qt::MetaModifier) << 0x1000u;
    QTest::newRow("keypad") << int(Qt::KeypadModifier) << 0x10000u;
    QTest::newRow("group switch ignored") << int(Qt::GroupSwitchModifier | Qt::AltModifier) << 0x0800u;
}

void tst_MacKeyboard::nativeModifiers()
{
    QFETCH(int, modifiers);
    QFETCH(uint, expected);
    QCOMPARE(MacKeyboard::nativeModifiers(Qt::KeyboardModifiers(modifiers)), expected);
}

void tst_MacKeyboard::fixedKeyCode_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<bool>("fixed");
    QTest::addColumn<uint>("expected");
    QTest::newRow("F1") << Qt::Key_F1 << true << 122u;
    QTest::newRow("Return") << Qt::Key_Return << true << 36u;
    QTest::newRow("Enter") << Qt::Key_Enter << true << 76u;
    QTest::newRow("Meta") << Qt::Key_Meta << true << 59u;
    QTest::newRow("Home") << Qt::Key_Home << true << 115u;
    QTest::newRow("Option") << MacKeyboard::keyOption << true << 58u;
    QTest::newRow("F21 is not fixed") << Qt::Key_F21 << false << 0u;
    QTest::newRow("Escape goes to the layout") << Qt::Key_Escape << false << 0u;
    QTest::newRow("letters go to the layout") << Qt::Key_A << false << 0u;
}

void tst_MacKeyboard::fixedKeyCode()
{
    QFETCH(Qt::Key, key);
    QFETCH(bool, fixed);
    QFETCH(uint, expected);
    unsigned code = 0;
    QCOMPARE(MacKeyboard::fixedKeyCode(key, &code), fixed);
    QCOMPARE(code, expected);
}

void tst_MacKeyboard::searchLayout_data()
{
    QTest::addColumn<QByteArray>("layout");
    QTest::addColumn<quint16>("character");
    QTest::addColumn<uint>("expected");

    const KeyboardType plain = type({{'a', 's', 'd'}, {'A', 'S', 'D'}});
    const QByteArray plainLayout = build({plain});
    QTest::newRow("direct output") << plainLayout << quint16('s') << 1u;
    QTest::newRow("in a later table") << plainLayout << quint16('D') << 2u;
    QTest::newRow("not found") << plainLayout << quint16('x') << 0u;
    QTest::newRow("empty") << QByteArray() << quint16('a') << 0u;
    QTest::newRow("via state record") << build({type({{'a', 0x8001}}, {'^', 'e'})}) << quint16('e') << 1u;
    QTest::newRow("via state record, 0x4000 flag") << build({type({{'a', 0x4000}}, {'~'})}) << quint16('~') << 1u;
    QTest::newRow("above 0xFFFD") << build({type({{0xFFFE, 0xFFFF}})}) << quint16(0xFFFE) << 0u;

    KeyboardType badCharIndex = type({{'x', 'x', 'q'}});
    badCharIndex.charIndexFormat = 0x4002;
    QTest::newRow("type with bad key-to-char index skipped")
            << build({badCharIndex, type({{'z', 'q'}})}) << quint16('q') << 1u;
    KeyboardType badStateIndex = type({{'a', 0x8000}}, {'e'});
    badStateIndex.stateIndexFormat = 0x5002;
    QTest::newRow("bad key-state index") << build({badStateIndex}) << quint16('e') << 0u;

    // Damaged and lying layouts: each answers what the intact part holds, or 0.
    QTest::newRow("cut in the header") << plainLayout.left(10) << quint16('a') << 0u;
    QTest::newRow("cut in the type headers") << build({plain, plain}).left(12 + 28 + 10) << quint16('a') << 0u;
    QTest::newRow("cut in a table") << plainLayout.left(plainLayout.size() - 3) << quint16('D') << 0u;
    QTest::newRow("last value of the data") << plainLayout << quint16('D') << 2u;
    QTest::newRow("type count beyond the data") << build({plain}, 0xFFFFFFFF) << quint16('S') << 1u;
    QTest::newRow("type count beyond the data, absent") << build({plain}, 0xFFFFFFFF) << quint16('x') << 0u;

    KeyboardType lying = plain;
    lying.tableCount = 0xFFFFFFFF;
    lying.tableSize = 0xFFFF;
    QTest::newRow("table size and count beyond the data") << build({lying}) << quint16('s') << 1u;
    QTest::newRow("table size and count beyond the data, absent") << build({lying}) << quint16(0x2603) << 0u;
    lying = plain;
    lying.tableCount = 1;
    QTest::newRow("tables beyond the count not searched") << build({lying}) << quint16('D') << 0u;
    lying = plain;
    lying.firstTableAt = 0xFFFFFFFF;
    QTest::newRow("table offset wraps") << build({lying}) << quint16('s') << 0u;
    lying = plain;
    lying.charIndexAt = 0xFFFFFFFE;
    QTest::newRow("key-to-char index outside, next type searched")
            << build({lying, type({{'z', 'z', 's'}})}) << quint16('s') << 2u;

    const KeyboardType withRecords = type({{'a', 0x8000, 0x8002, 0x8000 | 0x3FFF}}, {'^', '`', 'e'});
    KeyboardType lyingRecords = withRecords;
    lyingRecords.stateIndexAt = 0xFFFFFFFE;
    QTest::newRow("key-state index outside") << build({lyingRecords}) << quint16('^') << 0u;
    lyingRecords = withRecords;
    lyingRecords.recordCount = 2;
    QTest::newRow("record beyond the count") << build({lyingRecords}) << quint16('e') << 0u;
    lyingRecords.recordCount = 0xFFFF;
    QTest::newRow("record count beyond the data, absent") << build({lyingRecords}) << quint16(0x2603) << 0u;
    lyingRecords = withRecords;
    lyingRecords.firstRecordAt = 0xFFFFFFF0;
    QTest::newRow("record offset outside") << build({lyingRecords}) << quint16('^') << 0u;
}

void tst_MacKeyboard::searchLayout()
{
    QFETCH(QByteArray, layout);
    QFETCH(quint16, character);
    QFETCH(uint, expected);
    // An exactly sized heap copy, so a read past the end hits ASan's red zone, not QByteArray's slack.
    std::vector<char> exact(layout.cbegin(), layout.cend());
    QCOMPARE(MacKeyboard::searchLayout(QByteArray::fromRawData(exact.data(), int(exact.size())), character),
             expected);
}

void tst_MacKeyboard::nativeKeycode_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<uint>("expected");
    QTest::newRow("fixed key before the layout") << Qt::Key_Space << 49u;
    QTest::newRow("letter from the layout") << Qt::Key_A << 3u;
    QTest::newRow("escape as character 27") << Qt::Key_Escape << 5u;
    QTest::newRow("not in the layout") << Qt::Key_B << 0u;
}

void tst_MacKeyboard::nativeKeycode()
{
    QFETCH(Qt::Key, key);
    QFETCH(uint, expected);
    // Escape's low bits are 0, found at key 0 if it were searched for as such.
    const QByteArray layout = build({type({{0, ' ', 'a', 'A', 'Z', 27}})});
    QCOMPARE(MacKeyboard::nativeKeycode(key, layout), expected);
}

QTEST_APPLESS_MAIN(tst_MacKeyboard)
#include "tst_mackeyboard.moc"
