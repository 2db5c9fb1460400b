#include "line.h"

#include <QTimer>

#include <cmath>
#include <limits>

namespace {
const QString keyCallId = QStringLiteral("callId");
const QString keyRemoteId = QStringLiteral("remoteId");
const QString keyFirstName = QStringLiteral("firstName");
const QString keyLastName = QStringLiteral("lastName");
const QString keyCompanyName = QStringLiteral("companyName");
const QString keyRemoteNumber = QStringLiteral("remoteNumber");
const QString keyCallState = QStringLiteral("callState");
const QString keyCallDirection = QStringLiteral("callDirection");
const QString keyCallDuration = QStringLiteral("callDuration");

// Server values arrive as JSON converted to variants: strings, doubles, bools, maps, lists or
// invalid for null. A value of another kind than the key expects reads as the empty value.
QString readString(const QVariant &value)
{
    return value.userType() == QMetaType::QString ? value.toString() : QString();
}

// A JSON number, or a string holding a whole number; everything else is 0.
int readInt(const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::Double:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        const double number = value.toDouble();
        if (!std::isfinite(number) || number < std::numeric_limits<int>::min()
            || number > std::numeric_limits<int>::max())
            return 0;
        return qRound(number);
    }
    case QMetaType::QString: {
        bool ok = false;
        const int number = value.toString().toInt(&ok);
        return ok ? number : 0;
    }
    default:
        return 0;
    }
}
}

const QString Line::timestampFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QDateTime Line::parseTimestamp(const QString &text)
{
    // The generic format parser costs tens of microseconds; a line status may carry thousands of
    // lines. Plain "yyyy-MM-dd HH:mm:ss" is read here, anything else (and any time the local
    // clock skips or repeats) by the parser itself.
    static constexpr char pattern[] = "dddd-dd-dd dd:dd:dd";
    if (text.size() == int(sizeof(pattern) - 1)) {
        int fields[6] = {};
        int field = 0;
        bool plain = true;
        for (int i = 0; plain && i < text.size(); ++i) {
            const char16_t c = text.at(i).unicode();
            if (pattern[i] != 'd') {
                plain = c == char16_t(pattern[i]);
                field += plain && (i == 4 || i == 7 || i == 10 || i == 13 || i == 16) ? 1 : 0;
            } else {
                plain = c >= '0' && c <= '9';
                fields[field] = fields[field] * 10 + (c - '0');
            }
        }
        if (plain) {
            const QDate date(fields[0], fields[1], fields[2]);
            const QTime time(fields[3], fields[4], fields[5]);
            if (!date.isValid() || !time.isValid())
                return QDateTime();
            const QDateTime local(date, time);
            if (local.isValid() && local.date() == date && local.time() == time)
                return local;
        }
    }
    return QDateTime::fromString(text, timestampFormat);
}

Line::Line()
    : Model<Line>(QStringLiteral("Line"))
    , m_secondsTimer(new QTimer(this))
{
    m_secondsTimer->setObjectName(QStringLiteral("secondsTimer"));
    m_secondsTimer->setInterval(secondsTimerIntervalMs);
    connect(m_secondsTimer, &QTimer::timeout, this, &Line::onSecondsTimer);
}

Line *Line::fromVariantMap(const QMap<QString, QVariant> &data)
{
    auto *line = new Line;
    line->updateFromVariantMap(data);
    return line;
}

void Line::updateFromVariantMap(const QMap<QString, QVariant> &data)
{
    const QString callId = readString(data.value(QStringLiteral("callid")));
    const QString firstName = readString(data.value(QStringLiteral("firstname")));
    const QString lastName = readString(data.value(QStringLiteral("lastname")));
    const QString company = readString(data.value(QStringLiteral("company")));
    const QString number = readString(data.value(QStringLiteral("remote_number")));
    const QTime duration = QTime::fromString(readString(data.value(QStringLiteral("duration"))), Qt::ISODate);
    const QString remoteId = readString(data.value(QStringLiteral("caller_addressbook_id")));
    const int state = readInt(data.value(QStringLiteral("state")));
    const int direction = readInt(data.value(QStringLiteral("direction")));
    const QDateTime date = parseTimestamp(readString(data.value(QStringLiteral("timestamp"))));

    setCallId(callId);
    setRemoteFirstName(firstName);
    setRemoteLastName(lastName);
    setRemoteCompanyName(company);
    setRemoteNumber(number);
    setCallState(static_cast<CallState::State>(state));
    setCallDirection(static_cast<CallDirection::Direction>(direction));
    setCallDuration(duration);
    setCallDate(date);
    setRemoteId(remoteId);
}

QString Line::callId()
{
    return valueForKey(keyCallId).toString();
}

void Line::setCallId(const QString &callId)
{
    setValueForKey(keyCallId, callId);
}

QString Line::remoteId()
{
    return valueForKey(keyRemoteId).toString();
}

void Line::setRemoteId(const QString &remoteId)
{
    setValueForKey(keyRemoteId, remoteId);
}

QString Line::remoteFirstName()
{
    return valueForKey(keyFirstName).toString();
}

void Line::setRemoteFirstName(const QString &firstName)
{
    setValueForKey(keyFirstName, firstName);
}

QString Line::remoteLastName()
{
    return valueForKey(keyLastName).toString();
}

void Line::setRemoteLastName(const QString &lastName)
{
    setValueForKey(keyLastName, lastName);
}

QString Line::remoteCompanyName()
{
    return valueForKey(keyCompanyName).toString();
}

void Line::setRemoteCompanyName(const QString &companyName)
{
    setValueForKey(keyCompanyName, companyName);
}

QString Line::remoteNumber()
{
    return valueForKey(keyRemoteNumber).toString();
}

void Line::setRemoteNumber(const QString &number)
{
    setValueForKey(keyRemoteNumber, number);
}

CallState::State Line::callState()
{
    return static_cast<CallState::State>(valueForKey(keyCallState).toInt());
}

void Line::setCallState(const CallState::State &state)
{
    if (state == CallState::Connected)
        m_secondsTimer->start(); // a restart begins a new full second
    else
        m_secondsTimer->stop();
    setValueForKey(keyCallState, static_cast<int>(state));
}

CallDirection::Direction Line::callCallDirection()
{
    return static_cast<CallDirection::Direction>(valueForKey(keyCallDirection).toInt());
}

void Line::setCallDirection(const CallDirection::Direction &direction)
{
    setValueForKey(keyCallDirection, static_cast<int>(direction));
}

QTime Line::callDuration()
{
    return valueForKey(keyCallDuration).toTime();
}

void Line::setCallDuration(const QTime &duration)
{
    setValueForKey(keyCallDuration, duration.isValid() ? duration : QTime(0, 0, 0));
}

QString Line::remoteNameFormatted()
{
    const QString lastName = remoteLastName();
    const QString firstName = remoteFirstName();
    return lastName.isEmpty() ? firstName : lastName + QStringLiteral(", ") + firstName;
}

void Line::onSecondsTimer()
{
    setCallDuration(callDuration().addSecs(1));
}
