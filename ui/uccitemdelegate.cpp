#include "uccitemdelegate.h"

#include "callstate.h"
#include "fontfactory.h"
#include "iconcache.h"
#include "ucitem.h"

#include <QAbstractItemView>
#include <QDateTime>
#include <QHelpEvent>
#include <QPainter>
#include <QTextDocument>
#include <QTime>
#include <QToolTip>

#include <algorithm>

namespace {
const QString timerPath = QStringLiteral(":/images/tiny_timer.png");
constexpr int textLeft = 37; // right of the call-state icon
constexpr int dateLeft = 38;
constexpr int rightMargin = 4;

//! Where the timer stands on the second line: at 128 where the date fits before it; larger fonts
//! (a denser screen, a bigger system font) push it right rather than over the date.
int timerLeft(const QString &date)
{
    return std::max(128, dateLeft + QFontMetrics(FontFactory::tinyFont()).horizontalAdvance(date) + 4);
}

int secondLineWidth(const QString &date, const QString &duration)
{
    return timerLeft(date) + 12 + QFontMetrics(FontFactory::smallFont()).horizontalAdvance(duration) + rightMargin;
}

QPixmap loadScaled(const QString &path)
{
    return IconCache::pixmap(path, QSize(20, 20));
}

//! The second line's grey: the row's text colour faded towards its ground, so it reads on a
//! light row and on a dark one alike (RGB 100, 100, 100 for black text on white).
QColor fadedColor(const QColor &text, const QColor &ground)
{
    constexpr qreal groundShare = 100.0 / 255;
    const auto mix = [](qreal ink, qreal under) { return ink * (1 - groundShare) + under * groundShare; };
    return QColor::fromRgbF(mix(text.redF(), ground.redF()), mix(text.greenF(), ground.greenF()),
                            mix(text.blueF(), ground.blueF()));
}
}

UCCItemDelegate::UCCItemDelegate(QObject *parent)
    : TwoLineItemDelegate(parent)
    , m_phoneGreen(loadScaled(QStringLiteral(":/images/phone_green.png")))
    , m_phoneRed(loadScaled(QStringLiteral(":/images/phone_red.png")))
{
}

QString UCCItemDelegate::line1Text(const QModelIndex &index)
{
    const QModelIndex first = index.sibling(index.row(), 0);
    return first.data(UCItem::RemoteNumberRole).toString() + QStringLiteral(" - ")
        + first.data(UCItem::FirstNameRole).toString() + QLatin1Char(' ')
        + first.data(UCItem::LastNameRole).toString() + QStringLiteral(" - ")
        + first.data(UCItem::CompanyRole).toString();
}

QString UCCItemDelegate::dateText(const QModelIndex &index)
{
    return index.sibling(index.row(), 0)
        .data(UCItem::DateTimeRole)
        .toDateTime()
        .toString(QStringLiteral("dd.MM.yyyy hh:mm"));
}

QString UCCItemDelegate::durationText(int seconds)
{
    // A negative duration (a server's clock running backwards) is no time, not 23:59:xx.
    return QTime(0, 0).addSecs(std::max(0, seconds)).toString();
}

QSize UCCItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = TwoLineItemDelegate::sizeHint(option, index);
    const QModelIndex first = index.sibling(index.row(), 0);
    const int line1 = textLeft + QFontMetrics(FontFactory::smallFont()).horizontalAdvance(line1Text(index)) + rightMargin;
    const int line2 = secondLineWidth(dateText(index), durationText(first.data(UCItem::DurationRole).toInt()));
    size.setWidth(std::max(line1, line2));
    return size;
}

int UCCItemDelegate::leastWidth()
{
    const int line1 = textLeft + QFontMetrics(FontFactory::smallFont()).horizontalAdvance(QStringLiteral("+49 711 1234567-890 - …"));
    const QString date = QDateTime(QDate(2000, 12, 28), QTime(20, 58)).toString(QStringLiteral("dd.MM.yyyy hh:mm"));
    return std::max(line1 + rightMargin, secondLineWidth(date, durationText(86399)));
}

bool UCCItemDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                const QModelIndex &index)
{
    if (event->type() == QEvent::ToolTip && index.isValid()) {
        const QString line1 = line1Text(index);
        const int room = option.rect.width() - textLeft - rightMargin;
        if (QFontMetrics(FontFactory::smallFont()).horizontalAdvance(line1) > room) {
            QToolTip::showText(event->globalPos(), Qt::convertFromPlainText(line1, Qt::WhiteSpaceNoWrap), view,
                               view->visualRect(index));
            return true;
        }
        QToolTip::hideText();
        return true;
    }
    return TwoLineItemDelegate::helpEvent(event, view, option, index);
}

void UCCItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QModelIndex first = index.sibling(index.row(), 0);
    const auto state = static_cast<CallState::State>(first.data(UCItem::StateRole).toInt());
    const auto direction = static_cast<CallDirection::Direction>(first.data(UCItem::DirectionRole).toInt());
    const int duration = first.data(UCItem::DurationRole).toInt();

    const QStyleOptionViewItem opt = drawBackground(painter, option, index);
    const QRect &r = opt.rect;
    const int h = r.height() / 2;
    const int w = r.width();

    painter->save();
    painter->drawPixmap(QPoint(5, r.top() + 5), CallState::callStateToIcon(state, direction, QSize(25, 25)));

    const QPen textPen(textColor(opt));
    QPen greyPen(textPen);
    greyPen.setColor(fadedColor(textPen.color(), groundColor(opt)));

    painter->setPen(textPen);
    painter->setFont(FontFactory::smallFont());
    const QString line1 = painter->fontMetrics().elidedText(line1Text(index), Qt::ElideRight,
                                                           r.width() - textLeft - rightMargin);
    painter->drawText(QRect(QPoint(r.left() + textLeft, r.top() + 4), QPoint(r.right() + textLeft, r.top() + 3 + h)),
                      int(opt.displayAlignment), line1);

    // The second line's x positions are absolute, not offset by the row's left edge.
    painter->setPen(greyPen);
    painter->setFont(FontFactory::tinyFont());
    const QString date = dateText(index);
    painter->drawText(QRect(QPoint(dateLeft, r.top() + h), QPoint(w + textLeft, r.top() + 2 * h - 1)),
                      int(opt.displayAlignment), date);

    const int timerX = timerLeft(date);
    painter->setPen(textPen);
    painter->drawPixmap(QPoint(timerX, r.top() + h + 3), IconCache::glyphPixmap(timerPath, QSize(9, 9), textPen.color()));
    painter->setFont(FontFactory::smallFont());
    painter->drawText(QRect(QPoint(timerX + 12, r.top() + h), QPoint(w + timerX + 11, r.top() + 2 * h - 1)),
                      int(opt.displayAlignment), durationText(duration));
    painter->restore();
}
