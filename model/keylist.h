#pragma once

#include <QMap>
#include <QString>
#include <QVariant>
#include <QVector>

#include <algorithm>
#include <iterator>

//! Inserts the value at index. A vector that is shared or full gets one of its own with room for
//! exactly one more, where QVector::insert() would copy the shared room and then double it: each
//! of thousands of contacts sharing keys may read a key it lacks.
template<typename T>
void insertTightly(QVector<T> &vector, int index, const T &value)
{
    if (vector.isDetached() && vector.size() < vector.capacity()) {
        vector.insert(index, value);
        return;
    }
    QVector<T> own;
    own.reserve(vector.size() + 1);
    std::copy(vector.cbegin(), vector.cbegin() + index, std::back_inserter(own));
    own.append(value);
    std::copy(vector.cbegin() + index, vector.cend(), std::back_inserter(own));
    vector = std::move(own);
}

//! The keys of a record in strictly ascending order: a key is found by binary search, and its value
//! sits at the same index of a vector beside the list. Copies share one list until one of them
//! gains a key, so the contacts of an address-book page hold their keys once.
class KeyList
{
public:
    KeyList() = default;
    //! The keys of the map, which holds them in order already.
    explicit KeyList(const QMap<QString, QVariant> &map);

    //! Takes the keys if they ascend strictly; otherwise returns false and keeps the list as it was.
    bool assign(const QVector<QString> &keys);

    int size() const { return m_keys.size(); }
    bool isEmpty() const { return m_keys.isEmpty(); }
    const QString &at(int index) const { return m_keys.at(index); }

    //! The index of the key, or -1.
    int indexOf(const QString &key) const;
    //! Where the key is (found set) or where it would go to keep the order (found cleared).
    int find(const QString &key, bool *found) const;
    //! Inserts an absent key at the index find() gave for it.
    void insert(int index, const QString &key);
    void reserve(int size) { m_keys.reserve(size); }

private:
    QVector<QString> m_keys;
};
