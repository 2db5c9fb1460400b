#pragma once

#include "model.h"

namespace PhoneKeys {
inline const QString id = QStringLiteral("id");
inline const QString type = QStringLiteral("type");
inline const QString assigned = QStringLiteral("assigned");
inline const QString ipv4Address = QStringLiteral("ipv4_address");
}

//! A phone the user may log in to. Filled from the server's data only; the connector owns it.
class Phone final : public Model<Phone>
{
    Q_OBJECT

public:
    Phone();

    //! The device's model name, not the record's ("Phones").
    QString phoneModelName();
    //! The user is logged in to this phone.
    bool isAssigned();
    QString getIpV4Address();
};
