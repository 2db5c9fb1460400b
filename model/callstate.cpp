#include "callstate.h"

#include <QIcon>

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
    const QIcon icon = path.isEmpty() ? QIcon() : QIcon(path);
    return icon.pixmap(size, QIcon::Normal, QIcon::Off);
}
