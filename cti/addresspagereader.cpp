#include "addresspagereader.h"

#include "ctimessage.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace {
// Far below the JSON parser's own limit, which counts the levels above a contact's values too.
constexpr int maxDepth = 256;

bool isHexDigit(ushort c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool keyLess(QStringView a, QStringView b)
{
    return a.compare(b) < 0;
}
} // namespace

AddressPageReader::AddressPageReader(Intern intern)
    : m_intern(intern)
{
}

void AddressPageReader::clear()
{
    m_paging = QJsonObject();
    m_contacts.clear();
    m_members.clear();
}

bool AddressPageReader::read(const QString &text)
{
    clear();
    m_at = text.utf16();
    m_end = m_at + text.size();
    bool type = false;
    bool name = false;
    bool data = false;
    const auto readRoot = [&] {
        skipSpace();
        if (!take('{'))
            return false;
        for (;;) {
            QStringView key;
            if (!memberName(key, Name::Plain))
                return false;
            if (key == QLatin1String("type") || key == QLatin1String("name")) {
                bool &seen = key == QLatin1String("type") ? type : name;
                QStringView value;
                TextForm form;
                if (seen || !rawString(value, form) || form.escaped
                    || value != QLatin1String(&seen == &type ? "response" : "getAddresses"))
                    return false;
                seen = true;
            } else if (key == QLatin1String("data")) {
                if (data || !readData())
                    return false;
                data = true;
            } else if (!skipValue(0)) {
                return false;
            }
            skipSpace();
            if (take(','))
                continue;
            if (!take('}'))
                return false;
            skipSpace();
            return m_at == m_end && type && name && data;
        }
    };
    if (readRoot())
        return true;
    clear();
    return false;
}

void AddressPageReader::skipSpace()
{
    while (m_at < m_end && (*m_at == ' ' || *m_at == '\n' || *m_at == '\r' || *m_at == '\t'))
        ++m_at;
}

bool AddressPageReader::take(ushort c)
{
    if (m_at == m_end || *m_at != c)
        return false;
    ++m_at;
    return true;
}

bool AddressPageReader::rawString(QStringView &raw, TextForm &form)
{
    if (!take('"'))
        return false;
    form = TextForm();
    const ushort *start = m_at;
    while (m_at < m_end) {
        const ushort c = *m_at;
        if (c == '"') {
            raw = QStringView(start, m_at - start);
            ++m_at;
            return true;
        }
        if (c == '\\') {
            form.escaped = true;
            if (++m_at == m_end || *m_at >= 0x80)
                return false; // the parser reads one byte of UTF-8 here and fails on the next
            if (*m_at == 'u') {
                if (m_end - m_at < 5 || !std::all_of(m_at + 1, m_at + 5, isHexDigit))
                    return false;
                m_at += 4;
            }
        } else if (c >= 0x80) {
            form.ascii = false;
            if (QChar::isHighSurrogate(c) && m_at + 1 < m_end && QChar::isLowSurrogate(m_at[1])) {
                form.unusual |= QChar::isNonCharacter(QChar::surrogateToUcs4(c, m_at[1]));
                ++m_at;
            } else {
                form.unusual |= QChar::isSurrogate(c) || QChar::isNonCharacter(c);
            }
        }
        ++m_at;
    }
    return false;
}

bool AddressPageReader::memberName(QStringView &name, Name rule)
{
    skipSpace();
    TextForm form;
    if (!rawString(name, form) || (rule != Name::Any && form.escaped) || (rule == Name::Ascii && !form.ascii))
        return false;
    skipSpace();
    if (!take(':'))
        return false;
    skipSpace();
    return true;
}

QString AddressPageReader::decoded(QStringView raw)
{
    QString text;
    text.reserve(raw.size());
    for (auto c = raw.begin(); c != raw.end(); ++c) {
        if (*c != QLatin1Char('\\')) {
            text.append(*c);
            continue;
        }
        switch ((++c)->unicode()) {
        case 'b': text.append(QChar(0x8)); break;
        case 'f': text.append(QChar(0xc)); break;
        case 'n': text.append(QChar(0xa)); break;
        case 'r': text.append(QChar(0xd)); break;
        case 't': text.append(QChar(0x9)); break;
        case 'u':
            text.append(QChar(ushort(raw.mid(c - raw.begin() + 1, 4).toString().toUShort(nullptr, 16))));
            c += 4;
            break;
        default: // the character itself: \" \\ \/ and any other
            text.append(*c);
        }
    }
    return text;
}

bool AddressPageReader::skipValue(int depth)
{
    if (depth > maxDepth || m_at == m_end)
        return false;
    const ushort open = *m_at;
    if (open == '"') {
        QStringView raw;
        TextForm form;
        return rawString(raw, form);
    }
    if (open == '{' || open == '[') {
        const ushort close = open == '{' ? '}' : ']';
        ++m_at;
        skipSpace();
        if (take(close))
            return true;
        for (;;) {
            QStringView key;
            if (open == '{' && !memberName(key, Name::Any))
                return false;
            skipSpace();
            if (!skipValue(depth + 1))
                return false;
            skipSpace();
            if (take(close))
                return true;
            if (!take(','))
                return false;
        }
    }
    // A number or a literal: the parser says whether it is one.
    const ushort *start = m_at;
    while (m_at < m_end && *m_at < 0x80 && (QChar::isLetterOrNumber(*m_at) || *m_at == '+' || *m_at == '-' || *m_at == '.'))
        ++m_at;
    QJsonValue checked;
    return m_at > start && parsedValue(QStringView(start, m_at - start), checked);
}

