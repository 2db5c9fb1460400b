#pragma once

#include <QHash>
#include <QSize>
#include <QString>

// One line of the icon manifest: which SVG becomes which resource, at what size,
// with which template values.
class IconEntry
{
public:
    // Line format: <resource path> <svg source> <W>x<H> [NAME=value ...]
    // Returns false and sets *error for a malformed line.
    static bool parse(const QString &line, IconEntry *entry, QString *error);

    // A path ending in .svg gets the expanded source itself (a scalable icon that must
    // stand alone); the size then only serves the check that it renders.
    bool writesSvg() const;

    QString resourcePath; // e.g. images/blf/phone_red.png, relative to ":/" or to --out
    QString source;       // file name relative to the icon source folder
    QSize size;
    QHash<QString, QString> values;
};
