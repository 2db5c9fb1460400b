#include "callstate.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPixmapCache>

QString CallState::iconPath(State state, CallDirection::Direction direction)
{
    QString name;
    switch (state) {
    case Ringing:
        name = QStringLiteral("ring_yellow");
        break;
    case Connected:
    case EndedGreen:
        name = QStringLiteral("call_green");
        break;
    case EndedYellow:
        name = QStringLiteral("call_yellow");
        break;
    case EndedRed:
        name = QStringLiteral("call_red");
        break;
    default:
        return QString();
    }
    const QString prefix = direction == CallDirection::Outgoing ? QStringLiteral("out_") : QStringLiteral("in_");
    return QStringLiteral(":/images/call_states/") + prefix + name + QStringLiteral(".png");
}

QPixmap CallState::callStateToIcon(State state, CallDirection::Direction direction, QSize size)
{
    const QString path = iconPath(state, direction);
    if (path.isEmpty())
        return QPixmap();
    // Every call view shows one of a handful of icons: decode each size once. The icon comes at
    // the screens' pixel ratio (from the @2x or @3x rendering), which is part of the key.
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const QString key = path + QLatin1Char('@') + QString::number(size.width()) + QLatin1Char('x')
                        + QString::number(size.height()) + QLatin1Char('*') + QString::number(ratio);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        pixmap = QIcon(path).pixmap(size, QIcon::Normal, QIcon::Off);
        QPixmapCache::insert(key, pixmap);
    }
    return pixmap;
}
