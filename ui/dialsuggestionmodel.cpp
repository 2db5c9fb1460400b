#include "dialsuggestionmodel.h"

#include "addresses.h"
#include "dialcompleter.h"
#include "passbudget.h"

#include <algorithm>

DialSuggestionModel::DialSuggestionModel(QObject *parent)
    : QAbstractTableModel(parent)
{
    // A timer, not a queued call: waiting contacts wait while input and painting are due.
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(0);
    connect(&m_flushTimer, &QTimer::timeout, this, [this] { commitPending(true); });
}

int DialSuggestionModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int DialSuggestionModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DialSuggestionModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (index.column()) {
        case LineColumn:
            return row.line;
        case NumberColumn:
            return row.number;
        case NameColumn:
            return row.name;
        default:
            return {};
        }
    }
    if (role == DialCompleter::CompleteRole && index.column() == LineColumn)
        return row.number;
    return {};
}

Qt::ItemFlags DialSuggestionModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

void DialSuggestionModel::addContact(Addresses *contact)
{
    static const QString keys[] = {AddressKeys::telWork, AddressKeys::telHome, AddressKeys::telCellPrivate};
    Contact pending;
    pending.id = contact->id();
    pending.name = contact->getFormattedName();
    for (const QString &key : keys) {
        const QString number = contact->valueForKey(key).toString();
        if (!number.isEmpty())
            pending.numbers.append(number);
    }

    // A contact without an id cannot be told apart from others: it only ever adds rows.
    const auto waiting = pending.id.isEmpty() ? m_pendingIndex.end() : m_pendingIndex.find(pending.id);
    if (waiting != m_pendingIndex.end()) {
        m_pending[*waiting] = pending;
    } else {
        if (!pending.id.isEmpty())
            m_pendingIndex.insert(pending.id, m_pending.size());
        m_pending.append(pending);
    }
    scheduleFlush();
}

void DialSuggestionModel::removeContact(const QString &id)
{
    const auto waiting = m_pendingIndex.find(id);
    if (waiting != m_pendingIndex.end()) {
        m_pending[*waiting].dropped = true;
        m_pendingIndex.erase(waiting);
    }
    const auto span = m_spans.constFind(id);
    if (span != m_spans.cend())
        removeSpan(id, *span);
}

void DialSuggestionModel::scheduleFlush()
{
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void DialSuggestionModel::appendRowsOf(const Contact &contact, QVector<Row> &rows) const
{
    for (const QString &number : contact.numbers)
        rows.append({contact.name + QLatin1Char(' ') + number, number, contact.name, contact.id});
}

void DialSuggestionModel::flush()
{
    commitPending(false);
}

void DialSuggestionModel::commitPending(bool withinPass)
{
    m_flushTimer.stop();
    if (withinPass)
        PassBudget::spent(flushBudgetMs); // starts the pass's clock unless other work already did

    // Replacements with as many numbers as before are rewritten in place and announced as one
    // changed range; all new rows go in with one insertion.
    QVector<Row> added;
    QVector<QPair<QString, Span>> addedSpans; // first counted within `added`
    int changedFirst = m_rows.size();
    int changedLast = -1;
    const auto announceChanged = [&] {
        if (changedLast >= 0)
            emit dataChanged(index(changedFirst, 0), index(changedLast, ColumnCount - 1));
        changedFirst = m_rows.size();
        changedLast = -1;
    };

    // Contacts are taken in the order they came; within a pass in steps, while it allows.
    constexpr int step = 64;
    int next = m_pendingFirst;
    for (; next < m_pending.size(); ++next) {
        if (withinPass && (next - m_pendingFirst) % step == 0 && next > m_pendingFirst
            && PassBudget::spent(flushBudgetMs))
            break;
        const Contact &contact = m_pending.at(next);
        if (contact.dropped)
            continue;
        if (!contact.id.isEmpty())
            m_pendingIndex.remove(contact.id);
        const auto span = contact.id.isEmpty() ? m_spans.cend() : m_spans.constFind(contact.id);
        if (span != m_spans.cend()) {
            if (span->count == contact.numbers.size()) {
                QVector<Row> rows;
                appendRowsOf(contact, rows);
                std::copy(rows.cbegin(), rows.cend(), m_rows.begin() + span->first);
                changedFirst = std::min(changedFirst, span->first);
                changedLast = std::max(changedLast, span->first + span->count - 1);
                continue;
            }
            announceChanged(); // row numbers move with the removal
            removeSpan(contact.id, *span);
        }
        if (contact.numbers.isEmpty())
            continue;
        if (!contact.id.isEmpty())
            addedSpans.append({contact.id, {added.size(), contact.numbers.size()}});
        appendRowsOf(contact, added);
    }
    announceChanged();
    if (next < m_pending.size()) {
        m_pendingFirst = next;
        // Those taken go once they are the greater part: a long load does not keep them all.
        if (m_pendingFirst >= 1024 && 2 * m_pendingFirst >= m_pending.size()) {
            m_pending.remove(0, m_pendingFirst);
            for (int &at : m_pendingIndex)
                at -= m_pendingFirst;
            m_pendingFirst = 0;
        }
        m_flushTimer.start();
    } else {
        m_pending.clear();
        m_pendingIndex.clear();
        m_pendingFirst = 0;
    }

    if (added.isEmpty())
        return;
    const int base = m_rows.size();
    beginInsertRows(QModelIndex(), base, base + added.size() - 1);
    m_rows.append(added);
    for (const auto &span : qAsConst(addedSpans))
        m_spans.insert(span.first, {base + span.second.first, span.second.count});
    endInsertRows();
}

void DialSuggestionModel::removeSpan(const QString &id, Span span)
{
    beginRemoveRows(QModelIndex(), span.first, span.first + span.count - 1);
    m_rows.erase(m_rows.begin() + span.first, m_rows.begin() + span.first + span.count);
    m_spans.remove(id);
    // Every contact behind moves up; the first row of each names it.
    for (int row = span.first; row < m_rows.size(); ++row) {
        const QString &rowId = m_rows.at(row).id;
        if (rowId.isEmpty() || (row > span.first && m_rows.at(row - 1).id == rowId))
            continue;
        const auto it = m_spans.find(rowId);
        if (it != m_spans.end())
            it->first = row;
    }
    endRemoveRows();
}
