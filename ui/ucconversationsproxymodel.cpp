#include "ucconversationsproxymodel.h"

Qt::ItemFlags UCConversationsProxyModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? rowFlags : Qt::NoItemFlags;
}
