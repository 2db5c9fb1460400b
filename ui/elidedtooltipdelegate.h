#pragma once

#include <QStyledItemDelegate>

//! The style's own cells, which elide a text too long for its column, with the text in full in
//! the tool tip of such a cell.
class ElidedToolTipDelegate : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY(ElidedToolTipDelegate)

public:
    explicit ElidedToolTipDelegate(QObject *parent = nullptr);

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;
};
