#include "ucconversationsproxymodel.h"

#include "calldirection.h"
#include "uccitemdelegate.h"
#include "ucitem.h"

Qt::ItemFlags UCConversationsProxyModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? rowFlags : Qt::NoItemFlags;
}

QVariant UCConversationsProxyModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::AccessibleTextRole)
        return QSortFilterProxyModel::data(index, role);
    const QModelIndex first = index.sibling(index.row(), 0);
    const QString name = QString(first.data(UCItem::FirstNameRole).toString() + QLatin1Char(' ')
                                 + first.data(UCItem::LastNameRole).toString()).trimmed();
    QStringList parts{name, first.data(UCItem::RemoteNumberRole).toString().trimmed(),
                      first.data(UCItem::CompanyRole).toString().trimmed()};
    parts.removeAll(QString());
    parts << (first.data(UCItem::DirectionRole).toInt() == CallDirection::Incoming ? tr("incoming call")
                                                                                   : tr("outgoing call"))
          << UCCItemDelegate::dateText(first)
          << tr("duration %1").arg(UCCItemDelegate::durationText(first.data(UCItem::DurationRole).toInt()));
    return parts.join(QLatin1String(", "));
}
