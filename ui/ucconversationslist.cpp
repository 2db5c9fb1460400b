#include "ucconversationslist.h"
#include "ui_ucconversationslist.h"

#include "cticonnector.h"
#include "uccitemdelegate.h"
#include "ucconversationsproxymodel.h"
#include "ucitem.h"

#include <QMetaEnum>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>

#include <QVector>

#include <algorithm>
#include <functional>
#include <utility>

namespace {
//! A row's signature, for rows of items without a call id.
constexpr int signatureRole = Qt::UserRole + 100;

QString callIdOf(const QVariantMap &values)
{
    return values.value(QStringLiteral("callid")).toString();
}

//! What makes an item without a call id the same item again: all it shows.
QString signatureOf(const QVariantMap &values)
{
    QStringList parts;
    for (const char *key : {"timestamp", "remote_number", "state", "direction", "duration"})
        parts << values.value(QLatin1String(key)).toString();
    return parts.join(QLatin1Char('|'));
}

//! Takes over what a later report of the same call says; a row that changes nothing is not
//! sorted again (a history asked again after a reconnection repeats every row).
void refreshRow(QStandardItem *listed, const QStandardItem *fresh)
{
    static const QVector<int> roles = [] {
        QVector<int> all{Qt::DisplayRole};
        const QMetaEnum meta = QMetaEnum::fromType<UCItem::ItemDataRole>();
        for (int i = 0; i < meta.keyCount(); ++i)
            all << meta.value(i);
        return all;
    }();
    for (int role : roles) {
        const QVariant value = fresh->data(role);
        if (listed->data(role) != value)
            listed->setData(value, role);
    }
}
} // namespace

UCConversationsList::UCConversationsList(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UCConversationsList)
    , m_model(new QStandardItemModel(this))
    , m_proxy(new UCConversationsProxyModel(this))
    , m_delegate(new UCCItemDelegate(this))
{
    ui->setupUi(this);

    m_proxy->setSourceModel(m_model);
    m_proxy->setSortCaseSensitivity(Qt::CaseInsensitive);
    m_proxy->setDynamicSortFilter(true);
    m_proxy->setFilterKeyColumn(-1);

    QTreeView *view = ui->treeView;
    view->setItemDelegate(m_delegate);
    view->setModel(m_proxy);
    view->setSortingEnabled(true);
    view->setRootIsDecorated(false);
    view->setAlternatingRowColors(true);
    view->setUniformRowHeights(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->sortByColumn(0, Qt::DescendingOrder); // the display text sorts chronologically
    view->setHeaderHidden(true);
    // Wide enough for a full-length number and the call's date and duration; names elide.
    view->setMinimumWidth(UCCItemDelegate::leastWidth() + 2 * view->frameWidth()
                          + view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view));
    view->setAttribute(Qt::WA_MacShowFocusRect, false);
    QPalette palette = view->palette();
    palette.setColor(QPalette::All, QPalette::Highlight, QColor(96, 173, 251));
    // A light blue in every theme: the selected row's text is dark in every theme too.
    palette.setColor(QPalette::All, QPalette::HighlightedText, Qt::black);
    view->setPalette(palette);

    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &UCConversationsList::flushPendingRows);

    connect(view, &QTreeView::activated, this, &UCConversationsList::onListItemActivated);
    connect(view, &QTreeView::clicked, this, &UCConversationsList::onListClicked);
    connect(CTIConnector::instance(), &CTIConnector::ucItemAdded, this, &UCConversationsList::ucItemAdded);
    connect(CTIConnector::instance(), &CTIConnector::reconnectSuccess, this, &UCConversationsList::askAgainAfterReconnection);
}

UCConversationsList::~UCConversationsList()
{
    qDeleteAll(m_pendingRows);
    delete ui;
}

void UCConversationsList::init()
{
    CTIConnector::instance()->requestUCItems();
}

void UCConversationsList::askAgainAfterReconnection()
{
    // Calls that ended while the link was down are in the server's history, with all the rest.
    // Rows of calls are found by their call id whenever their items come; of the others the
    // answer brings each listed one again, and only the rest is added.
    m_listedBeforeResync.clear();
    const auto count = [this](const QStandardItem *row) {
        const QString signature = row->data(signatureRole).toString();
        if (!signature.isEmpty())
            ++m_listedBeforeResync[signature];
    };
    for (int row = 0; row < m_model->rowCount(); ++row)
        count(m_model->item(row));
    for (const QStandardItem *row : qAsConst(m_pendingRows))
        count(row);
    CTIConnector::instance()->requestUCItems();
}

