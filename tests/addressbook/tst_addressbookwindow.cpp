#include "addressbook.h"
#include "addressbooktabwidget.h"
#include "addressbookwindow.h"
#include "addresses.h"
#include "addresslistproxymodel.h"
#include "connectedsimulator.h"
#include "mapview.h"
#include "cticonnector.h"
#include "filedroplabel.h"
#include "numbercanonizer.h"
#include "passbudget.h"
#include "settings.h"
#include "simaddressbooks.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QNetworkProxy>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QScreen>
#include <QtTest>

#include <functional>

namespace {
// Answers every modal question box with one button and notes what it asked. While a box is open,
// `meanwhile` runs once and the answer waits until `ready` holds: what the server does meanwhile.
class BoxAnswerer : public QObject
{
public:
    explicit BoxAnswerer(QMessageBox::StandardButton button, std::function<void()> meanwhile = {},
                         std::function<bool()> ready = {})
    {
        connect(&m_timer, &QTimer::timeout, this, [=] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            if (asked.size() == m_seen) {
                // Enter must not lose anything: a default other than Cancel shows in the note.
                const QString enter = box->defaultButton() == box->button(QMessageBox::Cancel)
                    ? QString()
                    : QStringLiteral(" (Enter: %1)").arg(box->defaultButton() ? box->defaultButton()->text() : QString());
                asked << box->windowTitle() + QLatin1Char('|') + box->text() + enter;
                if (meanwhile)
                    meanwhile();
            }
            if (!ready || ready()) {
                ++m_seen;
                box->button(button)->click();
            }
        });
        m_timer.start(5);
    }
    QStringList asked;

private:
    QTimer m_timer;
    int m_seen = 0;
};

// Records the links handed to the desktop, by scheme.
class LinkCatcher : public QObject
{
    Q_OBJECT
public:
    QStringList opened;
public slots:
    void open(const QUrl &url) { opened << url.toString(); }
};
}

// The window and its tabs against the simulator, with a fresh window and fresh books per test.
class tst_AddressBookWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void tabsAndButtonsFollowTheBooks();
    void search_data();
    void search();
    void contactsFollowTheServer();
    void aLargeBookJoinsInSlices();
    void tabsOfALongListComeOverPasses();
    void contactView();
    void links_data();
    void links();
    void contactTypeTexts_data();
    void contactTypeTexts();
    void mapQuery();
    void dialButtons();
    void editAndSave();
    void unchangedTextsAreSavedAsStored_data();
    void unchangedTextsAreSavedAsStored();
    void newEntryAndTypes_data();
    void newEntryAndTypes();
    void pictureDropSaveUpload();
    void pictureOnlyForItsContact_data();
    void pictureOnlyForItsContact();
    void unsavedChangesGuard_data();
    void unsavedChangesGuard();
    void deleteWithConfirmation();
    void aSaveBelongsToItsContact_data();
    void aSaveBelongsToItsContact();
    void removedOnTheServerWhileEdited();
    void anotherTabsSaveLeavesThisTabAlone();
    void recordsAreAdoptedOrReleased();
    void droppedFiles_data();
    void droppedFiles();
    void geometryAndClose();
    void webProxyIsNotPinned();

private:
    AddressBookTabWidget *tab(int index) const { return window->tabs().value(index); }
    template<typename T>
    T *child(AddressBookTabWidget *tab, const char *name) const
    {
        T *widget = tab->findChild<T *>(QLatin1String(name));
        if (!widget)
            qWarning("no widget %s", name);
        return widget;
    }
    int page(AddressBookTabWidget *tab) const
    {
        return child<QStackedWidget>(tab, "addressViewStackedWidget")->currentIndex();
    }
    QStringList listedLastNames(AddressBookTabWidget *tab) const;
    void show(AddressBookTabWidget *tab, const QString &id);
    QJsonObject lastSaved();
    //! A round trip: what the client sent has reached the simulator, and what the simulator sent
    //! before its answer has been handled (both sides keep the order).
    void settle();
    QString writePicture(const QString &name, const QSize &size);
    void drop(QWidget *target, const QList<QUrl> &urls);

    ConnectedSimulator sim{"127.0.0.100"};
    Scenario scenario;
    CTIConnector *connector = CTIConnector::instance();
    AddressBookWindow *window = nullptr;
    QTemporaryDir files;
};

void tst_AddressBookWindow::initTestCase()
{
    QString error;
    QVERIFY2(scenario.loadFile(QStringLiteral(TALVERO_TEST_DATA "/books.json"), &error), qPrintable(error));
    sim.setScenario(scenario);
    sim.logIn(QStringLiteral("anna"), QStringLiteral("secret"));
}

void tst_AddressBookWindow::init()
{
    sim.setScenario(scenario);
    sim.clearReceived();
    window = new AddressBookWindow;
    window->init();
    window->show();
    QTRY_COMPARE(window->tabs().size(), 3);
    for (AddressBookTabWidget *tab : window->tabs())
        QTRY_VERIFY(tab->isLoaded());
    QTRY_COMPARE(window->contactTypes(), (QStringList{"Partner", "Reseller"}));
    tab(0)->setSaveAnswerTimeout(500);
}

void tst_AddressBookWindow::cleanup()
{
    delete window;
    window = nullptr;
    sim.setUnansweredCommands({});
}

QStringList tst_AddressBookWindow::listedLastNames(AddressBookTabWidget *tab) const
{
    QStringList names;
    const AddressListProxyModel *proxy = tab->proxyModel();
    for (int row = 0; row < proxy->rowCount(); ++row)
        names << proxy->index(row, 2).data().toString();
    return names;
}

void tst_AddressBookWindow::show(AddressBookTabWidget *tab, const QString &id)
{
    tab->loadAddressIntoView(id);
    QCOMPARE(tab->currentAddressId(), id);
}

QJsonObject tst_AddressBookWindow::lastSaved()
{
    [&] { QTRY_VERIFY(!sim.receivedCommands(QStringLiteral("saveAddress")).isEmpty()); }();
    const QList<QJsonObject> saved = sim.receivedCommands(QStringLiteral("saveAddress"));
    return saved.isEmpty() ? QJsonObject() : saved.last().value("data").toObject();
}

void tst_AddressBookWindow::settle()
{
    QSignalSpy answered(connector, &CTIConnector::contactTypesAvailable);
    connector->requestContactTypes();
    QTRY_COMPARE(answered.count(), 1);
}

QString tst_AddressBookWindow::writePicture(const QString &name, const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    const QString path = files.filePath(name);
    image.save(path, "PNG");
    return path;
}

