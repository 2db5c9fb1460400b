#include "addresslistproxymodel.h"

#include "addresslistmodel.h"

#include <algorithm>
#include <functional>
#include <numeric>

namespace {
bool isWildcardCharacter(QChar c)
{
    return c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('[') || c == QLatin1Char(']')
        || c == QLatin1Char('\\');
}

//! Whether the whole text is what the pattern describes: '*' any run, '?' any one character.
bool globMatches(QStringView pattern, QStringView text)
{
    qsizetype p = 0;
    qsizetype t = 0;
    qsizetype star = -1;
    qsizetype resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == QLatin1Char('?') || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            star = p++;
            resume = t;
        } else if (star >= 0) {
            // The last star takes one character more.
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

//! The one character the expression does not take for the plain letter it folds to, given a
//! pattern of plain ASCII: the long s.
const QChar longS(0x17F);

} // namespace

AddressListProxyModel::AddressListProxyModel(AddressListModel *source, QObject *parent)
    : MatchingRowsProxyModel(source, parent)
    , m_list(source)
{
    prepare();
    connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this,
            &AddressListProxyModel::sourceLayoutAboutToBeChanged);
    connect(source, &QAbstractItemModel::layoutChanged, this, &AddressListProxyModel::sourceLayoutChanged);
    connect(source, &QAbstractItemModel::headerDataChanged, this, &QAbstractItemModel::headerDataChanged);
}

void AddressListProxyModel::sort(int column, Qt::SortOrder order)
{
    m_list->sort(column, order);
}

void AddressListProxyModel::setSearchWildcard(const QString &pattern)
{
    if (pattern == m_pattern)
        return;
    beginLayoutChange();
    // The rows of a pattern stay at hand for a later one that extends it, unless its brackets or
    // backslashes could mean something else once extended.
    if (!showsAll() && std::none_of(m_pattern.cbegin(), m_pattern.cend(), [](QChar c) {
            return c == QLatin1Char('[') || c == QLatin1Char(']') || c == QLatin1Char('\\');
        }))
        m_earlier.append({m_pattern, shownRows()});
    m_pattern = pattern;
    m_plain = std::none_of(pattern.cbegin(), pattern.cend(),
                           [](QChar c) { return isWildcardCharacter(c) || c.unicode() == 0; });
    m_regExp = QRegExp(pattern, Qt::CaseInsensitive, QRegExp::Wildcard);
    m_needle = m_plain ? pattern.toCaseFolded() : QString();
    const bool globOnly = std::all_of(pattern.cbegin(), pattern.cend(), [](QChar c) {
        return c.unicode() > 0 && c.unicode() < 128 && c != QLatin1Char('[') && c != QLatin1Char(']')
            && c != QLatin1Char('\\');
    });
    m_glob = !m_plain && globOnly ? QLatin1Char('*') + pattern.toCaseFolded() + QLatin1Char('*') : QString();
    m_required = m_plain ? QString() : requiredText();
    if (m_pattern.isEmpty()) {
        showAll();
        m_earlier.clear();
    } else {
        showRows(filter());
    }
    trimEarlier(m_earlier);
    endLayoutChange();
}

QVector<int> AddressListProxyModel::filter()
{
    QVector<int> rows;
    // What matches a pattern matches each complete pattern it extends: the rows of the longest of
    // those typed before are the candidates.
    while (!m_earlier.isEmpty() && !m_pattern.startsWith(m_earlier.constLast().first))
        m_earlier.removeLast();
    if (!m_earlier.isEmpty() && m_earlier.constLast().first == m_pattern)
        return m_earlier.takeLast().second;
    const QVector<int> *earlier = m_earlier.isEmpty() ? nullptr : &m_earlier.constLast().second;
    if (m_plain) {
        if (!earlier)
            return rowsOfEntries(m_keys.findAll(m_needle));
        for (const int row : *earlier) {
            if (m_keys.contains(m_list->entryAt(row), m_needle))
                rows.append(row);
        }
        return rows;
    }
    QVector<int> candidates;
    if (earlier) {
        candidates = *earlier;
    } else if (!m_required.isEmpty()) {
        candidates = rowsOfEntries(m_keys.findAll(m_required));
    } else {
        candidates.resize(m_list->rowCount());
        std::iota(candidates.begin(), candidates.end(), 0);
    }
    for (const int row : qAsConst(candidates)) {
        if (matchesRow(row))
            rows.append(row);
    }
    return rows;
}

QString AddressListProxyModel::requiredText() const
{
    // Where the expression matches a character regardless of case, their folded forms are the
    // same: the run is found in the folded texts. Only letters before a bracket count: what a
    // bracket holds, and where it ends, is the expression's to read.
    QString longest;
    QString run;
    for (const QChar c : m_pattern) {
        if (c == QLatin1Char('['))
            break;
        if (!isWildcardCharacter(c) && c.unicode() != 0) {
            run += c;
            continue;
        }
        if (run.size() > longest.size())
            longest = run;
        run.clear();
    }
    if (run.size() > longest.size())
        longest = run;
    return longest.toCaseFolded();
}

