#include "iconcache.h"

#include <QHash>

const QIcon &IconCache::icon(const QString &path)
{
    static QHash<QString, const QIcon *> icons;
    const QIcon *&icon = icons[path];
    if (!icon)
        icon = new QIcon(path);
    return *icon;
}
