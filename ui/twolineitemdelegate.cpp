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

QPalette::ColorGroup TwoLineItemDelegate::colorGroup(const QStyleOptionViewItem &option)
{
    if (!(option.state & QStyle::State_Enabled))
        return QPalette::Disabled;
    if (!(option.state & QStyle::State_Active))
        return QPalette::Inactive;
    return QPalette::Normal;
}

QColor TwoLineItemDelegate::textColor(const QStyleOptionViewItem &option)
{
    return option.palette.color(colorGroup(option), (option.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                                             : QPalette::Text);
}

QColor TwoLineItemDelegate::groundColor(const QStyleOptionViewItem &option)
{
    QPalette::ColorRole role = QPalette::Base;
    if (option.state & QStyle::State_Selected)
        role = QPalette::Highlight;
    else if (option.features & QStyleOptionViewItem::Alternate)
        role = QPalette::AlternateBase;
    return option.palette.color(colorGroup(option), role);
}