void tst_AddressBookWindow::drop(QWidget *target, const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    // A drop goes to the widget that accepted the drag's entering.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void tst_AddressBookWindow::tabsAndButtonsFollowTheBooks()
{
    auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Company"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Suppliers && Partners")); // an "&" as typed, no shortcut
    QCOMPARE(tabs->tabText(2), QStringLiteral("Fixed"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Talvero CTI Client - Addressbook"));

    // Writeable, read-only, and fixed entries (editing only).
    const QList<QList<bool>> shown{{true, true, true}, {false, false, false}, {false, true, false}};
    for (int i = 0; i < 3; ++i) {
        const QList<bool> visible{!child<QWidget>(tab(i), "addNewAddressButton")->isHidden(),
                                  !child<QWidget>(tab(i), "editButton")->isHidden(),
                                  !child<QWidget>(tab(i), "deleteButton")->isHidden()};
        QCOMPARE(visible, shown.at(i));
    }
    // The book listed again keeps its one tab.
    connector->requestAddressBooks();
    QTRY_COMPARE(sim.receivedCommands(QStringLiteral("getAddressbooks")).size(), 2);
    QCoreApplication::processEvents();
    QCOMPARE(window->tabs().size(), 3);
}

void tst_AddressBookWindow::search_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("lastNames");
    QTest::newRow("all") << "" << QStringList{"Adams", "Meyer", "Schulz", "Xander", "Zeller"};
    // The name, a company and a (hidden) id carry "mey".
    QTest::newRow("any column") << "mey" << QStringList{"Adams", "Meyer", "Schulz"};
    // Case and wildcards are the list proxy's, tested with it.
    QTest::newRow("one character") << "?nna" << QStringList{"Meyer"};
    QTest::newRow("nothing") << "zzz" << QStringList();
    QTest::newRow("ampersand") << "& co" << QStringList{"Schulz"};
}

void tst_AddressBookWindow::search()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, lastNames);
    child<QLineEdit>(tab(0), "searchLineEdit")->setText(pattern);
    QCOMPARE(listedLastNames(tab(0)), lastNames);
    QCOMPARE(child<QLabel>(tab(0), "showCountLabel")->text(), QString::number(lastNames.size()));
    QCOMPARE(child<QLabel>(tab(0), "totalCountLabel")->text(), QStringLiteral("5"));
}

void tst_AddressBookWindow::contactsFollowTheServer()
{
    AddressBookTabWidget *company = tab(0);
    // After the last page the first row in sort order is shown, unless the user looks at one.
    QCOMPARE(company->currentAddressId(), QStringLiteral("a-mey4"));
    QCOMPARE(child<QLabel>(company, "personNameViewLabel")->text(), QStringLiteral("Adams, Dora"));
    show(company, QStringLiteral("a-3"));
    company->addressesLoadingFinished(QStringLiteral("a"));
    QCoreApplication::processEvents();
    QCOMPARE(company->currentAddressId(), QStringLiteral("a-3"));
    show(company, QStringLiteral("a-mey4"));

    // Changed on the server: one row, the newer names; the shown contact shows them too.
    QVERIFY(sim.addressBooks().changeContact(QStringLiteral("a-mey4"), {{"n_family", "Aalto"}}));
    QTRY_COMPARE(listedLastNames(company).first(), QStringLiteral("Aalto"));
    QCOMPARE(company->listModel()->rowCount(), 5);
    QCOMPARE(child<QLabel>(company, "personNameViewLabel")->text(), QStringLiteral("Aalto, Dora"));

    // Added and removed on the server; the counters follow.
    const QString id = sim.addressBooks().addContact(QStringLiteral("a"), {{"n_family", "Neu"}});
    QTRY_COMPARE(child<QLabel>(company, "totalCountLabel")->text(), QStringLiteral("6"));
    QVERIFY(listedLastNames(company).contains(QStringLiteral("Neu")));
    QVERIFY(sim.addressBooks().deleteContact(id));
    QTRY_COMPARE(child<QLabel>(company, "totalCountLabel")->text(), QStringLiteral("5"));
    QCOMPARE(child<QLabel>(company, "showCountLabel")->text(), QStringLiteral("5"));
    // Other books' tabs took none of it.
    QCOMPARE(tab(1)->listModel()->rowCount(), 1);
}

// A large book is listed while it loads, a slice per pass, not in one pass; while other work
// has each pass's share, a slice waits for the next pass, but never two in a row. Its first
// contact is shown once all are listed.
void tst_AddressBookWindow::aLargeBookJoinsInSlices()
{
    delete window;
    Scenario large = scenario;
    constexpr int count = 12000; // more than one page
    large.addGeneratedAddressBook(QStringLiteral("large"), QStringLiteral("Large"), count, 3, 4);
    sim.setScenario(large);
    window = new AddressBookWindow;
    // Other work that takes every pass's share first, and counts the passes. It runs as a pass
    // begins: two timers due in the same pass run in an order of the dispatcher's choosing.
    int passes = 0;
    auto *other = new QObject(this);
    const auto hog = [&passes] {
        ++passes;
        while (!PassBudget::spent(AddressBookTabWidget::flushSliceBudgetMs)) {
        }
    };
    PassBudget::spent(0); // the pass's end is watched before the hog starts the next one
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, other, hog);
    connect(dispatcher, &QAbstractEventDispatcher::awake, other, hog);
    // Watched from the moment its tab is made: with a fast link a book of this size may be listed
    // before a test polling for the tab would see it.
    QVector<int> batches;
    QVector<int> batchPasses;
    int listedWhenLoaded = -1;
    QObject watch;
    connect(window, &AddressBookWindow::tabAdded, &watch, [&](AddressBookTabWidget *added) {
        if (added->book()->id() != QLatin1String("large"))
            return;
        connect(added->listModel(), &QAbstractItemModel::rowsInserted, &watch, [&](const QModelIndex &, int first, int last) {
            batches << last - first + 1;
            batchPasses << passes;
        });
        connect(CTIConnector::instance(), &CTIConnector::addressesLoadingFinished, &watch,
                [&listedWhenLoaded, added](const QString &bookId) {
                    if (bookId == QLatin1String("large"))
                        listedWhenLoaded = added->listModel()->rowCount();
                });
    });
    window->init();
    window->show();
    QTRY_COMPARE(window->tabs().size(), 4);
    AddressBookTabWidget *book = tab(3);
    QTRY_VERIFY_WITH_TIMEOUT(book->isLoaded(), 30000);
    QTRY_COMPARE(book->listModel()->rowCount(), count);
    delete other;
    QVERIFY2(listedWhenLoaded > 0, qPrintable(QString::number(listedWhenLoaded)));
    QVERIFY2(batches.size() > 1 && batches.first() <= 1000, qPrintable(QString::number(batches.first())));
    for (int i = 1; i < batchPasses.size(); ++i)
        QVERIFY2(batchPasses.at(i) != batchPasses.at(i - 1) + 1, qPrintable(QString::number(i)));
    QCOMPARE(book->currentAddressId(), book->listModel()->text(0, AddressListModel::IdColumn));
}

// A tab is a large form: books announced once the pass has had its share get their tabs in
// later passes, in the order they came, and are kept meanwhile.
void tst_AddressBookWindow::tabsOfALongListComeOverPasses()
{
    delete window;
    window = new AddressBookWindow;
    QList<QPointer<Addressbook>> books;
    for (const char *id : {"later-1", "later-2"}) {
        auto *book = new Addressbook;
        book->setId(QLatin1String(id));
        books << book;
    }
    PassBudget::endPass();
    while (!PassBudget::spent(AddressBookWindow::tabPassBudgetMs)) {
    }
    window->addressBookAdded(books.at(0));
    window->addressBookAdded(books.at(1));
    QCOMPARE(window->tabs().size(), 0);
    QCOMPARE(books.at(1)->parent(), window);
    QTRY_COMPARE(window->tabs().size(), 2);
    QCOMPARE(tab(0)->book(), books.at(0).data());
    QCOMPARE(tab(1)->book(), books.at(1).data());
}

