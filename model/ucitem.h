#pragma once

#include "model.h"

#include <QString>

class QStandardItem;

//! One unified-communications item: an entry of the conversation history or a call waiting in a
//! queue. Its fields are the server's values, kept in the value map exactly as they arrived.
class UCItem final : public Model<UCItem>
{
    Q_OBJECT

public:
    //! Item data roles of the row item built by toStandardItem(); UserRole + 3 is not used.
    enum ItemDataRole {
        RemoteNumberRole = Qt::UserRole + 1, //!< "remote_number"
        StateRole = Qt::UserRole + 2,        //!< "state"
        FirstNameRole = Qt::UserRole + 4,    //!< "firstname"
        LastNameRole = Qt::UserRole + 5,     //!< "lastname"
        CompanyRole = Qt::UserRole + 6,      //!< "company"
        DateTimeRole = Qt::UserRole + 7,     //!< "timestamp" as a local QDateTime
        DirectionRole = Qt::UserRole + 8,    //!< "direction"
        DurationRole = Qt::UserRole + 9,     //!< "duration"
        TypRole = Qt::UserRole + 10,         //!< "typ"
        CallIdRole = Qt::UserRole + 11,      //!< "callid"
        AddressbookIdRole = Qt::UserRole + 12, //!< "caller_addressbook_id"
    };
    Q_ENUM(ItemDataRole)

    //! Display-text format of the row item; sorts chronologically.
    static const QString displayFormat;

    UCItem();

    void setTyp(const QString &typ);
    QString getTyp();
    QString getOwnerId();

    //! A new row item (the caller owns it): display text = "timestamp" (UTC) in local time as
    //! "yyyy-MM-ddTHH:mm:ss", empty for a missing or unreadable timestamp; the fields in the roles
    //! above as the raw values of the map.
    QStandardItem *toStandardItem() const;
};
