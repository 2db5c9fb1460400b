#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

// GNOME's two keyboard-shortcut schemas, reduced to the keys the client writes, compiled into a
// folder of the test's, and gsettings pointed at them and at a keyfile in a private home: no
// dconf, no schemas of this machine, never the user's own settings.
namespace PrivateGSettings {
inline const char listSchemaXml[] = R"(<schema id="org.gnome.settings-daemon.plugins.media-keys"
        path="/org/gnome/settings-daemon/plugins/media-keys/">
    <key name="custom-keybindings" type="as"><default>[]</default></key></schema>)";
inline const char entrySchemaXml[] = R"(<schema id="org.gnome.settings-daemon.plugins.media-keys.custom-keybinding">
    <key name="name" type="s"><default>''</default></key>
    <key name="command" type="s"><default>''</default></key>
    <key name="binding" type="s"><default>''</default></key></schema>)";

//! Why these tests cannot run here; null when they can.
inline const char *missing()
{
    if (QStandardPaths::findExecutable(QStringLiteral("gsettings")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("glib-compile-schemas")).isEmpty())
        return "needs gsettings and glib-compile-schemas (libglib2.0-bin)";
    return nullptr;
}

//! Writes the schemas into dir and compiles them there; false when that failed.
inline bool compile(const QString &dir, const QByteArray &schemas)
{
    QFile file(dir + QStringLiteral("/test.gschema.xml"));
    if (!QDir().mkpath(dir) || !file.open(QIODevice::WriteOnly))
        return false;
    file.write("<schemalist>" + schemas + "</schemalist>\n");
    file.close();
    return QProcess::execute(QStandardPaths::findExecutable(QStringLiteral("glib-compile-schemas")), {dir}) == 0;
}

//! Points gsettings (run by this process or its children) at a keyfile under home and at the
//! schemas compiled in schemaDir.
inline void use(const QString &home, const QString &schemaDir)
{
    qputenv("GSETTINGS_BACKEND", "keyfile");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/data")));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(home + QStringLiteral("/data")));
    qputenv("GSETTINGS_SCHEMA_DIR", QFile::encodeName(schemaDir));
}

//! The keyfile's contents; "(absent)" before anything was written.
inline QByteArray keyfile(const QString &home)
{
    QFile file(home + QStringLiteral("/config/glib-2.0/settings/keyfile"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(absent)");
}
} // namespace PrivateGSettings