void tst_AddressBookWindow::contactView()
{
    AddressBookTabWidget *company = tab(0);
    show(company, QStringLiteral("a-1"));
    QCOMPARE(child<QLabel>(company, "personNameViewLabel")->text(), QStringLiteral("Meyer, Anna"));
    QCOMPARE(child<QLabel>(company, "companyNameViewLabel")->text(), QStringLiteral("Beispiel AG"));
    QCOMPARE(child<QLabel>(company, "contact_typeViewLabel")->text(), QStringLiteral("Family"));
    QCOMPARE(child<QLabel>(company, "contact_bdayViewLabel")->text(), QStringLiteral("02.04.1975"));
    QCOMPARE(child<QDateEdit>(company, "contact_bdayDateEdit")->date(), QDate(1975, 4, 2));
    QCOMPARE(child<QLabel>(company, "adr_one_streetViewLabel")->text(), QStringLiteral("Main Street 1"));
    QCOMPARE(child<QLineEdit>(company, "adr_one_streetLineEdit")->text(), QStringLiteral("Main Street 1"));
    // Fields shown as links are filled on the edit page as stored; the chooser shows the type.
    QCOMPARE(child<QLineEdit>(company, "contact_urlLineEdit")->text(), QStringLiteral("www.example.com"));
    QCOMPARE(child<QLineEdit>(company, "contact_emailLineEdit")->text(), QStringLiteral("anna@example.com"));
    QCOMPARE(child<QComboBox>(company, "contact_typeComboBox")->currentText(), QStringLiteral("Family"));
    QVERIFY(!child<QWidget>(company, "showCompanyAddressOnMapButton")->isHidden());
    QVERIFY(child<QWidget>(company, "showPrivateAddressOnMapButton")->isHidden());
    // The note keeps its lines, and its markup as typed.
    QCOMPARE(child<QTextEdit>(company, "contact_noteViewTextEdit")->toPlainText(),
             QStringLiteral("Line one\nLine two <b>as typed</b>"));
    QCOMPARE(child<QTextEdit>(company, "contact_noteTextEdit")->toPlainText(),
             QStringLiteral("Line one\nLine two <b>as typed</b>"));

    // The next contact has no note, no birthday, no address: nothing of Anna's stays behind.
    show(company, QStringLiteral("a-2"));
    QCOMPARE(child<QTextEdit>(company, "contact_noteViewTextEdit")->toPlainText(), QString());
    QCOMPARE(child<QTextEdit>(company, "contact_noteTextEdit")->toPlainText(), QString());
    QCOMPARE(child<QLabel>(company, "contact_bdayViewLabel")->text(), QString());
    QCOMPARE(child<QLabel>(company, "adr_one_streetViewLabel")->text(), QString());
    QCOMPARE(child<QLabel>(company, "contact_typeViewLabel")->text(), QStringLiteral("Partner"));
    QVERIFY(child<QWidget>(company, "showCompanyAddressOnMapButton")->isHidden());
    auto *chooser = child<QComboBox>(company, "contact_typeComboBox");
    QCOMPARE(chooser->currentText(), QStringLiteral("Partner"));

    // The server's types shrink: his type is listed no more, and the custom entry is still last.
    window->onContactTypesAvailable({QStringLiteral("Reseller")});
    show(company, QStringLiteral("a-1"));
    show(company, QStringLiteral("a-2"));
    QCOMPARE(chooser->currentIndex(), 0);
    QCOMPARE(chooser->count(), 9);
    QCOMPARE(chooser->itemData(8).toInt(), AddressBookTabWidget::customContactTypeData);
}

void tst_AddressBookWindow::links_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("opened"); // what a click on the link opens; "*": not checked
    QTest::newRow("web without http") << "a-1" << "contact_url"
                                      << R"(<a href="http://www.example.com">www.example.com</a>)"
                                      << "http://www.example.com";
    QTest::newRow("https unchanged") << "a-1" << "contact_url_home"
                                     << R"(<a href="https://home.example.com">https://home.example.com</a>)"
                                     << "https://home.example.com";
    QTest::newRow("mail") << "a-1" << "contact_email" << R"(<a href="mailto:anna@example.com">anna@example.com</a>)"
                          << "mailto:anna@example.com";
    QTest::newRow("markup escaped in text and target")
        << "a-5" << "facebook_profile_url"
        << R"(<a href="http://&quot;&gt;&lt;img src=x onerror=alert(1)&gt;">&quot;&gt;&lt;img src=x onerror=alert(1)&gt;</a>)"
        << "*";
    QTest::newRow("mail with markup") << "a-5" << "contact_email_home"
                                      << R"(<a href="mailto:&lt;i&gt;x&lt;/i&gt;@example.com">&lt;i&gt;x&lt;/i&gt;@example.com</a>)"
                                      << "*";
    QTest::newRow("script address") << "a-5" << "twitter_profile_url"
                                    << R"x(<a href="http://javascript:alert(1)">javascript:alert(1)</a>)x" << "*";
    // Shown as a link, opens nothing.
    QTest::newRow("calendar") << "a-5" << "contact_calendar_uri"
                              << R"(<a href="http://cal.example.com">cal.example.com</a>)" << "";
    QTest::newRow("plain text field") << "a-5" << "contact_label" << "<b>bold</b>" << "";
}

void tst_AddressBookWindow::links()
{
    QFETCH(QString, id);
    QFETCH(QString, key);
    QFETCH(QString, html);
    QFETCH(QString, opened);
    LinkCatcher catcher;
    const char *schemes[] = {"http", "https", "mailto", "javascript", "file"};
    for (const char *scheme : schemes)
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &catcher, "open");
    show(tab(0), id);
    QLabel *label = tab(0)->findLabelByFieldName(key);
    QVERIFY(label);
    QCOMPARE(label->text().remove(QChar(0x200B)), html); // less the places a long one may wrap
    QCOMPARE(label->textFormat(), html.startsWith(QLatin1String("<a ")) ? Qt::RichText : Qt::PlainText);

    // A click hands over the decoded target; other schemes never reach the desktop.
    const QRegularExpressionMatch target = QRegularExpression(QStringLiteral("href=\"([^\"]*)\"")).match(html);
    if (target.hasMatch()) {
        QTextDocument decoder;
        decoder.setHtml(target.captured(1));
        emit label->linkActivated(decoder.toPlainText());
    }
    emit label->linkActivated(QStringLiteral("file:///etc/passwd"));
    emit label->linkActivated(QStringLiteral("javascript:alert(1)"));
    if (opened != QLatin1String("*"))
        QCOMPARE(catcher.opened, opened.isEmpty() ? QStringList() : QStringList{opened});
    for (const char *scheme : schemes)
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
}

void tst_AddressBookWindow::contactTypeTexts_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");
    QTest::newRow("3") << "3" << "Family";
    QTest::newRow("4") << "4" << "Office";
    QTest::newRow("6") << "6" << "VIP";
    QTest::newRow("7 as is") << "7" << "7";
    QTest::newRow("0") << "0" << "";
    QTest::newRow("one letter") << "x" << "";
    QTest::newRow("12 as is") << "12" << "12";
    QTest::newRow("a server type") << "Partner" << "Partner";
}

void tst_AddressBookWindow::contactTypeTexts()
{
    QFETCH(QString, type);
    QTEST(AddressBookTabWidget::getStringFromType(type), "text");
}

