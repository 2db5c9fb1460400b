#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

class Addresses;

//! The dial field's suggestions: one row per contact number ("tel_work", "tel_home",
//! "tel_cell_private", in this order, empty ones skipped), in three columns:
//! 0 "name number" with the bare number in DialCompleter::CompleteRole, 1 the number, 2 the name.
//! A contact's rows are kept under its id: a contact that arrives again replaces its rows, and
//! removeContact() takes them out.
//!
//! Contacts arrive by the hundred per event-loop pass while address books load, and every change
//! of the model makes an attached completer filter anew. So addContact() gathers what arrives, and
//! the rows appear together in a later pass: as many as the pass's bulk work allows (see
//! PassBudget), the rest in the passes after.
class DialSuggestionModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY(DialSuggestionModel)

public:
    enum Column { LineColumn = 0, NumberColumn = 1, NameColumn = 2, ColumnCount = 3 };
    //! Bulk work of one pass (see PassBudget) up to which waiting contacts are added.
    static constexpr int flushBudgetMs = 3;

    explicit DialSuggestionModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    //! Reads the contact's name and numbers now; the record is not kept.
    void addContact(Addresses *contact);
    //! Takes the contact's rows out at once, and drops it if it is still waiting to be added.
    void removeContact(const QString &id);
    //! Adds all that is waiting now instead of in later passes.
    void flush();

private:
    struct Row
    {
        QString line; // name + " " + number, precomputed: the completer reads it for every keystroke
        QString number;
        QString name;
        QString id;
    };
    struct Contact
    {
        QString id;
        QString name;
        QStringList numbers;
        bool dropped = false;
    };
    struct Span
    {
        int first = 0;
        int count = 0;
    };

    void scheduleFlush();
    //! Adds waiting contacts: all of them, or as many as the pass allows.
    void commitPending(bool withinPass);
    void appendRowsOf(const Contact &contact, QVector<Row> &rows) const;
    //! Removes the rows of a committed contact and shifts the spans behind it.
    void removeSpan(const QString &id, Span span);

    QVector<Row> m_rows;
    QHash<QString, Span> m_spans; // contact id -> its rows
    //! Waiting contacts: those from m_pendingFirst on.
    QVector<Contact> m_pending;
    int m_pendingFirst = 0;
    QHash<QString, int> m_pendingIndex; // contact id -> position in m_pending
    QTimer m_flushTimer;
};
