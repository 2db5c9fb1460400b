#include "svgtemplate.h"

#include <QFile>
#include <QRegularExpression>

SvgTemplate::SvgTemplate(const QDir &sourceDir)
    : m_sourceDir(sourceDir)
{
}

bool SvgTemplate::readFile(const QString &path, QString *text, QString *error) const
{
    QFile file(m_sourceDir.filePath(path));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString());
        return false;
    }
    *text = QString::fromUtf8(file.readAll());
    return true;
}

bool SvgTemplate::expand(const QString &fileName, const QHash<QString, QString> &values, QByteArray *svg,
                         QString *error) const
{
    QString text;
    if (!readFile(fileName, &text, error))
        return false;

    // Parts may use parts themselves; the depth cap stops include cycles.
    static const QRegularExpression partPattern(QStringLiteral("@part:([A-Za-z0-9_]+)@"));
    for (int depth = 0;; ++depth) {
        QRegularExpressionMatch match = partPattern.match(text);
        if (!match.hasMatch())
            break;
        if (depth > 16) {
            *error = QStringLiteral("%1: parts nested too deeply").arg(fileName);
            return false;
        }
        QString part;
        if (!readFile(QStringLiteral("parts/%1.svgpart").arg(match.captured(1)), &part, error))
            return false;
        text.replace(match.captured(0), part);
    }

    for (auto it = values.cbegin(); it != values.cend(); ++it)
        text.replace(QLatin1Char('@') + it.key() + QLatin1Char('@'), it.value());

    static const QRegularExpression leftover(QStringLiteral("@[A-Za-z0-9_:]+@"));
    const QRegularExpressionMatch unresolved = leftover.match(text);
    if (unresolved.hasMatch()) {
        *error = QStringLiteral("%1: no value for %2").arg(fileName, unresolved.captured(0));
        return false;
    }

    *svg = text.toUtf8();
    return true;
}
