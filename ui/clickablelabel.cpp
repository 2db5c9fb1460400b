#include "clickablelabel.h"

#include "accessiblefactory.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>

ClickableLabel::ClickableLabel(const QString &text, QWidget *parent)
    : QLabel(parent)
{
    AccessibleFactory::install();
    // Only now: a text set while the plain label was built could have given it a plain label's
    // accessible interface, for good.
    setText(text);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked();
    else if (event->button() == Qt::RightButton)
        emit rightClicked();
    QLabel::mouseReleaseEvent(event);
}

void ClickableLabel::keyPressEvent(QKeyEvent *event)
{
    if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Enter:
        case Qt::Key_Return:
        case Qt::Key_Space:
            // A key held down must not call again and again.
            if (!event->isAutoRepeat())
                emit clicked();
            return;
        case Qt::Key_F2:
        case Qt::Key_Menu:
            if (!event->isAutoRepeat())
                emit rightClicked();
            return;
        default:
            break;
        }
    }
    QLabel::keyPressEvent(event);
}

void ClickableLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    // Around the picture where there is one (the label may be larger), and inside what the
    // parent shows, so all four sides are seen; the style's own focus hint is too faint.
    QRect frame = contentsRect();
    const QPixmap shown = pixmap(Qt::ReturnByValue);
    if (!shown.isNull())
        frame = QStyle::alignedRect(layoutDirection(), alignment(), shown.size() / shown.devicePixelRatio(), frame);
    if (const QWidget *parent = parentWidget())
        frame &= QRect(mapFrom(parent, QPoint()), parent->size());
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Highlight), focusFrameWidth));
    const qreal inset = focusFrameWidth / 2.0;
    painter.drawRect(QRectF(frame).adjusted(inset, inset, -inset, -inset));
}
