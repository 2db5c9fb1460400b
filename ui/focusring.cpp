#include "focusring.h"

#include <QApplication>
#include <QFocusEvent>
#include <QPainter>
#include <QPointer>

namespace {
QPointer<FocusRing> ring;
}

FocusRing::FocusRing()
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    qApp->installEventFilter(this);
}

void FocusRing::install()
{
    if (!ring)
        ring = new FocusRing;
}

FocusRing *FocusRing::instance()
{
    return ring;
}

bool FocusRing::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        // A click shows where it went by itself; the keyboard's way needs a mark.
        const bool byKeys = static_cast<QFocusEvent *>(event)->reason() != Qt::MouseFocusReason;
        // A lamp draws its own frame, fitted to its picture.
        if (widget->isWindow() || widget->inherits("QFocusFrame") || widget->inherits("ClickableLabel")) {
            setWidget(nullptr);
            return false;
        }
        setWidget(byKeys ? widget : nullptr);
    } else if (event->type() == QEvent::FocusOut && watched == widget()) {
        // The focus left for another window or a pop-up: the ring goes until it comes back.
        if (static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
            setWidget(nullptr);
    }
    return false;
}

void FocusRing::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(palette().color(QPalette::Active, QPalette::Highlight), width);
    painter.setPen(pen);
    const qreal inset = width / 2.0;
    painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), 3, 3);
}
