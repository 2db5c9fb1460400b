#pragma once

#include "model.h"
#include "notificationtype.h"

#include <QPointer>

class RollOverPopUp;

namespace NotificationKeys {
inline const QString type = QStringLiteral("type");
inline const QString remoteId = QStringLiteral("remoteId");
inline const QString title = QStringLiteral("title");
inline const QString text1 = QStringLiteral("text1");
inline const QString text2 = QStringLiteral("text2");
}

//! What to announce about a call, and how. submit() hands the notification over: it then lives
//! as long as its pop-up (a silent one is deleted on the next event-loop pass), so a caller
//! must not use it after submit() returned.
class Notification final : public Model<Notification>
{
    Q_OBJECT

public:
    //! A timed pop-up's stay after its roll-in.
    static constexpr int timedDurationMs = 5000;

    Notification();

    NotificationType::Type type();
    void setType(NotificationType::Type type);
    //! The caller's address-book id; a null string when there is none to ask a picture for.
    QString remoteId();
    void setRemoteId(const QString &remoteId);
    QString title();
    void setTitle(const QString &title);
    QString text1();
    void setText1(const QString &text);
    QString text2();
    void setText2(const QString &text);

    void submit();
    //! Rolls the pop-up out, if there is one still.
    void hidePopup();
    //! The pop-up while it exists; null for a silent notification or one never submitted.
    RollOverPopUp *popup() const;

private:
    QPointer<RollOverPopUp> m_popup;
};
