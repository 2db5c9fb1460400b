#include "dialsuggestionfilter.h"

#include "dialsuggestionmodel.h"

#include <QVariant>

DialSuggestionFilter::DialSuggestionFilter(DialSuggestionModel *source, QObject *parent)
    : MatchingRowsProxyModel(source, parent)
    , m_source(source)
{
}

void DialSuggestionFilter::setFilterText(const QString &text)
{
    if (text == m_text)
        return;
    const QString needle = text.toCaseFolded();
    beginResetModel();
    m_matchText = m_text + QLatin1Char('\n') + text;
    m_text = text;
    if (needle.isEmpty()) {
        showAll();
        m_earlier.clear();
    } else {
        // What the new text extends narrows; what it does not extend is dropped.
        if (!showsAll())
            m_earlier.append({m_needle, shownRows()});
        while (!m_earlier.isEmpty() && !needle.startsWith(m_earlier.constLast().first))
            m_earlier.removeLast();
        m_needle = needle;
        prepare();
        if (!m_earlier.isEmpty() && m_earlier.constLast().first == needle)
            showRows(m_earlier.takeLast().second);
        else
            showRows(matchesAmong(m_earlier.isEmpty() ? nullptr : &m_earlier.constLast().second));
        trimEarlier(m_earlier);
    }
    m_needle = needle;
    endResetModel();
}

void DialSuggestionFilter::prepare()
{
    const int rows = m_source->rowCount();
    if (m_stale) {
        m_keys.clear();
        m_stale = false;
    }
    for (int row = m_keys.size(); row < rows; ++row)
        m_keys.append(m_source->index(row, DialSuggestionModel::LineColumn).data().toString());
}

bool DialSuggestionFilter::matchesRow(int sourceRow) const
{
    return m_keys.contains(sourceRow, m_needle);
}

QVector<int> DialSuggestionFilter::matchesAmong(const QVector<int> *candidates) const
{
    if (!candidates)
        return m_keys.findAll(m_needle);
    QVector<int> found;
    for (const int row : *candidates) {
        if (m_keys.contains(row, m_needle))
            found.append(row);
    }
    return found;
}

QVariant DialSuggestionFilter::data(const QModelIndex &index, int role) const
{
    if (role == MatchRole)
        return index.isValid() ? QVariant(m_matchText) : QVariant();
    return MatchingRowsProxyModel::data(index, role);
}

void DialSuggestionFilter::sourceRowsArrived(int first, int last)
{
    Q_UNUSED(last)
    m_earlier.clear();
    // Rows come at the end, as contacts arrive: their keys are prepared as they come.
    if (first != m_keys.size())
        m_stale = true;
    if (!showsAll() || !m_stale)
        prepare();
}

void DialSuggestionFilter::sourceRowsLeft(int first, int last)
{
    Q_UNUSED(first)
    Q_UNUSED(last)
    m_earlier.clear();
    m_stale = true; // made anew when next needed: a book going takes its contacts one by one
}

void DialSuggestionFilter::sourceRowsChanged(int first, int last)
{
    Q_UNUSED(first)
    Q_UNUSED(last)
    m_earlier.clear();
    m_stale = true;
    if (!showsAll())
        prepare();
}
