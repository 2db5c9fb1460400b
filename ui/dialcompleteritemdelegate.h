#pragma once

#include <QStyledItemDelegate>

//! Draws a dial suggestion in two lines: the contact's name over the number.
class DialCompleterItemDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY(DialCompleterItemDelegate)

public:
    explicit DialCompleterItemDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
