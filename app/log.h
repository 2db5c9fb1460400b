#pragma once

#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcCti)

//! The client's diagnostic log: composes "LEVEL   tag message" lines. They go to the logging
//! category "cti", which is silent unless enabled (QT_LOGGING_RULES="cti.debug=true").
class Log
{
public:
    static void v(const QString &message, const QString &tag);
    static void d(const QString &message, const QString &tag);
    static void w(const QString &message, const QString &tag);
    static void e(const QString &message, const QString &tag);

    //! Composes and emits one line; returns it so callers and tests can see what was written.
    static QString WriteLog(const QString &message, const QString &tag, const QString &level);
};
