#pragma once

#include <QIcon>
#include <QString>

//! Icons from the resources, made once each and shared. An icon decodes its file when made and
//! caches its pixmaps under its own identity: a new one per call view or pop-up would decode
//! again and leave a cache entry per window behind.
class IconCache final
{
public:
    //! Main thread only; the icon lives to the end of the process.
    static const QIcon &icon(const QString &path);

private:
    IconCache() = delete;
};