void tst_AddressBookWindow::mapQuery()
{
    Addresses *anna = tab(0)->getAddressById(QStringLiteral("a-1"));
    const QUrl url = AddressBookWindow::mapUrl(anna, QStringLiteral("adr_one"));
    QCOMPARE(QString::fromLatin1(url.toEncoded()),
             QStringLiteral("https://maps.google.com/maps?q=10115+Berlin+Main%20Street%201+&oe=utf-8"
                            "&rls=talvero%3Aen-US%3Aofficial&client=talvero-cti-client&um=1&ie=UTF-8&hl=en&sa=N&tab=wl"));
    // The search's address is a setting; the private address of the same contact is empty.
    Settings::instance()->setValueForKey(AddressBookWindow::mapHostSetting, QStringLiteral("http://127.0.0.1:9/"));
    QCOMPARE(QString::fromLatin1(AddressBookWindow::mapUrl(anna, QStringLiteral("adr_two")).toEncoded()).section('&', 0, 0),
             QStringLiteral("http://127.0.0.1:9/maps?q=+++"));
    Settings::instance()->setValueForKey(AddressBookWindow::mapHostSetting, QVariant());

    QSignalSpy asked(tab(0), &AddressBookTabWidget::openAddressInMapView);
    show(tab(0), QStringLiteral("a-1"));
    QTest::mouseClick(child<QPushButton>(tab(0), "showCompanyAddressOnMapButton"), Qt::LeftButton);
    QCOMPARE(asked.count(), 1);
    QCOMPARE(asked.at(0).at(1).toString(), QStringLiteral("adr_one"));
    // No web engine in this program: the list stays.
    QCOMPARE(window->webView(), nullptr);
    QCOMPARE(window->findChild<QStackedWidget *>(QStringLiteral("stackedWidget"))->currentIndex(), 0);
}

void tst_AddressBookWindow::dialButtons()
{
    AddressBookTabWidget *company = tab(0);
    show(company, QStringLiteral("a-1"));
    // A business number and an empty business mobile: one dial button.
    QVERIFY(!child<QWidget>(company, "tel_workDialButton")->isHidden());
    QVERIFY(child<QWidget>(company, "tel_cellDialButton")->isHidden());
    QVERIFY(child<QWidget>(company, "tel_homeDialButton")->isHidden());
    QTest::mouseClick(child<QToolButton>(company, "tel_workDialButton"), Qt::LeftButton);
    QCOMPARE(sim.sent(QStringLiteral("dialNumber"), QStringLiteral("number")),
             QStringList{NumberCanonizer::convertToDialable(QStringLiteral("+49 711 123456"))});

    show(company, QStringLiteral("a-2"));
    QVERIFY(child<QWidget>(company, "tel_workDialButton")->isHidden());
    QVERIFY(!child<QWidget>(company, "tel_cellDialButton")->isHidden());
    company->dialButtonClicked(QStringLiteral("tel_cell")); // not a dial button's name
    QCOMPARE(sim.sent(QStringLiteral("dialNumber"), QStringLiteral("number")), QStringList());
}

void tst_AddressBookWindow::editAndSave()
{
    AddressBookTabWidget *company = tab(0);
    show(company, QStringLiteral("a-1"));
    QTest::mouseClick(child<QToolButton>(company, "editButton"), Qt::LeftButton);
    QCOMPARE(page(company), int(AddressBookTabWidget::EditPage));
    child<QLineEdit>(company, "n_givenLineEdit")->setText(QStringLiteral("Anne"));
    // A custom type begun and given up: the stored type again.
    auto *chooser = child<QComboBox>(company, "contact_typeComboBox");
    chooser->setCurrentIndex(chooser->count() - 1);
    QVERIFY(chooser->isHidden());
    QTest::mouseClick(child<QToolButton>(company, "cancelContactTypeButton"), Qt::LeftButton);
    QVERIFY(!chooser->isHidden());
    QVERIFY(child<QWidget>(company, "customContactTypeLineEdit")->isHidden());
    QCOMPARE(chooser->currentText(), QStringLiteral("Family"));
    chooser->setCurrentIndex(6); // Office
    QTest::mouseClick(child<QToolButton>(company, "saveButton"), Qt::LeftButton);
    QCOMPARE(page(company), int(AddressBookTabWidget::SavingPage));

    const QJsonObject data = lastSaved();
    QCOMPARE(data.value("id").toString(), QStringLiteral("a-1"));
    const QJsonObject address = data.value("address").toObject();
    QCOMPARE(address.value("n_given").toString(), QStringLiteral("Anne"));
    QCOMPARE(address.value("contact_type").toString(), QStringLiteral("4"));
    QCOMPARE(address.value("customContactType").toString(), QString());
    QCOMPARE(address.value("contact_bday").toString(), QStringLiteral("1975-04-02 00:00"));
    QCOMPARE(address.value("contact_note").toString(), QStringLiteral("Line one\nLine two <b>as typed</b>"));
    QCOMPARE(address.value("tel_work").toString(), QStringLiteral("+49 711 123456"));

    // The answer shows the stored contact and updates its row.
    QTRY_COMPARE(page(company), int(AddressBookTabWidget::ViewPage));
    QCOMPARE(child<QLabel>(company, "personNameViewLabel")->text(), QStringLiteral("Meyer, Anne"));
    QCOMPARE(child<QLabel>(company, "contact_typeViewLabel")->text(), QStringLiteral("Office"));
    QCOMPARE(company->getStandardItemsById(QStringLiteral("a-1")).value(1).data().toString(), QStringLiteral("Anne"));
    QCOMPARE(company->listModel()->rowCount(), 5);
}

void tst_AddressBookWindow::unchangedTextsAreSavedAsStored_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("note with blanks and tabs") << "contact_note" << "  indented\tand  two blanks\n\nlast line  ";
    QTest::newRow("note with CR LF") << "contact_note" << "first\r\nsecond";
    QTest::newRow("note with a no-break space") << "contact_note" << QStringLiteral("10\u00a0km");
    QTest::newRow("longer than a line edit holds") << "contact_pubkey" << QString(40000, QLatin1Char('k'));
}

// The edit widgets give some texts back altered; one the user did not touch is neither a change
// to ask about nor rewritten by a save.
void tst_AddressBookWindow::unchangedTextsAreSavedAsStored()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    AddressBookTabWidget *company = tab(0);
    QVERIFY(sim.addressBooks().changeContact(QStringLiteral("a-5"), {{key, value}}));
    QTRY_COMPARE(company->getAddressById(QStringLiteral("a-5"))->value(key).toString(), value);
    show(company, QStringLiteral("a-5"));
    company->startEditMode();
    BoxAnswerer cancel(QMessageBox::Cancel);
    QVERIFY(!company->checkForLoosingChanges());
    QCOMPARE(cancel.asked, QStringList());
    child<QLineEdit>(company, "n_givenLineEdit")->setText(QStringLiteral("Erika"));
    company->saveChanges();
    QCOMPARE(lastSaved().value("address").toObject().value(key).toString(), value);
}

void tst_AddressBookWindow::newEntryAndTypes_data()
{
    QTest::addColumn<QString>("type");      // the entry chosen, or the custom text typed
    QTest::addColumn<QString>("sent");
    QTest::newRow("office") << "Office" << "4";
    QTest::newRow("server type") << "Reseller" << "Reseller";
    QTest::newRow("custom") << "*Supplier" << "Supplier";
    QTest::newRow("none") << "-" << "";
}

