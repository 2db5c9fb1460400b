#pragma once

#include <QDir>
#include <QHash>
#include <QString>

// Expands an SVG source: "@part:NAME@" pulls in parts/NAME.svgpart, then every
// "@NAME@" is replaced by the value given in the manifest. Anything left over is
// an error, so a typo cannot silently render a black or missing shape.
class SvgTemplate
{
public:
    explicit SvgTemplate(const QDir &sourceDir);

    bool expand(const QString &fileName, const QHash<QString, QString> &values, QByteArray *svg,
                QString *error) const;

private:
    bool readFile(const QString &path, QString *text, QString *error) const;

    QDir m_sourceDir;
};
