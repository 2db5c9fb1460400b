#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace Ui {
class AddressBookWindow;
}

class Addressbook;
class Addresses;
class AddressBookTabWidget;
class MapView;

//! Every address book the server offers, one tab each, and a page that shows a contact's
//! address on a web map. Created hidden with the main window; closing only hides it.
class AddressBookWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(AddressBookWindow)

public:
    //! Bulk work of one pass of the event loop (see PassBudget) after which a further book's tab,
    //! a large form, is made in a later pass.
    static constexpr int tabPassBudgetMs = 5;

    //! Settings of the map search: its address (answering "/maps?q=") and two fixed parameters.
    inline static const QString mapHostSetting = QStringLiteral("addressbook/mapHost");
    inline static const QString mapReleaseSetting = QStringLiteral("addressbook/mapRls");
    inline static const QString mapClientSetting = QStringLiteral("addressbook/mapClient");

    explicit AddressBookWindow(QWidget *parent = nullptr);
    ~AddressBookWindow() override;

    //! Asks for the contact types and the books, then restores the window's geometry.
    void init();
    QString getAppPartName() const { return QStringLiteral("addressbook"); }
    void restoreWindowGeometry();

    QStringList contactTypes() const { return m_contactTypes; }
    QList<AddressBookTabWidget *> tabs() const;
    //! The map search for a contact's address under "adr_one" or "adr_two".
    static QUrl mapUrl(Addresses *address, const QString &keyPrefix);
    //! Made when the first map is shown: the web engine costs a process and memory. Null
    //! before, and always without an engine installed (see MapView).
    MapView *webView() const { return m_webView; }

signals:
    void contactTypesChanged(const QStringList &types);
    //! A book's tab was made; the tabs of a long list of books come over several passes.
    void tabAdded(AddressBookTabWidget *tab);
    //! Escape closed the window: the keyboard goes back to where the user came from.
    void dismissed();

public slots:
    //! Shown, raised and active, with the keyboard in the current book's search.
    void openForSearch();
    void addressBookAdded(Addressbook *book);
    void openAddressInMapView(Addresses *address, const QString &keyPrefix);
    void closeMapsView();
    void onContactTypesAvailable(const QStringList &types);
    void mapLoadingStarts();
    void mapLoadingFinished();
    void onSetStyleSheet(const QString &style);

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool ensureWebView();
    void addTab(Addressbook *book);
    //! The waiting books' tabs: one at least, more while the pass allows.
    void addWaitingTabs();

    Ui::AddressBookWindow *ui;
    QStringList m_contactTypes;
    MapView *m_webView = nullptr;
    //! Books announced, in order, whose tabs are still to be made; adopted meanwhile.
    QList<Addressbook *> m_waitingBooks;
    QTimer m_nextTab;
};