void tst_AddressBookWindow::newEntryAndTypes()
{
    QFETCH(QString, type);
    QFETCH(QString, sent);
    AddressBookTabWidget *company = tab(0);
    QTest::mouseClick(child<QToolButton>(company, "addNewAddressButton"), Qt::LeftButton);
    QCOMPARE(page(company), int(AddressBookTabWidget::EditPage));
    QCOMPARE(company->currentAddressId(), QString());
    QVERIFY(child<QLineEdit>(company, "n_givenLineEdit")->hasFocus() || !window->isActiveWindow());
    QCOMPARE(child<QLineEdit>(company, "tel_workLineEdit")->text(), QString()); // the shown contact's is gone
    child<QLineEdit>(company, "n_familyLineEdit")->setText(QStringLiteral("Neumann"));
    auto *chooser = child<QComboBox>(company, "contact_typeComboBox");
    if (type.startsWith(QLatin1Char('*'))) {
        chooser->setCurrentIndex(chooser->count() - 1);
        QVERIFY(chooser->isHidden());
        QVERIFY(!child<QWidget>(company, "customContactTypeLineEdit")->isHidden());
        child<QLineEdit>(company, "customContactTypeLineEdit")->setText(type.mid(1));
    } else {
        chooser->setCurrentIndex(chooser->findText(type));
    }
    QTest::mouseClick(child<QToolButton>(company, "saveButton"), Qt::LeftButton);

    const QJsonObject data = lastSaved();
    QCOMPARE(data.value("id").toString(), QString());
    const QJsonObject address = data.value("address").toObject();
    QCOMPARE(address.value("contact_tid").toString(), QStringLiteral("a"));
    QCOMPARE(address.value("contact_type").toString(), sent);
    QCOMPARE(address.value("customContactType").toString(), type.startsWith(QLatin1Char('*')) ? sent : QString());
    QVERIFY(!address.contains("contact_bday")); // no birthday given

    // The server's answer gives the new contact its id; it is listed and shown.
    QTRY_COMPARE(page(company), int(AddressBookTabWidget::ViewPage));
    QVERIFY(!company->currentAddressId().isEmpty());
    QCOMPARE(company->listModel()->rowCount(), 6);
    QCOMPARE(child<QLabel>(company, "personNameViewLabel")->text(), QStringLiteral("Neumann"));
}

void tst_AddressBookWindow::pictureDropSaveUpload()
{
    AddressBookTabWidget *company = tab(0);
    show(company, QStringLiteral("a-2"));
    company->startEditMode();
    // File managers send paths percent-encoded.
    const QString path = writePicture(QStringLiteral("Bild von Jürgen.png"), QSize(200, 100));
    QSignalSpy dropped(child<FileDropLabel>(company, "iconLabel"), &FileDropLabel::imageChanged);
    drop(child<QLabel>(company, "iconLabel"), {QUrl::fromLocalFile(path)});
    QCOMPARE(dropped.count(), 1);
    QTest::mouseClick(child<QToolButton>(company, "saveButton"), Qt::LeftButton);
    QCOMPARE(lastSaved().value("address").toObject().value("contact_jpegphoto").toString(), QStringLiteral("1"));

    // After the answer the picture goes up once and comes back for the contact page.
    QTRY_COMPARE(sim.receivedCommands(QStringLiteral("setAddressPicture")).size(), 1);
    QCOMPARE(sim.receivedCommands(QStringLiteral("setAddressPicture")).first().value("data").toObject().value("id").toString(),
             QStringLiteral("a-2"));
    QTRY_COMPARE(page(company), int(AddressBookTabWidget::ViewPage));
    QTRY_VERIFY(!sim.addressBooks().picture(QStringLiteral("a-2")).isEmpty());
    QTRY_COMPARE(child<QLabel>(company, "iconViewLabel")->pixmap(Qt::ReturnByValue).toImage().pixelColor(5, 5), QColor(40, 120, 200));

    // Shown again, a contact with a picture asks for it; one without asks nothing.
    const int before = sim.receivedCommands(QStringLiteral("getAddressPicture")).size();
    show(company, QStringLiteral("a-3"));
    show(company, QStringLiteral("a-2"));
    settle();
    const QList<QJsonObject> askedFor = sim.receivedCommands(QStringLiteral("getAddressPicture")).mid(before);
    QCOMPARE(askedFor.size(), 1);
    QCOMPARE(askedFor.first().value("data").toObject().value("id").toString(), QStringLiteral("a-2"));

    // A later save of another contact uploads nothing.
    show(company, QStringLiteral("a-3"));
    company->startEditMode();
    company->saveChanges();
    QTRY_COMPARE(sim.receivedCommands(QStringLiteral("saveAddress")).size(), 2);
    QTRY_COMPARE(page(company), int(AddressBookTabWidget::ViewPage));
    QCOMPARE(sim.receivedCommands(QStringLiteral("setAddressPicture")).size(), 1);

    // A new contact saved with a picture is listed and shown from the answer.
    company->startEditNewEntryMode();
    child<QLineEdit>(company, "n_familyLineEdit")->setText(QStringLiteral("Bildner"));
    drop(child<QLabel>(company, "iconLabel"), {QUrl::fromLocalFile(path)});
    company->saveChanges();
    QTRY_COMPARE(sim.receivedCommands(QStringLiteral("setAddressPicture")).size(), 2);
    QTRY_COMPARE(page(company), int(AddressBookTabWidget::ViewPage));
    QCOMPARE(child<QLabel>(company, "personNameViewLabel")->text(), QStringLiteral("Bildner"));
    QVERIFY(company->listModel()->rowOf(company->currentAddressId()) >= 0);
}

void tst_AddressBookWindow::pictureOnlyForItsContact_data()
{
    QTest::addColumn<QString>("id");  // whose picture the server answers
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("shown");
    QTest::newRow("the shown contact's") << "a-2" << true << true;
    QTest::newRow("one shown before") << "a-1" << true << false;
    QTest::newRow("no picture") << "a-2" << false << false;
    QTest::newRow("no id, while a new entry is edited") << "" << true << false;
}

// Pictures are answered late: one for a contact the user has left shows on nobody else.
void tst_AddressBookWindow::pictureOnlyForItsContact()
{
    QFETCH(QString, id);
    QFETCH(bool, valid);
    QFETCH(bool, shown);
    AddressBookTabWidget *company = tab(0);
    if (id.isEmpty())
        company->startEditNewEntryMode();
    else
        show(company, QStringLiteral("a-2"));
    QImage picture(20, 20, QImage::Format_RGB32);
    picture.fill(QColor(200, 30, 30));
    QByteArray png;
    QBuffer buffer(&png);
    picture.save(&buffer, "PNG");
    sim.pushResponse(QStringLiteral("getAddressPicture"),
                     {{"id", id}, {"data", valid ? QString::fromLatin1(png.toBase64()) : QStringLiteral("bm90IGFuIGltYWdl")}});
    settle();
    for (const char *name : {"iconViewLabel", "iconLabel"}) {
        const QPixmap shownPicture = child<QLabel>(company, name)->pixmap(Qt::ReturnByValue);
        QVERIFY(!shownPicture.isNull()); // the picture before, at least
        QCOMPARE(shownPicture.toImage().pixelColor(5, 5) == QColor(200, 30, 30), shown);
    }
}

