#pragma once

#include <QKeySequence>
#include <QString>

//! A key combination in the notations of the desktops the client hands it to: the global
//! shortcuts portal's trigger ("CTRL+ALT+p") and GTK's accelerator, which GNOME's keyboard
//! settings store ("<Control><Alt>p"). Both name the key by its X keysym name.
class DesktopKeyNames final
{
public:
    DesktopKeyNames() = delete;

    //! The first combination of the sequence in the portal's notation; empty when its key has
    //! no name or it is a lone modifier.
    static QString portalTrigger(const QKeySequence &sequence);
    //! The same in GTK's accelerator notation.
    static QString gtkAccelerator(const QKeySequence &sequence);
};
