#include "elidedtooltipdelegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QTextDocument>
#include <QToolTip>

ElidedToolTipDelegate::ElidedToolTipDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

bool ElidedToolTipDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                      const QModelIndex &index)
{
    if (event->type() == QEvent::ToolTip && index.isValid() && index.data(Qt::ToolTipRole).isNull()) {
        const QString text = index.data(Qt::DisplayRole).toString();
        if (!text.isEmpty() && sizeHint(option, index).width() > option.rect.width()) {
            QToolTip::showText(event->globalPos(), Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap), view,
                               option.rect);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}