void tst_AddressBookWindow::unsavedChangesGuard_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("moved"); // the other contact is shown
    QTest::addColumn<QString>("meanwhile"); // what the server does to it while the question is open
    QTest::newRow("name, OK") << "name" << int(QMessageBox::Ok) << true << true << "";
    QTest::newRow("name, Cancel") << "name" << int(QMessageBox::Cancel) << true << false << "";
    QTest::newRow("type only") << "type" << int(QMessageBox::Cancel) << false << true << "";
    QTest::newRow("picture only") << "picture" << int(QMessageBox::Cancel) << true << false << "";
    QTest::newRow("nothing") << "" << int(QMessageBox::Cancel) << false << true << "";
    QTest::newRow("new entry") << "new" << int(QMessageBox::Cancel) << false << true << "";
    // Its record is replaced or freed while the question is open.
    QTest::newRow("OK, changed meanwhile") << "name" << int(QMessageBox::Ok) << true << true << "changed";
    QTest::newRow("OK, removed meanwhile") << "name" << int(QMessageBox::Ok) << true << false << "removed";
}

void tst_AddressBookWindow::unsavedChangesGuard()
{
    QFETCH(QString, change);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(bool, moved);
    QFETCH(QString, meanwhile);
    AddressBookTabWidget *company = tab(0);
    show(company, QStringLiteral("a-1"));
    if (change == QLatin1String("new")) {
        company->startEditNewEntryMode();
        child<QLineEdit>(company, "n_givenLineEdit")->setText(QStringLiteral("Typed"));
    } else {
        company->startEditMode();
    }
    if (change == QLatin1String("name"))
        child<QLineEdit>(company, "n_givenLineEdit")->setText(QStringLiteral("Changed"));
    if (change == QLatin1String("type"))
        child<QComboBox>(company, "contact_typeComboBox")->setCurrentIndex(1);
    if (change == QLatin1String("picture"))
        company->memoryImageToBeSaved(QImage(10, 10, QImage::Format_RGB32));

    const QString schulzId = QStringLiteral("a-2");
    const QPointer<Addresses> before = company->getAddressById(schulzId);
    BoxAnswerer answerer{QMessageBox::StandardButton(answer),
                         [&] {
                             if (meanwhile == QLatin1String("changed"))
                                 sim.addressBooks().changeContact(schulzId, {{"n_family", "Schulze"}});
                             else if (meanwhile == QLatin1String("removed"))
                                 sim.addressBooks().deleteContact(schulzId);
                         },
                         [&] { return meanwhile.isEmpty() || before.isNull(); }};
    // The user picks Schulz in the list.
    const QModelIndex schulz = company->proxyModel()->index(2, 1);
    QCOMPARE(schulz.data().toString(), QStringLiteral("Bernd"));
    child<QTreeView>(company, "addessesTreeView")->setCurrentIndex(schulz);

    QCOMPARE(answerer.asked, asked ? QStringList{"Please confirm data loss|You have unsaved changes in this entry?"}
                                   : QStringList());
    QCOMPARE(company->currentAddressId(), moved ? schulzId : QStringLiteral("a-1"));
    QCOMPARE(page(company), int(moved ? AddressBookTabWidget::ViewPage : AddressBookTabWidget::EditPage));
    if (moved) // what the server holds now
        QCOMPARE(child<QLabel>(company, "personNameViewLabel")->text(),
                 meanwhile == QLatin1String("changed") ? QStringLiteral("Schulze, Bernd") : QStringLiteral("Schulz, Bernd"));
    if (!moved) {
        QCOMPARE(child<QLineEdit>(company, "n_givenLineEdit")->text(),
                 change == QLatin1String("name") ? QStringLiteral("Changed") : QStringLiteral("Anna"));
        // The list points at the contact still being edited.
        QCOMPARE(child<QTreeView>(company, "addessesTreeView")->currentIndex().data().toString(), QStringLiteral("Anna"));
    }
}

void tst_AddressBookWindow::deleteWithConfirmation()
{
    AddressBookTabWidget *company = tab(0);
    show(company, QStringLiteral("a-3"));
    {
        BoxAnswerer cancel(QMessageBox::Cancel);
        QTest::mouseClick(child<QToolButton>(company, "deleteButton"), Qt::LeftButton);
        QCOMPARE(cancel.asked, QStringList{"Please confirm|Are you sure you want to delete this entry?"});
    }
    settle();
    QCOMPARE(sim.receivedCommands(QStringLiteral("deleteAddress")).size(), 0);
    {
        BoxAnswerer ok(QMessageBox::Ok);
        QTest::mouseClick(child<QToolButton>(company, "deleteButton"), Qt::LeftButton);
    }
    QTRY_COMPARE(company->listModel()->rowCount(), 4);
    QCOMPARE(sim.receivedCommands(QStringLiteral("deleteAddress")).size(), 1);
    QCOMPARE(company->listModel()->rowOf(QStringLiteral("a-3")), -1);
    QCOMPARE(company->getAddressById(QStringLiteral("a-3")), nullptr);
    // A contact that is gone is not shown any more.
    QCOMPARE(company->currentAddressId(), QString());
    QCOMPARE(child<QLabel>(company, "personNameViewLabel")->text(), QString());
    QVERIFY(!child<QTreeView>(company, "addessesTreeView")->selectionModel()->hasSelection());
    QCOMPARE(child<QLabel>(company, "totalCountLabel")->text(), QStringLiteral("4"));

    // Removed on the server while the question is open: nothing more to delete, nor anything else.
    show(company, QStringLiteral("a-2"));
    {
        BoxAnswerer ok(QMessageBox::Ok, [this] { sim.addressBooks().deleteContact(QStringLiteral("a-2")); },
                       [company] { return !company->getAddressById(QStringLiteral("a-2")); });
        QTest::mouseClick(child<QToolButton>(company, "deleteButton"), Qt::LeftButton);
        QCOMPARE(ok.asked.size(), 1);
    }
    settle();
    QCOMPARE(sim.receivedCommands(QStringLiteral("deleteAddress")).size(), 1);
}

void tst_AddressBookWindow::aSaveBelongsToItsContact_data()
{
    QTest::addColumn<QString>("meanwhile"); // what the user does while the save is out
    QTest::addColumn<QString>("answer");    // when the save's answer comes
    QTest::newRow("waiting, no answer") << "waiting" << "never";
    QTest::newRow("looking, late answer") << "looking" << "late";
    QTest::newRow("editing, late answer") << "editing" << "late";
    QTest::newRow("editing, answer after the time-out") << "editing" << "after time-out";
    QTest::newRow("looking, no answer") << "looking" << "never";
    QTest::newRow("editing, no answer") << "editing" << "never";
}

