#pragma once

#include <QString>

//! Adds a custom keyboard shortcut to GNOME's settings (the media-keys plugin's custom
//! keybindings, through the gsettings tool), so the desktop runs a command on a key. Only ever
//! called on the user's click; keeps the user's other shortcuts. Every call blocks while it runs
//! the tool a few times, each run limited to toolTimeoutMs.
class GnomeShortcutWriter final
{
public:
    GnomeShortcutWriter() = delete;

    static const QString listSchema;    //!< "org.gnome.settings-daemon.plugins.media-keys"
    static const QString entrySchema;   //!< "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding"
    static const QString entryPathBase; //!< "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/"
    //! How long one run of the gsettings tool may take.
    static constexpr int toolTimeoutMs = 5000;

    //! Whether the gsettings tool is there and knows both schemas.
    static bool isAvailable();
    //! The binding ("<Control><Alt>p") of the entry that runs this command; empty when none does
    //! or the settings cannot be read.
    static QString bindingOf(const QString &command);
    //! Adds an entry (name, command, binding in GTK's accelerator notation) in the first free
    //! "customN" place, or updates the entry that runs this command already. Writes nothing when
    //! it cannot read the list, and checks the change was kept. Empty on success, else why not
    //! (plain text, English).
    static QString add(const QString &name, const QString &command, const QString &binding);
};
