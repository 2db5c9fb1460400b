#include "iconcache.h"

#include <QHash>

const QIcon &IconCache::icon(const QString &path)
{
    // Never destroyed: the icons would outlive the application object they need.
    static auto *const icons = new QHash<QString, const QIcon *>;
    const QIcon *&icon = (*icons)[path];
    if (!icon)
        icon = new QIcon(path);
    return *icon;
}
