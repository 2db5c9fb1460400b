// Lines and call control: the commands the call views send, and the line status the server
// reports, mirrored in the lines map.
#include "cticonnector.h"

#include "line.h"
#include "ucitem.h"

#include <QDateTime>
#include <QPointer>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {
const QString keyCallId = QStringLiteral("callid");

//! A line reported by a "requestLineStatus" response whose call began longer ago is stale.
constexpr qint64 maxLineAgeSecs = 8 * 60 * 60;

//! Seconds from the call date to now; 0 for a date in the future (the server's clock may run
//! ahead of ours) and for an invalid date.
qint64 lineAgeSecs(const QDateTime &callDate, const QDateTime &now)
{
    if (!callDate.isValid())
        return 0;
    return std::max<qint64>(0, callDate.secsTo(now));
}

//! The call id of server line data: a string as it is, a whole number as its digits, anything
//! else none (such data names no call to show).
QString callIdOf(const QVariantMap &data)
{
    const QVariant value = data.value(keyCallId);
    if (value.userType() == QMetaType::QString)
        return value.toString();
    if (value.userType() == QMetaType::Double) {
        const double number = value.toDouble();
        if (std::isfinite(number) && number == std::floor(number) && std::fabs(number) < 1e15)
            return QString::number(qint64(number));
    }
    return QString();
}

//! A closing line's data in the forms of a conversation item: the line's local start time
//! ("yyyy-MM-dd HH:mm:ss") as UTC ISO text, its duration ("HH:mm:ss") as seconds. Values in
//! other forms are left as they are.
QVariantMap asConversationItem(QVariantMap data)
{
    const QVariant timestamp = data.value(QStringLiteral("timestamp"));
    if (timestamp.userType() == QMetaType::QString) {
        const QDateTime started = Line::parseTimestamp(timestamp.toString());
        if (started.isValid())
            data.insert(QStringLiteral("timestamp"), started.toUTC().toString(Qt::ISODate));
    }
    const QVariant duration = data.value(QStringLiteral("duration"));
    if (duration.userType() == QMetaType::QString) {
        // Hours may pass 23; a part that is no number, or a negative one, gives no duration.
        const QStringList parts = duration.toString().split(QLatin1Char(':'));
        qint64 seconds = 0;
        bool valid = parts.size() == 3;
        for (const QString &part : parts) {
            const bool digits = !part.isEmpty() && part.size() <= 6
                                && std::all_of(part.cbegin(), part.cend(), [](QChar c) { return c >= '0' && c <= '9'; });
            valid = valid && digits;
            seconds = seconds * 60 + (digits ? part.toLongLong() : 0);
        }
        data.insert(QStringLiteral("duration"), valid ? seconds : 0);
    }
    return data;
}

}

void CTIConnector::requestLineStatus()
{
    CTIMessage message = CTIMessage::generateCommand(QStringLiteral("requestLineStatus"));
    sendMessage(message);
}

void CTIConnector::dialNumber(const QString &number)
{
    if (number.isEmpty())
        return;
    CTIMessage message = CTIMessage::generateCommand(QStringLiteral("dialNumber"));
    message.setValueForKey(QStringLiteral("number"), number);
    sendMessage(message);
}

void CTIConnector::pickupExtension(const QString &extension)
{
    if (extension.isEmpty())
        return;
    CTIMessage message = CTIMessage::generateCommand(QStringLiteral("dialNumber"));
    message.setValueForKey(QStringLiteral("number"), QStringLiteral("*81*") + extension);
    sendMessage(message);
}

namespace {
CTIMessage callCommand(const QString &name, const QString &callId)
{
    CTIMessage message = CTIMessage::generateCommand(name);
    message.setValueForKey(keyCallId, callId);
    return message;
}
}

void CTIConnector::hangup(const QString &callId)
{
    if (callId.isEmpty())
        return;
    CTIMessage message = callCommand(QStringLiteral("hangup"), callId);
    sendMessage(message);
}

