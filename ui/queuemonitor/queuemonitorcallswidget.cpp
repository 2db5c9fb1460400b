#include "queuemonitorcallswidget.h"
#include "ui_queuemonitorcallswidget.h"

#include "callstate.h"
#include "cticonnector.h"
#include "queue.h"
#include "ucitem.h"

#include <QEvent>
#include <QHeaderView>
#include <QList>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QStandardItem>
#include <QStandardItemModel>

#include <algorithm>

namespace {
// In column order.
const QString columnKeys[QueueMonitorCallsWidget::ColumnCount] = {
    QStringLiteral("callid"), QStringLiteral("remote_number"), QStringLiteral("state"),
    QStringLiteral("queue_extension"), QStringLiteral("agent"), QStringLiteral("timestamp"),
};
}

QueueMonitorCallsWidget::QueueMonitorCallsWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::QueueMonitorCallsWidget)
    , m_model(new QStandardItemModel(0, ColumnCount, this))
    , m_proxy(new QSortFilterProxyModel(this))
{
    ui->setupUi(this);
    m_model->setHorizontalHeaderLabels(
        {tr("ID"), tr("Caller"), tr("Status"), tr("Queue"), tr("Agent"), tr("Datetime")});
    m_proxy->setSourceModel(m_model);
    m_proxy->setDynamicSortFilter(true);
    ui->treeView->setModel(m_proxy);
    // Arrival order until the user picks a column: enabling sorting sorts by the indicator.
    ui->treeView->header()->setSortIndicator(-1, Qt::AscendingOrder);
    ui->treeView->setSortingEnabled(true);
    ui->treeView->setRootIsDecorated(false);
    ui->treeView->setUniformRowHeights(true);
    // Each column as wide as its longest text, numbers and times in full, and the window as wide
    // as the columns. Only the cells that come or change are measured: a busy queue changes rows
    // many times a second, and the header's own sizing to contents would measure up to a thousand
    // rows of every column each time. Columns grow; they shrink only when rows go.
    QHeaderView *header = ui->treeView->header();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    connect(m_proxy, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { measure(first, 0, last, ColumnCount - 1); });
    connect(m_proxy, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                measure(topLeft.row(), topLeft.column(), bottomRight.row(), bottomRight.column());
            });
    connect(m_proxy, &QAbstractItemModel::rowsRemoved, this, &QueueMonitorCallsWidget::measureAll);
    connect(m_proxy, &QAbstractItemModel::modelReset, this, &QueueMonitorCallsWidget::measureAll);
    measureAll();

    CTIConnector *connector = CTIConnector::instance();
    connect(connector, &CTIConnector::queueCallAdded, this, &QueueMonitorCallsWidget::onQueueCallChanged);
    connect(connector, &CTIConnector::queueAdded, this, &QueueMonitorCallsWidget::onQueueAdded);
    // Only a phone configuration announces the dial prefix, and every one does, queues or not:
    // the sign that one is being handled.
    connect(connector, &CTIConnector::dialPrefixChanged, this, &QueueMonitorCallsWidget::expectConfigurationEnd);
    connect(connector, &CTIConnector::queueCallsListed, this, &QueueMonitorCallsWidget::onCallsListed);
    connect(connector, &CTIConnector::reconnectSuccess, this, &QueueMonitorCallsWidget::resync);
}

QueueMonitorCallsWidget::~QueueMonitorCallsWidget()
{
    delete ui;
}

void QueueMonitorCallsWidget::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // Texts take another width in another font or style.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        measureAll();
}

void QueueMonitorCallsWidget::measureAll()
{
    const QHeaderView *header = ui->treeView->header();
    for (int column = 0; column < ColumnCount; ++column)
        m_columnWidths[column] = header->sectionSizeHint(column);
    measure(0, 0, m_proxy->rowCount() - 1, ColumnCount - 1);
    fitWidth(true);
}

void QueueMonitorCallsWidget::measure(int firstRow, int firstColumn, int lastRow, int lastColumn)
{
    // As the view itself sizes a cell: through its delegate, with its options.
    const auto *view = static_cast<const QAbstractItemView *>(ui->treeView);
    bool grown = false;
    for (int column = std::max(firstColumn, 0); column <= std::min(lastColumn, ColumnCount - 1); ++column) {
        int &width = m_columnWidths[column];
        for (int row = std::max(firstRow, 0); row <= lastRow; ++row) {
            const int cell = view->sizeHintForIndex(m_proxy->index(row, column)).width();
            if (cell > width) {
                width = cell;
                grown = true;
            }
        }
    }
    if (grown)
        fitWidth(false);
}

