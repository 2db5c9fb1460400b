#include "twolineitemdelegate.h"

#include <QApplication>
#include <QPainter>

TwoLineItemDelegate::TwoLineItemDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

QSize TwoLineItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(size.height() * 2);
    return size;
}

QStyleOptionViewItem TwoLineItemDelegate::drawBackground(QPainter *painter, const QStyleOptionViewItem &option,
                                                         const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    // The subclass draws the lines in place of the display text and icon.
    opt.text.clear();
    opt.icon = QIcon();
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    return opt;
}

QColor TwoLineItemDelegate::textColor(const QStyleOptionViewItem &option)
{
    QPalette::ColorGroup group = QPalette::Normal;
    if (!(option.state & QStyle::State_Enabled))
        group = QPalette::Disabled;
    else if (!(option.state & QStyle::State_Active))
        group = QPalette::Inactive;
    return option.palette.color(group, (option.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                               : QPalette::Text);
}
