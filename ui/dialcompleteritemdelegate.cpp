#include "dialcompleteritemdelegate.h"

#include "fontfactory.h"

#include <QPainter>

DialCompleterItemDelegate::DialCompleterItemDelegate(QObject *parent)
    : TwoLineItemDelegate(parent)
{
}

void DialCompleterItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                      const QModelIndex &index) const
{
    const QString name = index.sibling(index.row(), 2).data(Qt::DisplayRole).toString();
    const QString number = index.sibling(index.row(), 1).data(Qt::DisplayRole).toString();

    const QStyleOptionViewItem opt = drawBackground(painter, option, index);
    const QRect &r = opt.rect;
    const int half = r.height() / 2;
    // As wide as the field: a longer name or number ends in an ellipsis, not cut off mid-letter.
    const int width = r.width() - 10;
    painter->save();
    painter->setPen(textColor(opt));
    painter->setFont(FontFactory::smallFont());
    painter->drawText(QRect(r.left() + 5, r.top() + 4, width, half), int(opt.displayAlignment),
                      painter->fontMetrics().elidedText(name, Qt::ElideRight, width));
    painter->setFont(FontFactory::tinyFont());
    painter->drawText(QRect(r.left() + 5, r.top() + half - 1, width, half), int(opt.displayAlignment),
                      painter->fontMetrics().elidedText(number, Qt::ElideRight, width));
    painter->restore();
}
