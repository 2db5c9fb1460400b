#include "dialcompleteritemdelegate.h"

#include "fontfactory.h"

#include <QApplication>
#include <QPainter>

DialCompleterItemDelegate::DialCompleterItemDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

QSize DialCompleterItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(size.height() * 2);
    return size;
}

void DialCompleterItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                      const QModelIndex &index) const
{
    const QString name = index.sibling(index.row(), 2).data(Qt::DisplayRole).toString();
    const QString number = index.sibling(index.row(), 1).data(Qt::DisplayRole).toString();

    // Background, selection and focus from the style; the two lines below are the text.
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear();
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    QPalette::ColorGroup group = QPalette::Normal;
    if (!(opt.state & QStyle::State_Enabled))
        group = QPalette::Disabled;
    else if (!(opt.state & QStyle::State_Active))
        group = QPalette::Inactive;
    const QPalette::ColorRole role = (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;

    const QRect &r = opt.rect;
    const int half = r.height() / 2;
    painter->save();
    painter->setPen(opt.palette.color(group, role));
    painter->setFont(FontFactory::smallFont());
    painter->drawText(QRect(QPoint(r.left() + 5, r.top() + 4), QPoint(r.right() + 5, r.top() + 3 + half)),
                      int(opt.displayAlignment), name);
    painter->setFont(FontFactory::tinyFont());
    painter->drawText(QRect(QPoint(r.left() + 5, r.top() + half - 1), QPoint(r.right() + 5, r.top() + 2 * half - 2)),
                      int(opt.displayAlignment), number);
    painter->restore();
}