void UCConversationsList::ucItemAdded(UCItem *item)
{
    const QVariantMap values = item->getValues();
    const QString callId = callIdOf(values);
    const QString signature = callId.isEmpty() ? signatureOf(values) : QString();
    if (!signature.isEmpty()) {
        const auto listed = m_listedBeforeResync.find(signature);
        if (listed != m_listedBeforeResync.end()) {
            if (--listed.value() == 0)
                m_listedBeforeResync.erase(listed);
            return;
        }
    }
    // The connector releases the item after this slot: copy, do not keep.
    QStandardItem *row = item->toStandardItem();
    if (!callId.isEmpty()) {
        // One row per call: a call that ended just before the history answer came, or an earlier
        // answer handed over late, brings it again.
        if (QStandardItem *listed = m_rowsByCallId.value(callId)) {
            refreshRow(listed, row);
            delete row;
            return;
        }
        m_rowsByCallId.insert(callId, row);
    }
    row->setFlags(UCConversationsProxyModel::rowFlags);
    row->setData(signature, signatureRole);

    // A history arrives as a stream of queued items; inserting them one at a time under the
    // sorting proxy costs a sorting step and a layout of the whole view each. After a quiet spell
    // the row goes in in the next pass (queued behind the items already waiting); during a
    // stream, rows are gathered and go in at most every flushIntervalMs.
    m_pendingRows.append(row);
    if (m_pendingRows.size() > 1)
        return;
    const qint64 since = m_sinceFlush.isValid() ? m_sinceFlush.elapsed() : flushIntervalMs;
    if (since >= flushIntervalMs)
        QMetaObject::invokeMethod(this, &UCConversationsList::flushPendingRows, Qt::QueuedConnection);
    else
        m_flushTimer.start(int(flushIntervalMs - since));
}

void UCConversationsList::flushPendingRows()
{
    m_flushTimer.stop();
    if (m_pendingRows.isEmpty())
        return;
    m_sinceFlush.start();
    QList<QStandardItem *> rows;
    if (m_pendingRows.size() <= m_flushBatch) {
        rows = std::exchange(m_pendingRows, {});
    } else {
        rows = m_pendingRows.mid(0, m_flushBatch);
        m_pendingRows.erase(m_pendingRows.begin(), m_pendingRows.begin() + m_flushBatch);
    }
    QElapsedTimer clock;
    clock.start();
    m_model->invisibleRootItem()->appendRows(rows);
    if (m_model->rowCount() > maxRows)
        dropOldestRows(m_model->rowCount() - maxRows);
    // Rows that land all over a long list (a server whose ids do not follow the time) cost far
    // more each than rows that go in together, and more the longer the list: size the next
    // insertion by what this one cost, growing by half at most.
    const double nsPerRow = double(std::max<qint64>(clock.nsecsElapsed(), 1)) / rows.size();
    const double fits = std::min(flushBudgetMs * 1e6 / nsPerRow, rows.size() * 1.5);
    m_flushBatch = int(std::clamp(fits, double(minFlushBatch), double(maxFlushBatch)));
    // The rest after a timer, not a queued call: two queued insertions can run back to back
    // before input and timers get their turn.
    if (!m_pendingRows.isEmpty())
        m_flushTimer.start(0);
}

void UCConversationsList::dropOldestRows(int count)
{
    // Newest first: the oldest stand at the end. Rows arrive in any order, so their places in the
    // model are scattered; each run of neighbours goes in one removal, from the back.
    QVector<int> sourceRows;
    sourceRows.reserve(count);
    for (int row = m_proxy->rowCount() - count; row < m_proxy->rowCount(); ++row)
        sourceRows.append(m_proxy->mapToSource(m_proxy->index(row, 0)).row());
    std::sort(sourceRows.begin(), sourceRows.end(), std::greater<int>());
    for (int row : qAsConst(sourceRows))
        m_rowsByCallId.remove(m_model->item(row)->data(UCItem::CallIdRole).toString());
    for (int first = 0; first < sourceRows.size();) {
        int last = first;
        while (last + 1 < sourceRows.size() && sourceRows.at(last + 1) == sourceRows.at(last) - 1)
            ++last;
        m_model->removeRows(sourceRows.at(last), last - first + 1);
        first = last + 1;
    }
}

QString UCConversationsList::numberAt(const QModelIndex &index)
{
    return index.sibling(index.row(), 0).data(UCItem::RemoteNumberRole).toString();
}

void UCConversationsList::onListClicked(const QModelIndex &index)
{
    emit onNumberClick(numberAt(index));
}

void UCConversationsList::onListItemActivated(const QModelIndex &index)
{
    CTIConnector::instance()->dialNumber(numberAt(index));
}