void tst_AddressBookWindow::aSaveBelongsToItsContact()
{
    QFETCH(QString, meanwhile);
    QFETCH(QString, answer);
    const bool editing = meanwhile == QLatin1String("editing");
    AddressBookTabWidget *company = tab(0);
    auto *givenName = child<QLineEdit>(company, "n_givenLineEdit");
    auto *status = child<QLabel>(company, "editStatusLabel");
    BoxAnswerer discard(QMessageBox::Ok);
    if (answer == QLatin1String("late"))
        company->setSaveAnswerTimeout(60000);
    // Carla's save goes out with a picture, and the server is slow. Her type is none the chooser lists.
    show(company, QStringLiteral("a-3"));
    company->startEditMode();
    QCOMPARE(child<QComboBox>(company, "contact_typeComboBox")->currentIndex(), 0);
    givenName->setText(QStringLiteral("Carlotta"));
    QImage picture(12, 12, QImage::Format_RGB32);
    picture.fill(Qt::green);
    company->memoryImageToBeSaved(picture);
    sim.setUnansweredCommands({QStringLiteral("saveAddress")});
    company->saveChanges();
    QCOMPARE(page(company), int(AddressBookTabWidget::SavingPage));
    QTRY_COMPARE(sim.receivedCommands(QStringLiteral("saveAddress")).size(), 1);

    if (meanwhile != QLatin1String("waiting")) {
        // The user leaves the saving page for Schulz; the save keeps its edits, so nothing is asked.
        child<QTreeView>(company, "addessesTreeView")->setCurrentIndex(company->proxyModel()->index(2, 1));
        QCOMPARE(company->currentAddressId(), QStringLiteral("a-2"));
        // His changes on the server show although a save is out.
        sim.addressBooks().changeContact(QStringLiteral("a-2"), {{"org_name", "Schulz KG"}});
        QTRY_COMPARE(child<QLabel>(company, "companyNameViewLabel")->text(), QStringLiteral("Schulz KG"));
    }
    if (editing) {
        company->startEditMode();
        givenName->setText(QStringLiteral("Bernhard"));
    }
    const auto uploadedFor = [this] {
        const QList<QJsonObject> sent = sim.receivedCommands(QStringLiteral("setAddressPicture"));
        return sent.isEmpty() ? QString() : sent.last().value("data").toObject().value("id").toString();
    };

    if (answer != QLatin1String("never")) {
        if (answer == QLatin1String("after time-out"))
            QTRY_COMPARE(company->pendingSaveCount(), 0);
        // The server stored the save; its answer comes late.
        QVERIFY(sim.addressBooks().changeContact(QStringLiteral("a-3"), {{"n_given", "Carlotta"}}));
        sim.pushResponse(QStringLiteral("saveAddress"),
                         {{"id", "a-3"},
                          {"address", QJsonObject{{"contact_tid", "a"}, {"n_given", "Carlotta"}, {"n_family", "Zeller"}}}});
        QTRY_COMPARE(uploadedFor(), QStringLiteral("a-3"));
        QCOMPARE(company->getAddressById(QStringLiteral("a-3"))->getFirstname(), QStringLiteral("Carlotta"));
        // Schulz stays as the user has him; Carla's save, confirmed, does not come back.
        QCOMPARE(company->currentAddressId(), QStringLiteral("a-2"));
        QCOMPARE(page(company), int(editing ? AddressBookTabWidget::EditPage : AddressBookTabWidget::ViewPage));
        QCOMPARE(givenName->text(), editing ? QStringLiteral("Bernhard") : QStringLiteral("Bernd"));
        if (editing)
            company->cancelEditMode();
        QCoreApplication::processEvents();
        QCOMPARE(company->currentAddressId(), QStringLiteral("a-2"));
        QCOMPARE(page(company), int(AddressBookTabWidget::ViewPage));
        QCOMPARE(discard.asked.size(), editing ? 1 : 0);
        return;
    }

    QTRY_COMPARE(company->pendingSaveCount(), 0);
    if (editing) {
        // The time-out puts nothing of Carla's on Schulz; her edits wait until he is done.
        QCOMPARE(company->currentAddressId(), QStringLiteral("a-2"));
        QCOMPARE(givenName->text(), QStringLiteral("Bernhard"));
        QVERIFY(status->isHidden());
        company->cancelEditMode();
        QCOMPARE(discard.asked.size(), 1);
    }
    // Carla's edits come back on her edit page, with the message.
    QTRY_COMPARE(page(company), int(AddressBookTabWidget::EditPage));
    QCOMPARE(company->currentAddressId(), QStringLiteral("a-3"));
    QCOMPARE(givenName->text(), QStringLiteral("Carlotta"));
    QVERIFY(!status->isHidden());
    QVERIFY(status->text().contains(QLatin1String("did not confirm")));
    // The stored contact is still what the server has: the edits count as unsaved.
    QCOMPARE(company->getAddressById(QStringLiteral("a-3"))->getFirstname(), QStringLiteral("Carla"));
    QVERIFY(!company->checkForLoosingChanges());
    QCOMPARE(discard.asked.size(), editing ? 2 : 1);
    // Saved again, her type stays and her picture goes to her.
    sim.setUnansweredCommands({});
    company->saveChanges();
    const QJsonObject sent = lastSaved().value("address").toObject();
    QCOMPARE(sent.value("contact_type").toString(), QStringLiteral("Legacy"));
    QCOMPARE(sent.value("contact_jpegphoto").toString(), QStringLiteral("1"));
    QTRY_COMPARE(uploadedFor(), QStringLiteral("a-3"));
    QTRY_COMPARE(page(company), int(AddressBookTabWidget::ViewPage));
    QCOMPARE(child<QLabel>(company, "personNameViewLabel")->text(), QStringLiteral("Zeller, Carlotta"));
}

void tst_AddressBookWindow::removedOnTheServerWhileEdited()
{
    AddressBookTabWidget *company = tab(0);
    show(company, QStringLiteral("a-2"));
    company->startEditMode();
    child<QLineEdit>(company, "n_givenLineEdit")->setText(QStringLiteral("Berndt"));
    {
        // Changed on the server meanwhile: the edits stay, nothing is asked, the user is told.
        BoxAnswerer none(QMessageBox::Ok);
        QVERIFY(sim.addressBooks().changeContact(QStringLiteral("a-2"), {{"org_name", "Schulz KG"}}));
        QTRY_COMPARE(company->getAddressById(QStringLiteral("a-2"))->getCompanyName(), QStringLiteral("Schulz KG"));
        QCOMPARE(none.asked, QStringList());
        QCOMPARE(page(company), int(AddressBookTabWidget::EditPage));
        QCOMPARE(child<QLineEdit>(company, "n_givenLineEdit")->text(), QStringLiteral("Berndt"));
        QVERIFY(child<QLabel>(company, "editStatusLabel")->text().contains(QLatin1String("changed on the server")));
    }
    QVERIFY(sim.addressBooks().deleteContact(QStringLiteral("a-2")));
    QTRY_COMPARE(company->getAddressById(QStringLiteral("a-2")), nullptr);
    QCOMPARE(page(company), int(AddressBookTabWidget::EditPage));
    QCOMPARE(child<QLineEdit>(company, "n_givenLineEdit")->text(), QStringLiteral("Berndt"));
    QVERIFY(child<QLabel>(company, "editStatusLabel")->text().contains(QLatin1String("removed on the server")));
    {
        // Leaving would lose the only copy: asked.
        BoxAnswerer cancel(QMessageBox::Cancel);
        company->cancelEditMode();
        QCOMPARE(cancel.asked.size(), 1);
    }
    company->saveChanges();
    const QJsonObject data = lastSaved();
    QCOMPARE(data.value("id").toString(), QString());
    QCOMPARE(data.value("address").toObject().value("contact_tid").toString(), QStringLiteral("a"));
    QCOMPARE(data.value("address").toObject().value("n_given").toString(), QStringLiteral("Berndt"));
    QTRY_COMPARE(page(company), int(AddressBookTabWidget::ViewPage));
    QCOMPARE(child<QLabel>(company, "personNameViewLabel")->text(), QStringLiteral("Schulz, Berndt"));
}

