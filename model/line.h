#pragma once

#include "calldirection.h"
#include "callstate.h"
#include "model.h"

#include <QDateTime>
#include <QMap>
#include <QString>
#include <QTime>
#include <QVariant>

class QTimer;

//! One call on the user's lines as the server reports it. While the state is Connected the line
//! counts its duration up once a second, so views show a running clock between server updates.
//! Main thread only.
class Line final : public Model<Line>
{
    Q_OBJECT

public:
    //! The clock's tick.
    static constexpr int secondsTimerIntervalMs = 1000;
    //! Format of the server's "timestamp" (server local time).
    static const QString timestampFormat;
    //! Local time in timestampFormat, as QDateTime::fromString reads it; invalid when it is none.
    static QDateTime parseTimestamp(const QString &text);

    Line();

    //! A new line filled by updateFromVariantMap(); the caller owns it.
    static Line *fromVariantMap(const QMap<QString, QVariant> &data);
    //! Applies server line data; every field is replaced, keys left out (or of the wrong JSON type)
    //! read as the empty string, 0, an invalid time or an invalid date.
    void updateFromVariantMap(const QMap<QString, QVariant> &data);

    QString callId();
    void setCallId(const QString &callId);
    //! The address-book contact id of the other party; empty when it is in no address book.
    QString remoteId();
    void setRemoteId(const QString &remoteId);
    QString remoteFirstName();
    void setRemoteFirstName(const QString &firstName);
    QString remoteLastName();
    void setRemoteLastName(const QString &lastName);
    QString remoteCompanyName();
    void setRemoteCompanyName(const QString &companyName);
    QString remoteNumber();
    void setRemoteNumber(const QString &number);
    CallState::State callState();
    //! Starts the clock anew for Connected, stops it for every other state, then stores the state.
    void setCallState(const CallState::State &state);
    CallDirection::Direction callCallDirection();
    void setCallDirection(const CallDirection::Direction &direction);
    QTime callDuration();
    //! An invalid time is stored as 00:00:00.
    void setCallDuration(const QTime &duration);

    //! When the call began (server local time); no change signal.
    QDateTime callDate() const { return m_callDate; }
    void setCallDate(const QDateTime &callDate) { m_callDate = callDate; }

    //! "Last, First"; the first name alone when the last name is empty. The company is not part of it.
    QString remoteNameFormatted();

    //! The clock: runs exactly while the stored state is Connected.
    const QTimer *secondsTimer() const { return m_secondsTimer; }

public slots:
    //! One tick of the clock: the duration grows by a second (wrapping at midnight like a time of day).
    void onSecondsTimer();

private:
    QDateTime m_callDate;
    QTimer *m_secondsTimer; // child, so it follows the line to another thread
};
