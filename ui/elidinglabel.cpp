#include "elidinglabel.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QTextDocument>

ElidingLabel::ElidingLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

QSize ElidingLabel::minimumSizeHint() const
{
    // Room for a few letters and the ellipsis: a sensible least width, not the whole text.
    QSize size = QLabel::minimumSizeHint();
    const int least = fontMetrics().horizontalAdvance(QStringLiteral("Mmmm…")) + 2 * margin() + indent();
    size.setWidth(std::min(size.width(), least));
    return size;
}

bool ElidingLabel::isElided() const
{
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width() - 2 * margin();
}

void ElidingLabel::paintEvent(QPaintEvent *event)
{
    updateToolTip();
    if (!isElided()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
    style()->drawItemText(&painter, room, int(QStyle::visualAlignment(layoutDirection(), alignment())), palette(),
                          isEnabled(), shown, foregroundRole());
}

void ElidingLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    updateToolTip();
}

void ElidingLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateToolTip();
}

void ElidingLabel::updateToolTip()
{
    // QLabel has no hook for a new text: the paint that shows it, and a resize, keep this current.
    // Shown as typed: a name from the server is no markup.
    const QString tip = isElided() ? Qt::convertFromPlainText(text(), Qt::WhiteSpaceNoWrap) : QString();
    if (toolTip() != tip)
        setToolTip(tip);
}
