#include "addressbookbenchmark.h"

#include "addressbook.h"
#include "addressbooktabwidget.h"
#include "addressbookwindow.h"
#include "addresslistproxymodel.h"
#include "addresses.h"
#include "addresslistmodel.h"
#include "benchreport.h"
#include "benchsession.h"
#include "cticonnector.h"
#include "ctimainwindow.h"
#include "stallprobe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QTreeView>

#include <malloc.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int contactsPerBook = 50000;
constexpr int fieldsPerContact = 30;
const QString address = QStringLiteral("127.0.0.8");
const QStringList typedTexts = {QStringLiteral("mey"), QStringLiteral("anna"), QStringLiteral("gmbh"),
                                QStringLiteral("m*r")};

//! The simulator as a program of its own, as a PBX is: its pages must count neither as the
//! client's stalls nor as its memory.
class Simulator
{
public:
    bool start()
    {
        if (!m_folder.isValid())
            return false;
        const QJsonObject book = {{"generate", contactsPerBook}, {"fields", fieldsPerContact}};
        QJsonObject a = book;
        a.insert("id", "bench-a");
        a.insert("seed", 21);
        QJsonObject b = book;
        b.insert("id", "bench-b");
        b.insert("seed", 22);
        const QJsonObject scenario{{"accounts", QJsonArray{QJsonObject{{"user", "bench"}, {"password", "bench"}}}},
                                   {"addressBooks", QJsonObject{{"books", QJsonArray{a, b}}}}};
        QFile file(m_folder.filePath(QStringLiteral("scenario.json")));
        if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(scenario).toJson()) < 0)
            return false;
        file.close();
        m_process.setProgram(QStringLiteral(TALVERO_SIM_PROGRAM));
        m_process.setArguments({QStringLiteral("--address"), address, QStringLiteral("--scenario"), file.fileName()});
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start();
        return spinUntil([this] { return m_process.readAll().contains("listening on"); }, 10000)
            || (qWarning("addressbook benchmark: the simulator did not start"), false);
    }
    ~Simulator()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QTemporaryDir m_folder;
    QProcess m_process;
};

//! Looked at every few milliseconds: the labels are found once, not among the tabs' records each time.
bool loaded(AddressBookWindow *window, QHash<AddressBookTabWidget *, QLabel *> &totals)
{
    const QList<AddressBookTabWidget *> tabs = window->tabs();
    if (tabs.size() != 2)
        return false;
    for (AddressBookTabWidget *tab : tabs) {
        QLabel *&total = totals[tab];
        if (!total)
            total = tab->findChild<QLabel *>(QStringLiteral("totalCountLabel"));
        if (!tab->isLoaded() || total->text() != QString::number(contactsPerBook))
            return false;
    }
    return true;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

//! One key at a time into the search field; for each, the time until the list is filtered, the
//! counters are set and the view has laid itself out and painted.
std::vector<double> searchMs(QLineEdit *field, QTreeView *view)
{
    std::vector<double> times;
    for (const QString &text : typedTexts) {
        field->clear();
        QCoreApplication::processEvents();
        for (const QChar ch : text) {
            QElapsedTimer clock;
            clock.start();
            const int key = ch.isLetterOrNumber() ? ch.toUpper().unicode() : ch.unicode();
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
            QCoreApplication::sendEvent(field, &press);
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(ch));
            QCoreApplication::sendEvent(field, &release);
            QCoreApplication::processEvents(); // the view's delayed layout
            view->viewport()->repaint();
            times.push_back(clock.nsecsElapsed() / 1e6);
        }
    }
    field->clear();
    return times;
}

//! The same keys through Qt's stock proxy over the same rows, in a view set up as the tab's.
std::vector<double> standardSearchMs(AddressBookTabWidget *tab)
{
    QWidget window;
    auto *field = new QLineEdit(&window);
    auto *view = new QTreeView(&window);
    QSortFilterProxyModel proxy;
    proxy.setFilterCaseSensitivity(Qt::CaseInsensitive);
    proxy.setFilterKeyColumn(-1);
    proxy.setSourceModel(tab->listModel());
    view->setModel(&proxy);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->hideColumn(AddressListModel::IdColumn);
    QObject::connect(field, &QLineEdit::textChanged, &proxy, &QSortFilterProxyModel::setFilterWildcard);
    const QTreeView *tabView = tab->findChild<QTreeView *>(QStringLiteral("addessesTreeView"));
    field->setGeometry(0, 0, 200, 25);
    view->setGeometry(0, 30, tabView->width(), tabView->height());
    window.resize(tabView->width(), tabView->height() + 30);
    window.show();
    QCoreApplication::processEvents();
    return searchMs(field, view);
}

} // namespace