void CTIConnector::hold(const QString &callId)
{
    if (callId.isEmpty())
        return;
    CTIMessage message = callCommand(QStringLiteral("hold"), callId);
    sendMessage(message);
}

void CTIConnector::holdRetrieve(const QString &callId)
{
    if (callId.isEmpty())
        return;
    CTIMessage message = callCommand(QStringLiteral("holdRetrieve"), callId);
    sendMessage(message);
}

void CTIConnector::transfer(const QString &callId, const QString &target)
{
    if (callId.isEmpty())
        return;
    CTIMessage message = callCommand(QStringLiteral("transfer"), callId);
    message.setValueForKey(QStringLiteral("target"), target); // an empty target goes out as ""
    sendMessage(message);
}

void CTIConnector::record(const QString &callId)
{
    if (callId.isEmpty())
        return;
    CTIMessage message = callCommand(QStringLiteral("record"), callId);
    sendMessage(message);
}

void CTIConnector::handleResponse_requestLineStatus(CTIMessage &message)
{
    // Not an object (an array, a string, null): no lines. A member that names no call opens nothing.
    const QVariantMap lines = message.valueForKey(QStringLiteral("lines")).toMap();
    const QDateTime now = QDateTime::currentDateTime();
    QSet<QString> reported;
    for (auto it = lines.cbegin(); it != lines.cend(); ++it) {
        QVariantMap data = it.value().toMap();
        const QString callId = callIdOf(data);
        if (callId.isEmpty())
            continue;
        data.insert(keyCallId, callId);
        std::unique_ptr<Line> line(Line::fromVariantMap(data));
        // Stale, or ended before we saw it: nothing to show, and no view that would never close.
        if (lineAgeSecs(line->callDate(), now) > maxLineAgeSecs || line->callState() >= CallState::Ended)
            continue;
        reported.insert(callId);
        if (Line *open = m_lines.value(callId)) {
            // The same call (reported again after a reconnection): its record is kept, so views
            // keep their place and state, and a connected call keeps its one clock.
            open->updateFromVariantMap(data);
            emit lineChanged(open);
            continue;
        }
        m_lines.insert(callId, line.get());
        emit lineOpenend(line.release());
    }

    // After a reconnection: a call the server no longer reports ended while the link was down.
    if (!m_resyncingLines)
        return;
    m_resyncingLines = false;
    const QStringList open = m_lines.keys();
    for (const QString &callId : open) {
        if (reported.contains(callId))
            continue;
        Line *line = m_lines.take(callId);
        // Closed as ended: receivers read its state, and a ringing one must not ring on.
        line->setCallState(CallState::Ended);
        const QPointer<Line> closed(line);
        emit lineClosed(line);
        releaseUnlessAdopted(closed);
    }
}

void CTIConnector::handleEvent_updateLineStatus(CTIMessage &message)
{
    QVariantMap data = message.getDataMap();
    const QString callId = callIdOf(data);
    if (callId.isEmpty())
        return;
    data.insert(keyCallId, callId);

    if (Line *line = m_lines.value(callId)) {
        line->updateFromVariantMap(data);
        if (line->callState() < CallState::Ended) {
            emit lineChanged(line);
            return;
        }
        m_lines.remove(callId);
        const QPointer<Line> closed(line);
        emit lineClosed(line);
        releaseUnlessAdopted(closed);

        auto *item = new UCItem;
        item->buildFromVariantMap(asConversationItem(data));
        const QPointer<UCItem> added(item);
        onUcItemAdded(item);
        releaseUnlessAdopted(added);
        return;
    }

    Line *line = Line::fromVariantMap(data);
    if (line->callState() >= CallState::Ended) {
        // First heard of when it had ended: a view of it would never close.
        delete line;
        return;
    }
    m_lines.insert(callId, line);
    emit lineOpenend(line);
}
