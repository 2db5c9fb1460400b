#pragma once

#include "model.h"

namespace QueueKeys {
inline const QString id = QStringLiteral("id");
inline const QString extension = QStringLiteral("extension");
inline const QString name = QStringLiteral("name");
inline const QString loggedIn = QStringLiteral("loggedIn");
inline const QString staticMember = QStringLiteral("static_member");
}

//! A call queue the user is a member or agent of. Filled from the server's data only; the
//! connector owns it.
class Queue final : public Model<Queue>
{
    Q_OBJECT

public:
    Queue();

    QString getExtension();
    QString getName();
    //! Logged in as agent; says nothing for a static member (see isStatic()).
    bool loggedIn();
    //! A static membership cannot be changed from the client.
    bool isStatic();
};
