#include "iconcache.h"

#include <QHash>
#include <QImageReader>

const QIcon &IconCache::icon(const QString &path)
{
    // Never destroyed: the icons would outlive the application object they need.
    static auto *const icons = new QHash<QString, const QIcon *>;
    const QIcon *&icon = (*icons)[path];
    if (!icon)
        icon = new QIcon(path);
    return *icon;
}

QPixmap IconCache::pixmap(const QString &path, QSize size)
{
    if (!size.isValid())
        size = QImageReader(path).size();
    // QIcon takes the @2x or @3x file where the ratio asks for it and marks the ratio.
    return icon(path).pixmap(size);
}
