#pragma once

#include <QString>
#include <QStringView>
#include <QVector>

//! Texts for a case-insensitive search, each case-folded once as it comes and kept one after the
//! other in one buffer, each followed by a null, with the offset where each begins: about two
//! bytes a character and no string object per text. Folded texts compared as they are match as
//! QString::contains(…, Qt::CaseInsensitive) matches.
class FoldedTexts
{
public:
    int size() const { return m_starts.size() - 1; }
    void clear();
    void append(const QString &text);
    void replace(int item, const QString &text);
    void remove(int item);

    //! The item's text, folded.
    QStringView text(int item) const;
    //! Whether the item's text contains the needle; the needle folded already.
    bool contains(int item, const QString &needle) const;
    //! The items whose text contains the needle, ascending: one search through the whole buffer.
    QVector<int> findAll(const QString &needle) const;

private:
    QString m_keys;
    QVector<int> m_starts{0};
};
