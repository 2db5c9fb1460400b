#pragma once

#include "addresslistmodel.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QImage>
#include <QMap>
#include <QModelIndexList>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariant>
#include <QVector>
#include <QWidget>

namespace Ui {
class AddressBookTabWidget;
}

class Addressbook;
class Addresses;
class AddressListProxyModel;
class QItemSelection;
class QLabel;
class QLineEdit;
class QModelIndex;

//! One address book in the address book window: the searchable, sortable list of its contacts
//! beside a contact page, an edit page and a saving page. The tab adopts its book and the
//! contacts of that book (setParent); contacts of other books are left to the connector.
//! Fields are found by the names of their widgets (key + "ViewLabel", "LineEdit", ...).
class AddressBookTabWidget final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(AddressBookTabWidget)

public:
    enum Page { ViewPage = 0, EditPage = 1, SavingPage = 2 };
    //! Item data of the chooser's last entry, "... define custom type".
    static constexpr int customContactTypeData = 31337;
    //! A save the server has not answered by then is reported as not confirmed, on its contact.
    static constexpr int saveAnswerTimeoutMs = 20000;
    //! While the book loads, its rows join the list at most this often.
    static constexpr int loadingFlushIntervalMs = 150;
    //! Rows join the list in slices of about this cost, each in an event-loop pass of its own.
    static constexpr int flushSliceBudgetMs = 3;

    explicit AddressBookTabWidget(QWidget *parent = nullptr);
    ~AddressBookTabWidget() override;

    //! Adopts the book and asks for its contacts.
    void init(Addressbook *book);
    Addressbook *book() const { return m_book; }

    Addresses *getAddressById(const QString &id) const;
    //! The list model's cells of that contact's row; empty when it is not listed.
    QModelIndexList getStandardItemsById(const QString &id) const;
    QLabel *findLabelByFieldName(const QString &key) const;
    QLineEdit *findLineEditByFieldName(const QString &key) const;
    //! HTML anchors; the value is escaped in the text and in the target.
    static QString makeMailLink(const QString &text);
    static QString makeHttpLink(const QString &text);
    static QString getStringFromType(const QString &type);
    //! Shows the fields that need more than plain text; false when the plain fill must follow.
    bool setCustomField(const QString &key, Addresses *address);
    bool isAddressbookWriteable() const;
    QMap<QString, QVariant> getKeyValuesFromEditMode() const;

    QString currentAddressId() const { return m_currentAddressId; }
    AddressListModel *listModel() const { return m_listModel; }
    AddressListProxyModel *proxyModel() const { return m_proxyModel; }
    //! The book has loaded and all its rows are listed.
    bool isLoaded() const { return !m_loading && m_pendingFirst == m_pendingRows.size(); }
    void setSaveAnswerTimeout(int ms) { m_saveAnswerTimeoutMs = ms; }
    //! Saves sent and not yet answered.
    int pendingSaveCount() const { return m_pendingSaves.size(); }
    bool isEditing() const;
    //! The first number the contact page shows (work, mobile, home, private mobile), made
    //! dialable, of the contact chosen; empty when it has none.
    QString firstNumber() const;

public slots:
    //! The search takes the keyboard; the arrows there choose a contact and Enter dials it.
    void focusSearch();
    void addressAdded(Addresses *address);
    void addressDeleted(const QString &id);
    void addressesLoadingFinished(const QString &bookId);
    void showAddressPicture(const QPixmap &pixmap, const QString &id);
    void selectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void onAddressClicked(const QModelIndex &index);
    void loadAddressIntoView(Addresses *address);
    void loadAddressIntoView(const QString &id);
    void clearAddressView();
    void showViewPage();
    void dialButtonClicked(const QString &buttonName);
    void onCompanyAddressOpenInMapButtonClick();
    void onPrivateAddressOpenInMapButtonClick();
    void updateCounterLabels();

    void addressSaved(Addresses *address);
    void addressPictureSaved(const QString &id);
    //! True when the user chose to keep unsaved edits.
    bool checkForLoosingChanges();
    void startEditNewEntryMode();
    void startEditMode();
    void cancelEditMode();
    void saveChanges();
    void deleteAddress();
    void deleteAddressDialogConfirmed();
    void memoryImageToBeSaved(const QImage &image);
    void showEditPage();
    void showSavingProcessPage();
    void currentContactTypeComboboxIndexChanged(int index);
    void cancelCustomContactTypeEdit();
    void setContactTypes(const QStringList &types);

