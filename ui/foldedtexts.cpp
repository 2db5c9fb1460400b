#include "foldedtexts.h"

#include <algorithm>

void FoldedTexts::clear()
{
    m_keys.clear();
    m_starts = {0};
}

void FoldedTexts::append(const QString &text)
{
    m_keys += text.toCaseFolded();
    m_keys += QChar(0);
    m_starts.append(m_keys.size());
}

void FoldedTexts::replace(int item, const QString &text)
{
    const int start = m_starts.at(item);
    const int length = m_starts.at(item + 1) - 1 - start;
    const QString folded = text.toCaseFolded();
    m_keys.replace(start, length, folded);
    const int shift = folded.size() - length;
    if (shift == 0)
        return;
    for (auto it = m_starts.begin() + item + 1; it != m_starts.end(); ++it)
        *it += shift;
}

void FoldedTexts::remove(int item)
{
    const int start = m_starts.at(item);
    const int length = m_starts.at(item + 1) - start;
    m_keys.remove(start, length);
    m_starts.remove(item);
    for (auto it = m_starts.begin() + item; it != m_starts.end(); ++it)
        *it -= length;
}

QStringView FoldedTexts::text(int item) const
{
    return QStringView(m_keys).mid(m_starts.at(item), m_starts.at(item + 1) - 1 - m_starts.at(item));
}

bool FoldedTexts::contains(int item, const QString &needle) const
{
    const QChar *end = m_keys.constData() + m_starts.at(item + 1) - 1;
    const QChar *first = needle.constData();
    const int length = needle.size();
    // A text is a few dozen characters: a plain look for the first character beats any set-up.
    for (const QChar *at = m_keys.constData() + m_starts.at(item), *last = end - length; at <= last; ++at) {
        if (*at == *first && std::equal(first + 1, first + length, at + 1))
            return true;
    }
    return false;
}

QVector<int> FoldedTexts::findAll(const QString &needle) const
{
    QVector<int> found;
    // Each find is taken for the text it lies in, and the search goes on after that text.
    const QStringView keys(m_keys);
    const int items = size();
    int item = 0;
    qsizetype at = 0;
    while (item < items && (at = keys.indexOf(QStringView(needle), at)) >= 0) {
        item = int(std::upper_bound(m_starts.cbegin() + item, m_starts.cend(), int(at)) - m_starts.cbegin()) - 1;
        if (at + needle.size() < m_starts.at(item + 1)) {
            found.append(item);
            at = m_starts.at(++item);
        } else {
            ++at; // across the end of a text
        }
    }
    return found;
}
