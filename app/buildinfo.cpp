#include "buildinfo.h"

#include "talverobuildinfo.h"

QString BuildInfo::version()
{
    return QStringLiteral(TALVERO_BUILD_VERSION);
}

QString BuildInfo::reference()
{
    return QStringLiteral(TALVERO_BUILD_REFERENCE);
}

QString BuildInfo::releaseDate()
{
    return QStringLiteral(TALVERO_BUILD_DATE);
}

QString BuildInfo::branch()
{
    return QStringLiteral(TALVERO_BUILD_BRANCH);
}
