#include "addresslistproxymodel.h"

#include "addresslistmodel.h"

#include <algorithm>
#include <functional>
#include <numeric>

namespace {
//! The rows of earlier patterns kept at most (together): beyond that a key taken back searches again.
constexpr int earlierRowsKept = 1 << 21;

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
    : QAbstractProxyModel(parent)
    , m_list(source)
{
    QAbstractProxyModel::setSourceModel(source);
    m_count = source->rowCount();
    prepare();
    connect(source, &QAbstractItemModel::rowsInserted, this, &AddressListProxyModel::sourceRowsInserted);
    connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            &AddressListProxyModel::sourceRowsAboutToBeRemoved);
    connect(source, &QAbstractItemModel::rowsRemoved, this, &AddressListProxyModel::sourceRowsRemoved);
    connect(source, &QAbstractItemModel::dataChanged, this, &AddressListProxyModel::sourceDataChanged);
    connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this,
            &AddressListProxyModel::sourceLayoutAboutToBeChanged);
    connect(source, &QAbstractItemModel::layoutChanged, this, &AddressListProxyModel::sourceLayoutChanged);
    connect(source, &QAbstractItemModel::modelAboutToBeReset, this, &AddressListProxyModel::sourceModelAboutToBeReset);
    connect(source, &QAbstractItemModel::modelReset, this, &AddressListProxyModel::sourceModelReset);
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
    if (!m_all && std::none_of(m_pattern.cbegin(), m_pattern.cend(), [](QChar c) {
            return c == QLatin1Char('[') || c == QLatin1Char(']') || c == QLatin1Char('\\');
        }))
        m_earlier.append({m_pattern, std::move(m_rows)});
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
    filter();
    int kept = 0;
    for (const auto &earlier : qAsConst(m_earlier))
        kept += earlier.second.size();
    while (kept > earlierRowsKept) {
        kept -= m_earlier.constFirst().second.size();
        m_earlier.removeFirst();
    }
    endLayoutChange();
}

void AddressListProxyModel::filter()
{
    m_rows.clear();
    m_all = m_pattern.isEmpty();
    if (m_all) {
        m_count = m_list->rowCount();
        m_earlier.clear();
        return;
    }
    // What matches a pattern matches each complete pattern it extends: the rows of the longest of
    // those typed before are the candidates.
    while (!m_earlier.isEmpty() && !m_pattern.startsWith(m_earlier.constLast().first))
        m_earlier.removeLast();
    if (!m_earlier.isEmpty() && m_earlier.constLast().first == m_pattern) {
        m_rows = m_earlier.takeLast().second;
        return;
    }
    const QVector<int> *earlier = m_earlier.isEmpty() ? nullptr : &m_earlier.constLast().second;
    if (m_plain) {
        if (!earlier) {
            m_rows = rowsOfEntries(m_keys.findAll(m_needle));
            return;
        }
        for (const int row : *earlier) {
            if (m_keys.contains(m_list->entryAt(row), m_needle))
                m_rows.append(row);
        }
        return;
    }
    // Stars and question marks in a pattern of plain ASCII are matched in the folded texts: where
    // the expression matches, so does that, and it finds no more but a long s for an s. Other
    // patterns are tried as expressions, only on the columns that hold their plain letters.
    const QString required = requiredText();
    QVector<int> candidates;
    if (earlier) {
        candidates = *earlier;
    } else if (!required.isEmpty()) {
        candidates = rowsOfEntries(m_keys.findAll(required));
    } else {
        candidates.resize(m_list->rowCount());
        std::iota(candidates.begin(), candidates.end(), 0);
    }
    for (const int row : qAsConst(candidates)) {
        const QStringView folded = m_keys.text(m_list->entryAt(row));
        qsizetype begin = 0;
        for (int column = 0; column < AddressListModel::ColumnCount; ++column) {
            qsizetype end = folded.indexOf(QChar(0), begin);
            if (end < 0)
                end = folded.size();
            const QStringView text = folded.mid(begin, end - begin);
            begin = end + 1;
            bool matching;
            if (!m_glob.isEmpty()) {
                matching = globMatches(m_glob, text)
                    && (!m_list->text(row, column).contains(longS) || m_regExp.indexIn(m_list->text(row, column)) != -1);
            } else {
                matching = (required.isEmpty() || text.contains(required))
                    && m_regExp.indexIn(m_list->text(row, column)) != -1;
            }
            if (matching) {
                m_rows.append(row);
                break;
            }
        }
    }
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

bool AddressListProxyModel::matchesText(const QString &text) const
{
    return m_plain ? text.contains(m_pattern, Qt::CaseInsensitive) : m_regExp.indexIn(text) != -1;
}

bool AddressListProxyModel::matchesRow(int sourceRow) const
{
    if (m_all)
        return true;
    if (m_plain)
        return m_keys.contains(m_list->entryAt(sourceRow), m_needle);
    for (int column = 0; column < AddressListModel::ColumnCount; ++column) {
        if (matchesText(m_list->text(sourceRow, column)))
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

QModelIndex AddressListProxyModel::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex AddressListProxyModel::parent(const QModelIndex &child) const
{
    Q_UNUSED(child)
    return {};
}

int AddressListProxyModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_all ? m_count : m_rows.size();
}

int AddressListProxyModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : AddressListModel::ColumnCount;
}

bool AddressListProxyModel::hasChildren(const QModelIndex &parent) const
{
    return !parent.isValid() && rowCount() > 0;
}

QModelIndex AddressListProxyModel::mapToSource(const QModelIndex &proxyIndex) const
{
    if (!proxyIndex.isValid() || proxyIndex.model() != this)
        return {};
    return m_list->index(sourceRow(proxyIndex.row()), proxyIndex.column());
}

QModelIndex AddressListProxyModel::mapFromSource(const QModelIndex &sourceIndex) const
{
    if (!sourceIndex.isValid() || sourceIndex.model() != m_list)
        return {};
    if (m_all)
        return index(sourceIndex.row(), sourceIndex.column());
    const auto found = std::lower_bound(m_rows.cbegin(), m_rows.cend(), sourceIndex.row());
    if (found == m_rows.cend() || *found != sourceIndex.row())
        return {};
    return index(int(found - m_rows.cbegin()), sourceIndex.column());
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
    if (!m_all) {
        m_layoutEntries.reserve(m_rows.size());
        for (const int row : qAsConst(m_rows))
            m_layoutEntries.append(m_list->entryAt(row));
    }
}

void AddressListProxyModel::sourceLayoutChanged()
{
    if (!m_all)
        m_rows = rowsOfEntries(m_layoutEntries);
    m_layoutEntries.clear();
    endLayoutChange();
}

void AddressListProxyModel::sourceRowsInserted(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    m_earlier.clear();
    prepare();
    const int count = last - first + 1;
    if (m_all) {
        beginInsertRows(QModelIndex(), first, last);
        m_count += count;
        endInsertRows();
        return;
    }
    const auto at = std::lower_bound(m_rows.begin(), m_rows.end(), first);
    const int position = int(at - m_rows.begin());
    for (auto it = at; it != m_rows.end(); ++it)
        *it += count;
    QVector<int> added;
    for (int row = first; row <= last; ++row) {
        if (matchesRow(row))
            added.append(row);
    }
    if (added.isEmpty())
        return;
    beginInsertRows(QModelIndex(), position, position + added.size() - 1);
    m_rows.insert(position, added.size(), 0);
    std::copy(added.cbegin(), added.cend(), m_rows.begin() + position);
    endInsertRows();
}

void AddressListProxyModel::sourceRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    m_removingEntries.clear();
    for (int row = first; row <= last; ++row)
        m_removingEntries.append(m_list->entryAt(row));
    if (m_all) {
        m_removingFirst = first;
        m_removingLast = last;
    } else {
        m_removingFirst = int(std::lower_bound(m_rows.cbegin(), m_rows.cend(), first) - m_rows.cbegin());
        m_removingLast = int(std::upper_bound(m_rows.cbegin(), m_rows.cend(), last) - m_rows.cbegin()) - 1;
    }
    if (m_removingFirst <= m_removingLast)
        beginRemoveRows(QModelIndex(), m_removingFirst, m_removingLast);
}