void tst_AddressBookWindow::anotherTabsSaveLeavesThisTabAlone()
{
    // One tab edits, another waits for the answer to its own save.
    AddressBookTabWidget *fixed = tab(2);
    show(fixed, QStringLiteral("c-1"));
    fixed->startEditMode();
    child<QLineEdit>(fixed, "n_givenLineEdit")->setText(QStringLiteral("Gine"));
    AddressBookTabWidget *suppliers = tab(1);
    show(suppliers, QStringLiteral("b-1"));
    sim.setUnansweredCommands({QStringLiteral("saveAddress")});
    fixed->saveChanges();
    QTRY_COMPARE(sim.receivedCommands(QStringLiteral("saveAddress")).size(), 1);
    sim.setUnansweredCommands({});

    AddressBookTabWidget *company = tab(0);
    show(company, QStringLiteral("a-1"));
    company->startEditMode();
    company->saveChanges();
    QTRY_COMPARE(page(company), int(AddressBookTabWidget::ViewPage));
    // The answer was the company book's: the fixed tab still waits for its own.
    QCOMPARE(page(fixed), int(AddressBookTabWidget::SavingPage));
    QCOMPARE(fixed->currentAddressId(), QStringLiteral("c-1"));
    QCOMPARE(child<QLineEdit>(fixed, "n_givenLineEdit")->text(), QStringLiteral("Gine"));
    QCOMPARE(page(suppliers), int(AddressBookTabWidget::ViewPage));
}

void tst_AddressBookWindow::recordsAreAdoptedOrReleased()
{
    // A contact of each book; each tab keeps its own and the connector frees what nobody keeps.
    QList<QPointer<Addresses>> handed;
    QObject context;
    connect(connector, &CTIConnector::addressAdded, &context, [&handed](Addresses *address) { handed << address; });
    sim.addressBooks().changeContact(QStringLiteral("a-1"), {{"n_given", "Annette"}});
    sim.addressBooks().changeContact(QStringLiteral("b-1"), {{"n_given", "Franz"}});
    QTRY_COMPARE(handed.size(), 2);
    QTRY_COMPARE(tab(0)->getAddressById(QStringLiteral("a-1"))->getFirstname(), QStringLiteral("Annette"));
    QTRY_COMPARE(tab(1)->getAddressById(QStringLiteral("b-1"))->getFirstname(), QStringLiteral("Franz"));
    QCOMPARE(handed.at(0).data(), tab(0)->getAddressById(QStringLiteral("a-1")));
    QCOMPARE(handed.at(1).data(), tab(1)->getAddressById(QStringLiteral("b-1")));
    QCOMPARE(tab(1)->book()->parent(), tab(1));

    // A changed contact replaces the stored record, which goes.
    const QPointer<Addresses> before = tab(0)->getAddressById(QStringLiteral("a-1"));
    sim.addressBooks().changeContact(QStringLiteral("a-1"), {{"n_given", "Anna"}});
    QTRY_VERIFY(before.isNull());
    QCOMPARE(tab(0)->getAddressById(QStringLiteral("a-1"))->getFirstname(), QStringLiteral("Anna"));

    // A contact of a book with no tab is nobody's, and one without an id is nobody's either: a new
    // entry would take its fields. Both released.
    sim.pushEvent(QStringLiteral("addressAdded"),
                  {{"id", "z-1"}, {"address", QJsonObject{{"contact_tid", "z"}, {"n_given", "Nobody"}}}});
    sim.pushEvent(QStringLiteral("addressAdded"), {{"address", QJsonObject{{"contact_tid", "a"}, {"n_given", "Ghost"}}}});
    QTRY_COMPARE(handed.size(), 5);
    QTRY_VERIFY(handed.at(3).isNull());
    QTRY_VERIFY(handed.at(4).isNull());
    QCOMPARE(tab(0)->getAddressById(QString()), nullptr);

    // What a tab keeps goes with it.
    const QPointer<Addresses> kept = tab(1)->getAddressById(QStringLiteral("b-1"));
    delete tab(1);
    QVERIFY(kept.isNull());
}

void tst_AddressBookWindow::droppedFiles_data()
{
    QTest::addColumn<QString>("file"); // written into the temporary folder
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("taken");
    QTest::newRow("blank and umlaut in the path") << "mein Bild ö.png" << QSize(60, 40) << true;
    QTest::newRow("not an image") << "notes.txt" << QSize() << false;
    QTest::newRow("no file") << "" << QSize() << false;
    // Decodes fine, but to more pixels than any picture a contact needs.
    QTest::newRow("beyond the pixel limit") << "huge.png" << QSize(9000, 8000) << false;
}

void tst_AddressBookWindow::droppedFiles()
{
    QFETCH(QString, file);
    QFETCH(QSize, size);
    QFETCH(bool, taken);
    QList<QUrl> urls;
    if (!file.isEmpty()) {
        const QString path = files.filePath(file);
        if (size.isValid()) {
            QImage image(size, QImage::Format_Mono); // a few MB here, a small file on disk
            image.fill(1);
            QVERIFY(image.save(path, "PNG"));
        } else {
            QFile text(path);
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write("no picture");
        }
        urls << QUrl::fromLocalFile(path);
    }
    urls << QUrl(QStringLiteral("https://example.com/remote.png"));
    FileDropLabel label;
    QSignalSpy changed(&label, &FileDropLabel::imageChanged);
    drop(&label, urls);
    QCOMPARE(changed.count(), taken ? 1 : 0);
    if (taken)
        QCOMPARE(changed.first().first().value<QImage>().size(), size);
    QVERIFY(!label.autoFillBackground()); // the drag's highlight is gone
}

void tst_AddressBookWindow::geometryAndClose()
{
    window->move(40, 30);
    const QSize size = window->minimumSize().expandedTo(QSize(700, 500)) + QSize(10, 10);
    window->resize(size);
    QVERIFY(window->close() || window->isHidden());
    QVERIFY(window->isHidden());
    QCOMPARE(Settings::instance()->getValueForKey(QStringLiteral("addressbook/width")).toInt(), size.width());
    QCOMPARE(Settings::instance()->getValueForKey(QStringLiteral("addressbook/height")).toInt(), size.height());
    AddressBookWindow again;
    again.init();
    // Where it was, moved and shrunk only as far as it takes to stay on the screen.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(again.size(), size.boundedTo(screen.size()));
    QCOMPARE(again.pos(), QPoint(std::min(40, screen.right() + 1 - again.width()), 30));
}

// The map follows the system's proxy settings; that must not pin one proxy for every connection
// (the link to the PBX included) past the exceptions the system makes.
void tst_AddressBookWindow::webProxyIsNotPinned()
{
    qputenv("http_proxy", "http://127.0.0.1:1");
    qputenv("no_proxy", "pbx.example");
    const QNetworkProxy::ProxyType before = QNetworkProxy::applicationProxy().type();
    {
        AddressBookWindow another;
        QCOMPARE(QNetworkProxy::applicationProxy().type(), before);
        const QList<QNetworkProxy> forPbx =
            QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(QUrl(QStringLiteral("http://pbx.example:28888/cti"))));
        QCOMPARE(forPbx.value(0).type(), QNetworkProxy::NoProxy);
    }
    qunsetenv("http_proxy");
    qunsetenv("no_proxy");
}

QTEST_MAIN(tst_AddressBookWindow)
#include "tst_addressbookwindow.moc"