signals:
    void openAddressInMapView(Addresses *address, const QString &keyPrefix);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    //! The contact pages as wide as what they show needs.
    void fitViewPages();
    //! Each value on the contact page is named by its caption and its value.
    void nameValueLabels();
    //! Rows of contacts that arrived in this event-loop pass go into the list together, a slice
    //! at a time.
    void scheduleFlush();
    void flushSlice();
    //! All rows still waiting, now.
    void flushPendingRows();
    void appendPendingRows(int count);
    void selectRowOf(const QString &id);
    void selectFirstRow();
    void openLink(const QString &link);
    //! A save sent and not yet answered. It belongs to its contact: its answer, its picture and
    //! its time-out concern that contact only, whatever the tab shows meanwhile.
    struct PendingSave
    {
        QString contactId; // empty for a new entry
        QMap<QString, QVariant> values; // as collected from the edit page
        QImage picture; // uploaded once the save is answered
        QDeadlineTimer deadline;
    };
    //! The save of those that an answer for that contact id answers: the oldest for the id, else
    //! the oldest new entry's (answers come in the order the saves went out); -1 for none.
    static int pendingSaveFor(const QVector<PendingSave> &saves, const QString &answerId);
    bool isWaitingFor(const PendingSave &save) const;
    void restartSaveTimer();
    void onSaveAnswerTimeout();
    //! The edit page of an unconfirmed save's contact, with its edits and picture, once the user
    //! edits nothing else.
    void reopenUnconfirmedSave();
    void fillEditPage(const QMap<QString, QVariant> &values);
    void showEditStatus(const QString &text);
    static AddressListModel::Row rowOf(Addresses *address);
    //! The stored type, or "" for none; a type the chooser does not list is kept aside.
    void selectContactType(const QString &type);

    Ui::AddressBookTabWidget *ui;
    QString m_currentAddressId;
    Addressbook *m_book = nullptr;
    AddressListModel *m_listModel;
    AddressListProxyModel *m_proxyModel;
    //! Holds the records kept in m_contacts: under the widget itself, tens of thousands of them
    //! would be looked through whenever it paints.
    QObject m_records;
    QMap<QString, Addresses *> m_contacts;
    QImage m_pendingPicture;
    QMap<QString, int> m_contactTypeIndexes;

    //! Rows waiting for the list: those from m_pendingFirst on; their ids with their places.
    QVector<AddressListModel::Row> m_pendingRows;
    int m_pendingFirst = 0;
    QHash<QString, int> m_pendingRowIndex;
    int m_sliceRows = 1000; // sized by the cost of the last slice
    bool m_selectFirstWhenListed = false;
    bool m_flushQueued = false;
    bool m_sliceWaited = false; // the last slice was left to the next pass
    QTimer m_flushTimer;
    bool m_loading = false;
    bool m_ignoreSelection = false;
    QVector<PendingSave> m_pendingSaves; // in the order sent
    //! Not confirmed while the user was editing something else: reopened afterwards.
    QVector<PendingSave> m_unconfirmedSaves;
    QTimer m_saveTimer;
    int m_saveAnswerTimeoutMs = saveAnswerTimeoutMs;
    //! What each edit widget showed for the stored value when the contact was loaded, and that
    //! value: a text the user left as it was is saved as the server sent it, not as the widget
    //! gives it back (a line edit cuts long texts, the note box changes line breaks).
    struct LoadedText
    {
        QString shown;
        QString stored;
    };
    QHash<QString, LoadedText> m_loadedTexts;
    //! The shown contact's stored type when the chooser does not list it: saved unchanged unless
    //! the user chooses another.
    QString m_keptContactType;
};