void AddressListProxyModel::sourceRowsRemoved(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    m_earlier.clear();
    // Later entries move down as each goes: the highest first.
    std::sort(m_removingEntries.begin(), m_removingEntries.end(), std::greater<int>());
    for (const int entry : qAsConst(m_removingEntries))
        m_keys.remove(entry);
    m_removingEntries.clear();
    const int count = last - first + 1;
    const bool announced = m_removingFirst <= m_removingLast;
    if (m_all) {
        m_count -= count;
    } else {
        if (announced)
            m_rows.erase(m_rows.begin() + m_removingFirst, m_rows.begin() + m_removingLast + 1);
        for (auto it = std::lower_bound(m_rows.begin(), m_rows.end(), first); it != m_rows.end(); ++it)
            *it -= count;
    }
    m_removingFirst = m_removingLast = -1;
    if (announced)
        endRemoveRows();
}

void AddressListProxyModel::sourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                              const QVector<int> &roles)
{
    if (!topLeft.isValid() || !bottomRight.isValid())
        return;
    m_earlier.clear();
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        const int entry = m_list->entryAt(row);
        m_keys.replace(entry, searchText(entry));
    }
    if (m_all) {
        emit dataChanged(mapFromSource(topLeft), mapFromSource(bottomRight), roles);
        return;
    }
    // A changed row that starts or stops matching comes or goes here.
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        const auto at = std::lower_bound(m_rows.begin(), m_rows.end(), row);
        const int position = int(at - m_rows.begin());
        const bool listed = at != m_rows.end() && *at == row;
        const bool matching = matchesRow(row);
        if (listed && !matching) {
            beginRemoveRows(QModelIndex(), position, position);
            m_rows.remove(position);
            endRemoveRows();
        } else if (!listed && matching) {
            beginInsertRows(QModelIndex(), position, position);
            m_rows.insert(position, row);
            endInsertRows();
        } else if (listed) {
            emit dataChanged(index(position, topLeft.column()), index(position, bottomRight.column()), roles);
        }
    }
}

void AddressListProxyModel::sourceModelAboutToBeReset()
{
    beginResetModel();
}

void AddressListProxyModel::sourceModelReset()
{
    m_earlier.clear();
    m_keys.clear();
    prepare();
    filter();
    endResetModel();
}
