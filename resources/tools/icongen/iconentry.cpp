#include "iconentry.h"

#include <QRegularExpression>

bool IconEntry::parse(const QString &line, IconEntry *entry, QString *error)
{
    const QStringList fields = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (fields.size() < 3) {
        *error = QStringLiteral("expected <resource> <source> <W>x<H> [NAME=value ...]");
        return false;
    }

    static const QRegularExpression sizePattern(QStringLiteral("^(\\d+)x(\\d+)$"));
    const QRegularExpressionMatch sizeMatch = sizePattern.match(fields.at(2));
    if (!sizeMatch.hasMatch()) {
        *error = QStringLiteral("bad size '%1'").arg(fields.at(2));
        return false;
    }

    IconEntry parsed;
    parsed.resourcePath = fields.at(0);
    parsed.source = fields.at(1);
    parsed.size = QSize(sizeMatch.captured(1).toInt(), sizeMatch.captured(2).toInt());
    if (parsed.size.isEmpty() || parsed.size.width() > 1024 || parsed.size.height() > 1024) {
        *error = QStringLiteral("size out of range '%1'").arg(fields.at(2));
        return false;
    }
    const bool knownType = parsed.resourcePath.endsWith(QLatin1String(".png")) || parsed.writesSvg();
    if (!knownType || parsed.resourcePath.startsWith(QLatin1Char('/'))
        || parsed.resourcePath.contains(QLatin1String(".."))) {
        *error = QStringLiteral("resource path must be a relative .png or .svg path: '%1'").arg(parsed.resourcePath);
        return false;
    }

    for (int i = 3; i < fields.size(); ++i) {
        const int eq = fields.at(i).indexOf(QLatin1Char('='));
        if (eq <= 0) {
            *error = QStringLiteral("bad value '%1', expected NAME=value").arg(fields.at(i));
            return false;
        }
        parsed.values.insert(fields.at(i).left(eq), fields.at(i).mid(eq + 1));
    }

    *entry = parsed;
    return true;
}

bool IconEntry::writesSvg() const
{
    return resourcePath.endsWith(QLatin1String(".svg"));
}