void runAddressbookBenchmark(BenchReport &report)
{
    Simulator simulator;
    if (!simulator.start() || !logInAsBench(address, "addressbook"))
        return;
    CTIConnector *connector = CTIConnector::instance();

    // What earlier benchmarks freed goes back to the system first: the peak is this one's.
    malloc_trim(0);
    resetPeakResident();
    auto *window = new CTIMainWindow;
    AddressBookWindow *books = window->addressBookWindow();
    books->show();

    int received = 0;
    QObject context;
    QObject::connect(connector, &CTIConnector::addressAdded, &context, [&received] { ++received; });
    QElapsedTimer clock;
    qint64 firstPageAt = -1;
    QObject::connect(connector, &CTIConnector::addressBookAdded, &context, [&] {
        if (firstPageAt < 0)
            firstPageAt = clock.nsecsElapsed(); // the first book's tab asks for its first page now
    });

    StallProbe probe(received);
    clock.start();
    probe.start();
    window->onApplicationStartup();
    QHash<AddressBookTabWidget *, QLabel *> totals;
    const bool done = spinUntil([&] { return loaded(books, totals); }, 120000);
    const double loadSeconds = (clock.nsecsElapsed() - std::max<qint64>(firstPageAt, 0)) / 1e9;
    probe.stop();
    if (!done) {
        qWarning("addressbook benchmark: the books did not load (%d contacts arrived)", received);
        for (AddressBookTabWidget *tab : books->tabs())
            qWarning("  tab %s: loaded %d, rows %d, total %s", qPrintable(tab->book()->id()), tab->isLoaded(),
                     tab->listModel()->rowCount(),
                     qPrintable(tab->findChild<QLabel *>(QStringLiteral("totalCountLabel"))->text()));
    }

    AddressBookTabWidget *tab = books->tabs().value(0);
    const std::vector<double> times = searchMs(tab->findChild<QLineEdit *>(QStringLiteral("searchLineEdit")),
                                               tab->findChild<QTreeView *>(QStringLiteral("addessesTreeView")));
    const double peak = peakResidentMb();
    const std::vector<double> standardTimes = standardSearchMs(tab);

    report.add(QStringLiteral("addressbook.contacts"), received, QStringLiteral("contacts"), 2.0 * contactsPerBook,
               BenchReport::Goal::AtLeast);
    report.add(QStringLiteral("addressbook.load_s"), loadSeconds, QStringLiteral("s"), 2.0, BenchReport::Goal::AtMost);
    report.add(QStringLiteral("addressbook.max_stall_ms"), probe.maxMs(), QStringLiteral("ms"), 16.0,
               BenchReport::Goal::AtMost);
    report.add(QStringLiteral("addressbook.max_stall_receiving_ms"), probe.receivingMs(), QStringLiteral("ms"));
    report.add(QStringLiteral("addressbook.search_ms"), median(times), QStringLiteral("ms"), 16.0,
               BenchReport::Goal::AtMost);
    report.add(QStringLiteral("addressbook.search_max_ms"), *std::max_element(times.cbegin(), times.cend()),
               QStringLiteral("ms"), 33.0, BenchReport::Goal::AtMost);
    report.add(QStringLiteral("addressbook.standard_search_ms"), median(standardTimes), QStringLiteral("ms"));
    report.add(QStringLiteral("addressbook.search_ratio_to_standard"), median(times) / median(standardTimes),
               QStringLiteral("x"), 0.5, BenchReport::Goal::AtMost);
    report.add(QStringLiteral("addressbook.peak_rss_mb"), peak, QStringLiteral("MB"), 400.0, BenchReport::Goal::AtMost);

    delete window;
}
