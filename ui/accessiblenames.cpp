#include "accessiblenames.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTextDocument>
#include <QTextDocumentFragment>

namespace {
void nameFromText(QWidget *widget, const QString &text)
{
    const QString plain = AccessibleNames::plainText(text);
    if (widget->accessibleName().isEmpty() && !plain.trimmed().isEmpty())
        widget->setAccessibleName(plain.trimmed());
}
}

void AccessibleNames::fromToolTips(QWidget *root)
{
    for (QAbstractButton *button : root->findChildren<QAbstractButton *>()) {
        if (button->text().remove(QLatin1Char('&')).trimmed().size() < 2)
            nameFromText(button, button->toolTip());
    }
    for (QLineEdit *field : root->findChildren<QLineEdit *>()) {
        nameFromText(field, field->toolTip());
        nameFromText(field, field->placeholderText());
    }
    for (QComboBox *box : root->findChildren<QComboBox *>()) {
        nameFromText(box, box->toolTip());
        nameFromText(box->view(), box->accessibleName());
        // On Linux a box is read by its current entry; what it chooses goes in the description.
        if (box->accessibleDescription().isEmpty())
            box->setAccessibleDescription(box->accessibleName());
    }
}

void AccessibleNames::fromCaptions(QWidget *root, const QString &captionSuffix, const QStringList &fieldSuffixes)
{
    for (QLabel *caption : root->findChildren<QLabel *>()) {
        const QString name = caption->objectName();
        if (!name.endsWith(captionSuffix))
            continue;
        const QString prefix = name.chopped(captionSuffix.size());
        for (const QString &suffix : fieldSuffixes) {
            if (QWidget *field = root->findChild<QWidget *>(prefix + suffix))
                nameFromText(field, captionText(caption->text()));
        }
    }
}

QString AccessibleNames::plainText(const QString &text)
{
    return Qt::mightBeRichText(text) ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
}

QString AccessibleNames::captionText(const QString &text)
{
    QString caption = text.trimmed();
    if (caption.endsWith(QLatin1Char(':')))
        caption.chop(1);
    return caption.remove(QLatin1Char('&'));
}
