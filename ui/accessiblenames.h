#pragma once

#include <QString>

class QWidget;

//! Names a screen reader reads for controls that show only an icon, a placeholder or a value:
//! what the user sees beside them, in the user's language.
class AccessibleNames
{
public:
    //! Every button, field and list under root that has no name of its own takes its tool tip, or
    //! its placeholder; a combo box's pop-up list takes the box's name, and so does its description.
    static void fromToolTips(QWidget *root);
    //! The captions of a form: a label named prefix + suffix names the field named prefix +
    //! fieldSuffix (a caption ending in ':' loses it).
    static void fromCaptions(QWidget *root, const QString &captionSuffix, const QStringList &fieldSuffixes);
    //! The text a rich-text label shows, without its markup; plain text as it is.
    static QString plainText(const QString &text);
    //! A caption without its colon and mnemonic marks.
    static QString captionText(const QString &text);
};
