#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <array>

class QSortFilterProxyModel;
class QStandardItemModel;
class Queue;
class UCItem;

namespace Ui {
class QueueMonitorCallsWidget;
}

//! The calls of the user's queues, one row per call id, updated in place as the server reports
//! them. Asks for the calls of every queue a phone configuration lists; when a configuration lists
//! none, for fallbackQueueId. Keeps the rows' texts, never the items the connector hands out.
class QueueMonitorCallsWidget final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(QueueMonitorCallsWidget)

public:
    enum Column { IdColumn, CallerColumn, StatusColumn, QueueColumn, AgentColumn, DatetimeColumn, ColumnCount };

    //! The queue shown when the user's configuration lists none.
    inline static const QString fallbackQueueId = QStringLiteral("c1cb000b-67c4-4f15-b7c4-cc504c7edfc3");

    explicit QueueMonitorCallsWidget(QWidget *parent = nullptr);
    ~QueueMonitorCallsWidget() override;

    //! The row's texts in column order.
    static QStringList getStandardItemValueRow(UCItem *item);

    //! The latest phone configuration listed at least one queue; false before any arrived.
    bool hasQueues() const { return m_hasQueues; }

    //! The sorted model the view shows.
    QSortFilterProxyModel *proxyModel() const { return m_proxy; }

public slots:
    //! Reads the item while the slot runs; the connector frees it afterwards.
    void onQueueCallChanged(UCItem *item);

signals:
    //! After each phone configuration has been handled: whether it listed at least one queue.
    void queuesAvailable(bool available);

protected:
    void changeEvent(QEvent *event) override;

private:
    //! Widens the columns to the cells in that range (rows and columns of the sorted model).
    void measure(int firstRow, int firstColumn, int lastRow, int lastColumn);
    //! Every cell and header measured anew.
    void measureAll();
    //! The columns to the measured widths (exactly, or only where they are narrower), and the
    //! view as wide as the columns.
    void fitWidth(bool exact);
    void onQueueAdded(Queue *queue);
    //! Notes that a configuration is being handled; it is looked at once its handling returned.
    void expectConfigurationEnd();
    void onConfigurationHandled();
    //! Asks for the queue's calls, once per queue id.
    void requestCalls(const QString &queueId);
    //! After a reconnection: every queue asked again; once all have answered, calls shown as
    //! waiting that nobody reported since have left the queue meanwhile.
    void resync();
    void onCallsListed();

    Ui::QueueMonitorCallsWidget *ui;
    QStandardItemModel *m_model;
    QSortFilterProxyModel *m_proxy;
    //! Call id → row of the source model. Rows never move there (only the proxy sorts); the map
    //! is made again when rows are removed.
    QHash<QString, int> m_rows;
    //! Answers still due to the resync under way (none: no resync), and the calls reported since it began.
    int m_answersDue = 0;
    QSet<QString> m_reportedSinceResync;
    QSet<QString> m_requestedQueues;
    int m_queuesInConfiguration = 0;
    bool m_configurationCheckQueued = false;
    bool m_hasQueues = false;
    //! Each column's width: its widest cell or its header, whichever is wider.
    std::array<int, ColumnCount> m_columnWidths{};
};
