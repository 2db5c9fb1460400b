#include "keylist.h"

#include <algorithm>

KeyList::KeyList(const QMap<QString, QVariant> &map)
{
    m_keys.reserve(map.size());
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        m_keys.append(it.key());
}

bool KeyList::assign(const QVector<QString> &keys)
{
    // Binary search and the parallel values rely on the order; equal neighbours would be one key twice.
    const auto unordered = std::adjacent_find(keys.cbegin(), keys.cend(),
                                              [](const QString &a, const QString &b) { return !(a < b); });
    if (unordered != keys.cend())
        return false;
    m_keys = keys;
    return true;
}

int KeyList::indexOf(const QString &key) const
{
    bool found = false;
    const int index = find(key, &found);
    return found ? index : -1;
}

int KeyList::find(const QString &key, bool *found) const
{
    const auto it = std::lower_bound(m_keys.cbegin(), m_keys.cend(), key);
    *found = it != m_keys.cend() && *it == key;
    return int(it - m_keys.cbegin());
}

void KeyList::insert(int index, const QString &key)
{
    Q_ASSERT(index == 0 || m_keys.at(index - 1) < key);
    Q_ASSERT(index == m_keys.size() || key < m_keys.at(index));
    insertTightly(m_keys, index, key);
}
