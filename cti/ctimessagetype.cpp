#include "ctimessagetype.h"

namespace CTIMessageType {

QString toString(Type type)
{
    switch (type) {
    case command:
        return QStringLiteral("command");
    case response:
        return QStringLiteral("response");
    case event:
        return QStringLiteral("event");
    case none:
        break;
    }
    return QStringLiteral("?");
}

Type fromString(const QString &text)
{
    if (text == QLatin1String("event"))
        return event;
    if (text == QLatin1String("response"))
        return response;
    if (text == QLatin1String("command"))
        return command;
    return none;
}

} // namespace CTIMessageType
