#pragma once

#include "twolineitemdelegate.h"

//! Draws a dial suggestion in two lines: the contact's name over the number.
class DialCompleterItemDelegate final : public TwoLineItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY(DialCompleterItemDelegate)

public:
    explicit DialCompleterItemDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
