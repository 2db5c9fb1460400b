#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QModelIndex>
#include <QString>
#include <QTimer>
#include <QWidget>

class QSortFilterProxyModel;
class QStandardItem;
class QStandardItemModel;
class UCCItemDelegate;
class UCItem;

namespace Ui {
class UCConversationsList;
}

//! The "Conversations" tab: the user's conversation history, newest first. A click hands the
//! row's number out by onNumberClick(); activating a row dials it. The list keeps a row item per
//! conversation item (one per call id), never the item itself, and at most maxRows of them.
class UCConversationsList final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(UCConversationsList)

public:
    explicit UCConversationsList(QWidget *parent = nullptr);
    ~UCConversationsList() override;

    //! Asks the server for the history; called once after login.
    void init();

    //! The sorted model the view shows.
    QSortFilterProxyModel *proxyModel() const { return m_proxy; }

public slots:
    //! The row shows up in the next event-loop pass; while a history streams in, rows are
    //! gathered for up to flushIntervalMs (see flushPendingRows()). An item of a call already
    //! listed updates that call's row instead.
    void ucItemAdded(UCItem *item);
    void onListClicked(const QModelIndex &index);
    void onListItemActivated(const QModelIndex &index);

signals:
    void onNumberClick(const QString &number);

public:
    static constexpr int flushIntervalMs = 100;
    //! The list keeps this many conversations, the newest; older ones leave as new ones come.
    static constexpr int maxRows = 50000;
    //! Work for one insertion; what does not fit goes in at the next pass of the event loop.
    static constexpr int flushBudgetMs = 5;
    static constexpr int minFlushBatch = 16;
    static constexpr int maxFlushBatch = 10000;

private:
    void askAgainAfterReconnection();

    //! Appends the gathered rows in one insertion (up to a batch that fits flushBudgetMs): the
    //! proxy sorts them in together, and the view lays itself out once per insertion, not per row.
    void flushPendingRows();
    void dropOldestRows(int count);
    static QString numberAt(const QModelIndex &index);

    Ui::UCConversationsList *ui;
    QStandardItemModel *m_model;
    QSortFilterProxyModel *m_proxy;
    UCCItemDelegate *m_delegate;
    QList<QStandardItem *> m_pendingRows;
    //! The row of each call id, listed or pending: one row per call.
    QHash<QString, QStandardItem *> m_rowsByCallId;
    //! Rows without a call id listed when the history was asked for again after a reconnection,
    //! by signature with their count: the answer brings them again and only the rest is added.
    QHash<QString, int> m_listedBeforeResync;
    QTimer m_flushTimer;
    QElapsedTimer m_sinceFlush;
    int m_flushBatch = 1000;
};