bool AddressPageReader::parsedValue(QStringView text, QJsonValue &into)
{
    QByteArray wrapped = text.toUtf8();
    wrapped.prepend('[');
    wrapped.append(']');
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(wrapped, &error);
    if (error.error != QJsonParseError::NoError || document.array().size() != 1)
        return false;
    into = document.array().first();
    return true;
}

bool AddressPageReader::value(QVariant &into, const QVariant &before)
{
    if (m_at == m_end)
        return false;
    if (*m_at == '"') {
        QStringView raw;
        TextForm form;
        if (!rawString(raw, form) || form.unusual)
            return false;
        const QString text = form.escaped ? decoded(raw) : QString();
        const QStringView chars = form.escaped ? QStringView(text) : raw;
        if (before.userType() == QMetaType::QString && chars == *static_cast<const QString *>(before.constData()))
            into = before;
        else
            into = form.escaped ? QVariant(text) : QVariant(raw.toString());
        return true;
    }
    const ushort *start = m_at;
    if (!skipValue(0))
        return false;
    const QStringView literal(start, m_at - start);
    if (literal == QLatin1String("true") || literal == QLatin1String("false")) {
        into = QVariant(literal.size() == 4);
    } else if (literal == QLatin1String("null")) {
        into = QVariant();
    } else {
        // Numbers and nested values, rare in contacts, as the general path reads them.
        QJsonValue parsed;
        if (!parsedValue(literal, parsed))
            return false;
        into = CTIMessage::variantFromJson(parsed);
    }
    return true;
}

bool AddressPageReader::readData()
{
    if (!take('{'))
        return false;
    bool addresses = false;
    for (;;) {
        QStringView key;
        if (!memberName(key, Name::Plain))
            return false;
        if (key == QLatin1String("addresses")) {
            if (addresses || !readContacts())
                return false;
            addresses = true;
        } else if (key == QLatin1String("bookid") || key == QLatin1String("limit") || key == QLatin1String("offset")) {
            const QString name = key.toString();
            const ushort *start = m_at;
            QJsonValue value;
            if (m_paging.contains(name) || !skipValue(0) || !parsedValue(QStringView(start, m_at - start), value))
                return false;
            m_paging.insert(name, value);
        } else if (!skipValue(0)) {
            return false;
        }
        skipSpace();
        if (take(','))
            continue;
        return take('}') && addresses;
    }
}

bool AddressPageReader::readContacts()
{
    if (!take('{'))
        return false;
    skipSpace();
    if (take('}'))
        return true;
    for (;;) {
        QStringView id;
        if (!memberName(id, Name::Ascii) || !readContact(id))
            return false;
        skipSpace();
        if (take(','))
            continue;
        if (!take('}'))
            return false;
        break;
    }
    // Handed out in the order of their ids, as a parsed object holds its members; an id given
    // twice would leave the last one only.
    const auto byId = [](const Contact &a, const Contact &b) { return a.id < b.id; };
    if (!std::is_sorted(m_contacts.cbegin(), m_contacts.cend(), byId))
        std::sort(m_contacts.begin(), m_contacts.end(), byId);
    return std::adjacent_find(m_contacts.cbegin(), m_contacts.cend(),
                              [](const Contact &a, const Contact &b) { return a.id == b.id; })
        == m_contacts.cend();
}

bool AddressPageReader::readContact(QStringView id)
{
    if (!take('{'))
        return false;
    const Contact *before = m_contacts.isEmpty() ? nullptr : &m_contacts.constLast();
    m_members.clear();
    skipSpace();
    if (!take('}')) {
        for (;;) {
            QStringView key;
            if (!memberName(key, Name::Ascii))
                return false;
            const int i = m_members.size();
            const bool sameKey = before && i < before->keys.size() && QStringView(before->keys.at(i)) == key;
            Member member{key, QVariant()};
            if (!value(member.value, sameKey ? before->values.at(i) : QVariant()))
                return false;
            m_members.append(std::move(member));
            skipSpace();
            if (take(','))
                continue;
            if (!take('}'))
                return false;
            break;
        }
    }
    const auto byKey = [](const Member &a, const Member &b) { return keyLess(a.key, b.key); };
    if (!std::is_sorted(m_members.cbegin(), m_members.cend(), byKey)) {
        std::sort(m_members.begin(), m_members.end(), byKey);
        if (std::adjacent_find(m_members.cbegin(), m_members.cend(),
                               [](const Member &a, const Member &b) { return a.key == b.key; })
            != m_members.cend())
            return false; // the parser would keep the last value only
    } else if (std::adjacent_find(m_members.cbegin(), m_members.cend(),
                                  [](const Member &a, const Member &b) { return a.key == b.key; })
               != m_members.cend()) {
        return false;
    }

    Contact contact;
    contact.id = id.toString();
    bool sameKeys = before && before->keys.size() == m_members.size();
    for (int i = 0; sameKeys && i < m_members.size(); ++i)
        sameKeys = QStringView(before->keys.at(i)) == m_members.at(i).key;
    if (sameKeys) {
        contact.keys = before->keys;
    } else {
        QVector<QString> names;
        names.reserve(m_members.size());
        for (const Member &member : qAsConst(m_members))
            names.append(m_intern(member.key.toString()));
        if (!contact.keys.assign(names))
            return false;
    }
    contact.values.reserve(m_members.size());
    for (Member &member : m_members)
        contact.values.append(std::move(member.value));
    m_contacts.append(std::move(contact));
    return true;
}