bool AddressListProxyModel::matchesRow(int sourceRow) const
{
    if (m_plain)
        return m_keys.contains(m_list->entryAt(sourceRow), m_needle);
    // Stars and question marks in a pattern of plain ASCII are matched in the folded texts: where
    // the expression matches, so does that, and it finds no more but a long s for an s. Other
    // patterns are tried as expressions, only on the columns that hold their plain letters.
    const QStringView folded = m_keys.text(m_list->entryAt(sourceRow));
    qsizetype begin = 0;
    for (int column = 0; column < AddressListModel::ColumnCount; ++column) {
        qsizetype end = folded.indexOf(QChar(0), begin);
        if (end < 0)
            end = folded.size();
        const QStringView text = folded.mid(begin, end - begin);
        begin = end + 1;
        const QString &original = m_list->text(sourceRow, column);
        const bool matching = m_glob.isEmpty()
            ? (m_required.isEmpty() || text.contains(m_required)) && m_regExp.indexIn(original) != -1
            : globMatches(m_glob, text) && (!original.contains(longS) || m_regExp.indexIn(original) != -1);
        if (matching)
            return true;
    }
    return false;
}

QVector<int> AddressListProxyModel::rowsOfEntries(const QVector<int> &entries) const
{
    std::vector<bool> marked(size_t(m_list->entryCount()), false);
    for (const int entry : entries)
        marked[size_t(entry)] = true;
    QVector<int> rows;
    rows.reserve(entries.size());
    for (int row = 0, count = m_list->rowCount(); row < count; ++row) {
        if (marked[size_t(m_list->entryAt(row))])
            rows.append(row);
    }
    return rows;
}

QString AddressListProxyModel::searchText(int entry) const
{
    QString text = m_list->entryText(entry, 0);
    for (int column = 1; column < AddressListModel::ColumnCount; ++column) {
        text += QChar(0);
        text += m_list->entryText(entry, column);
    }
    return text;
}

void AddressListProxyModel::prepare()
{
    for (int entry = m_keys.size(); entry < m_list->entryCount(); ++entry)
        m_keys.append(searchText(entry));
}

QVariant AddressListProxyModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    // The columns are the source's, whether any row matches or none.
    return m_list->headerData(section, orientation, role);
}

void AddressListProxyModel::beginLayoutChange()
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    m_layoutProxy = persistentIndexList();
    m_layoutSource.clear();
    for (const QModelIndex &index : qAsConst(m_layoutProxy))
        m_layoutSource.append(QPersistentModelIndex(mapToSource(index)));
}

void AddressListProxyModel::endLayoutChange()
{
    QModelIndexList after;
    after.reserve(m_layoutSource.size());
    for (const QPersistentModelIndex &source : qAsConst(m_layoutSource))
        after.append(mapFromSource(source));
    changePersistentIndexList(m_layoutProxy, after);
    m_layoutProxy.clear();
    m_layoutSource.clear();
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void AddressListProxyModel::sourceLayoutAboutToBeChanged()
{
    m_earlier.clear();
    beginLayoutChange();
    m_layoutEntries.clear();
    if (!showsAll()) {
        m_layoutEntries.reserve(shownRows().size());
        for (const int row : shownRows())
            m_layoutEntries.append(m_list->entryAt(row));
    }
}

void AddressListProxyModel::sourceLayoutChanged()
{
    if (!showsAll())
        showRows(rowsOfEntries(m_layoutEntries));
    m_layoutEntries.clear();
    endLayoutChange();
}

void AddressListProxyModel::sourceRowsArrived(int first, int last)
{
    Q_UNUSED(first)
    Q_UNUSED(last)
    m_earlier.clear();
    prepare();
}

void AddressListProxyModel::sourceRowsLeaving(int first, int last)
{
    m_removingEntries.clear();
    for (int row = first; row <= last; ++row)
        m_removingEntries.append(m_list->entryAt(row));
}

void AddressListProxyModel::sourceRowsLeft(int first, int last)
{
    Q_UNUSED(first)
    Q_UNUSED(last)
    m_earlier.clear();
    // Later entries move down as each goes: the highest first.
    std::sort(m_removingEntries.begin(), m_removingEntries.end(), std::greater<int>());
    for (const int entry : qAsConst(m_removingEntries))
        m_keys.remove(entry);
    m_removingEntries.clear();
}

void AddressListProxyModel::sourceRowsChanged(int first, int last)
{
    m_earlier.clear();
    for (int row = first; row <= last; ++row) {
        const int entry = m_list->entryAt(row);
        m_keys.replace(entry, searchText(entry));
    }
}
