#include "log.h"

// Debug-level by design: one switch turns every composed line on.
Q_LOGGING_CATEGORY(lcCti, "cti", QtInfoMsg)

void Log::v(const QString &message, const QString &tag)
{
    WriteLog(message, tag, QStringLiteral("VERBOSE"));
}

void Log::d(const QString &message, const QString &tag)
{
    WriteLog(message, tag, QStringLiteral("DEBUG  "));
}

void Log::w(const QString &message, const QString &tag)
{
    WriteLog(message, tag, QStringLiteral("WARNING"));
}

void Log::e(const QString &message, const QString &tag)
{
    WriteLog(message, tag, QStringLiteral("ERROR  "));
}

QString Log::WriteLog(const QString &message, const QString &tag, const QString &level)
{
    const QString line = level + QLatin1Char(' ') + tag + QLatin1Char(' ') + message;
    qCDebug(lcCti).noquote() << line;
    return line;
}