void QueueMonitorCallsWidget::fitWidth(bool exact)
{
    QTreeView *view = ui->treeView;
    QHeaderView *header = view->header();
    int width = 2 * view->frameWidth() + view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
    for (int column = 0; column < ColumnCount; ++column) {
        // A column the user widened stays so until the rows are measured anew.
        const int size = header->sectionSize(column);
        if (exact ? size != m_columnWidths.at(column) : size < m_columnWidths.at(column))
            header->resizeSection(column, m_columnWidths.at(column));
        if (!view->isColumnHidden(column))
            width += header->sectionSize(column);
    }
    // Up to the screen's width; it scrolls sideways beyond.
    if (const QScreen *screen = this->screen())
        width = std::min(width, screen->availableGeometry().width() * 9 / 10);
    view->setMinimumWidth(width);
}

QStringList QueueMonitorCallsWidget::getStandardItemValueRow(UCItem *item)
{
    QStringList texts;
    texts.reserve(ColumnCount);
    for (const QString &key : columnKeys)
        texts << item->valueForKey(key).toString();
    return texts;
}

void QueueMonitorCallsWidget::onQueueCallChanged(UCItem *item)
{
    const QStringList texts = getStandardItemValueRow(item);
    const QString &callId = texts.at(IdColumn);
    if (m_answersDue > 0)
        m_reportedSinceResync.insert(callId);
    const auto known = m_rows.constFind(callId);
    if (known == m_rows.cend()) {
        QList<QStandardItem *> row;
        row.reserve(ColumnCount);
        for (const QString &text : texts) {
            auto *cell = new QStandardItem(text);
            cell->setEditable(false);
            row << cell;
        }
        m_rows.insert(callId, m_model->rowCount());
        m_model->appendRow(row);
        return;
    }
    // An unchanged text is no change to the model: only what moved reaches the proxy.
    for (int column = 0; column < ColumnCount; ++column)
        m_model->item(*known, column)->setText(texts.at(column));
}

void QueueMonitorCallsWidget::onQueueAdded(Queue *queue)
{
    ++m_queuesInConfiguration;
    expectConfigurationEnd();
    requestCalls(queue->id());
}

void QueueMonitorCallsWidget::expectConfigurationEnd()
{
    if (m_configurationCheckQueued)
        return;
    m_configurationCheckQueued = true;
    // The connector announces a configuration's parts in one go; the next pass sees all of them.
    QMetaObject::invokeMethod(this, &QueueMonitorCallsWidget::onConfigurationHandled, Qt::QueuedConnection);
}

void QueueMonitorCallsWidget::onConfigurationHandled()
{
    m_configurationCheckQueued = false;
    m_hasQueues = m_queuesInConfiguration > 0;
    m_queuesInConfiguration = 0;
    if (!m_hasQueues)
        requestCalls(fallbackQueueId);
    emit queuesAvailable(m_hasQueues);
}

void QueueMonitorCallsWidget::requestCalls(const QString &queueId)
{
    // A configuration sent again lists its queues again; their calls come by events meanwhile.
    if (m_requestedQueues.contains(queueId))
        return;
    m_requestedQueues.insert(queueId);
    if (m_answersDue > 0)
        ++m_answersDue;
    CTIConnector::instance()->requestQueueCalls(queueId);
}

void QueueMonitorCallsWidget::resync()
{
    // Calls that came or changed while the link was down: the answers update the rows in place.
    // Requests of the old link went with it.
    m_answersDue = m_requestedQueues.size();
    m_reportedSinceResync.clear();
    for (const QString &queueId : qAsConst(m_requestedQueues))
        CTIConnector::instance()->requestQueueCalls(queueId);
}

void QueueMonitorCallsWidget::onCallsListed()
{
    if (m_answersDue == 0 || --m_answersDue > 0)
        return;
    // A call shown as waiting that no answer lists left the queue while the link was down, unseen.
    // Rows of calls seen to end stay, as they do without a drop.
    const QString waitingText = QString::number(CallState::Ringing);
    bool removed = false;
    for (int row = m_model->rowCount() - 1; row >= 0; --row) {
        const bool waiting = m_model->item(row, StatusColumn)->text() == waitingText;
        if (waiting && !m_reportedSinceResync.contains(m_model->item(row, IdColumn)->text())) {
            m_model->removeRow(row);
            removed = true;
        }
    }
    m_reportedSinceResync.clear();
    if (!removed)
        return;
    m_rows.clear();
    for (int row = 0; row < m_model->rowCount(); ++row)
        m_rows.insert(m_model->item(row, IdColumn)->text(), row);
}
