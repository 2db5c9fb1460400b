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
    painter->save();
    painter->setPen(textColor(opt));
    painter->setFont(FontFactory::smallFont());
    painter->drawText(QRect(QPoint(r.left() + 5, r.top() + 4), QPoint(r.right() + 5, r.top() + 3 + half)),
                      int(opt.displayAlignment), name);
    painter->setFont(FontFactory::tinyFont());
    painter->drawText(QRect(QPoint(r.left() + 5, r.top() + half - 1), QPoint(r.right() + 5, r.top() + 2 * half - 2)),
                      int(opt.displayAlignment), number);
    painter->restore();
}
