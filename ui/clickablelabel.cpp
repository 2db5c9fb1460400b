#include "clickablelabel.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QTextDocument>

namespace {
// What a screen reader needs to offer the label as a button: the role, and press and menu
// actions that do what the clicks do. One the keyboard does not reach stays a plain label. The
// interface is made once, often while the label is built: it asks the label each time.
class ClickableLabelAccessible final : public QAccessibleWidget
{
public:
    explicit ClickableLabelAccessible(ClickableLabel *label)
        : QAccessibleWidget(label)
    {
    }

    QAccessible::Role role() const override
    {
        if (isButton())
            return QAccessible::Button;
        return label()->pixmap(Qt::ReturnByValue).isNull() ? QAccessible::StaticText : QAccessible::Graphic;
    }

    QString text(QAccessible::Text type) const override
    {
        if (type != QAccessible::Name || !widget()->accessibleName().isEmpty())
            return QAccessibleWidget::text(type);
        QString shown = label()->text();
        if (Qt::mightBeRichText(shown)) {
            QTextDocument document;
            document.setHtml(shown);
            shown = document.toPlainText();
        }
        return shown;
    }

    QStringList actionNames() const override
    {
        if (!isButton())
            return QAccessibleWidget::actionNames();
        return QStringList{pressAction(), showMenuAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &actionName) override
    {
        if (isButton() && actionName == pressAction())
            emit label()->clicked();
        else if (isButton() && actionName == showMenuAction())
            emit label()->rightClicked();
        else
            QAccessibleWidget::doAction(actionName);
    }

private:
    ClickableLabel *label() const { return static_cast<ClickableLabel *>(widget()); }
    bool isButton() const { return widget()->focusPolicy() & Qt::TabFocus; }
};

QAccessibleInterface *accessibleLabel(const QString &className, QObject *object)
{
    if (className != QLatin1String("ClickableLabel") || !object || !object->isWidgetType())
        return nullptr;
    return new ClickableLabelAccessible(static_cast<ClickableLabel *>(object));
}
}

ClickableLabel::ClickableLabel(const QString &text, QWidget *parent)
    : QLabel(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(accessibleLabel);
        return true;
    }();
    Q_UNUSED(factoryInstalled)
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
