#include "completerbenchmark.h"

#include "addresses.h"
#include "benchreport.h"
#include "benchsession.h"
#include "cticonnector.h"
#include "dialcompleter.h"
#include "dialcompleteritemdelegate.h"
#include "dialsuggestionmodel.h"
#include "pbxsimulator.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QStandardItemModel>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr int contactCount = 100000;
constexpr int fieldsPerContact = 30;
const QString bookId = QStringLiteral("bench-completer");
const QString address = QStringLiteral("127.0.0.7");
const QStringList typedTexts = {QStringLiteral("mey"), QStringLiteral("030"), QStringLiteral("anna"),
                                QStringLiteral("gmbh")};

//! Times the queued calls a model receives (the suggestion model's end-of-pass insertion).
class QueuedCallTimer : public QObject
{
public:
    qint64 ns = 0;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (m_inside || event->type() != QEvent::MetaCall)
            return false;
        m_inside = true;
        QElapsedTimer clock;
        clock.start();
        QCoreApplication::sendEvent(watched, event);
        ns += clock.nsecsElapsed();
        m_inside = false;
        return true;
    }

private:
    bool m_inside = false;
};

struct Contact
{
    QString name;
    QStringList numbers;
};

//! The rows filled the plain way: a QStandardItemModel, one appendRow() of three items per number.
void fillStandardModel(QStandardItemModel &model, const std::vector<Contact> &contacts)
{
    for (const Contact &contact : contacts) {
        for (const QString &number : contact.numbers) {
            auto *line = new QStandardItem(contact.name + QLatin1Char(' ') + number);
            line->setData(number, DialCompleter::CompleteRole);
            model.appendRow({line, new QStandardItem(number), new QStandardItem(contact.name)});
        }
    }
}

//! Qt's stock completer over the same rows, set up as the dial field's was before it narrowed
//! the suggestions itself: the completer searches every row for each key.
QCompleter *attachStock(QLineEdit *field, QAbstractItemModel *model, QWidget *parent)
{
    auto *completer = new QCompleter(parent);
    completer->setMaxVisibleItems(DialCompleter::maxVisibleSuggestions);
    completer->setCompletionColumn(0);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    completer->setModel(model);
    completer->popup()->setItemDelegate(new DialCompleterItemDelegate(completer->popup()));
    if (auto *list = qobject_cast<QListView *>(completer->popup()))
        list->setUniformItemSizes(true);
    field->setCompleter(completer);
    return completer;
}

//! Types each text into an empty field, one key at a time; for each key, the time from the key
//! press until the completer has filtered and the pop-up has been shown and laid out.
std::vector<double> keystrokeMs(QLineEdit *field, QCompleter *completer)
{
    std::vector<double> times;
    QAbstractItemView *popup = completer->popup();
    for (const QString &text : typedTexts) {
        field->clear();
        popup->hide();
        QCoreApplication::processEvents();
        for (const QChar ch : text) {
            QElapsedTimer clock;
            clock.start();
            const int key = ch.toUpper().unicode(); // the key code of a Latin letter or digit
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
            QCoreApplication::sendEvent(field, &press);
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(ch));
            QCoreApplication::sendEvent(field, &release);
            QCoreApplication::processEvents(); // the pop-up's layout and paint
            times.push_back(clock.nsecsElapsed() / 1e6);
        }
    }
    return times;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

//! The worst case: every contact with all three numbers, 300,000 rows. The contacts are the loaded
//! ones' names with made-up numbers, handed to the model as the main window hands them.
struct FullFigures
{
    int rows = 0;
    double fillSeconds = 0;
    std::vector<double> keystrokes;
};

FullFigures fullBook(const std::vector<Contact> &plain, QWidget &window)
{
    std::vector<std::unique_ptr<Addresses>> contacts;
    contacts.reserve(plain.size());
    for (size_t i = 0; i < plain.size(); ++i) {
        auto contact = std::make_unique<Addresses>();
        contact->setId(QStringLiteral("full-%1").arg(i));
        contact->setValueForKey(AddressKeys::lastName, plain[i].name);
        contact->setValueForKey(AddressKeys::telWork, QStringLiteral("030 %1").arg(1000000 + i));
        contact->setValueForKey(AddressKeys::telHome, QStringLiteral("089 %1").arg(2000000 + i));
        contact->setValueForKey(AddressKeys::telCellPrivate, QStringLiteral("0171 %1").arg(3000000 + i));
        contacts.push_back(std::move(contact));
    }

    FullFigures figures;
    auto *field = new QLineEdit(&window);
    field->setGeometry(5, 55, 250, 25);
    DialSuggestionModel model;
    DialCompleter *completer = DialCompleter::attach(field, &model, &window);
    QElapsedTimer clock;
    clock.start();
    for (const auto &contact : contacts)
        model.addContact(contact.get());
    model.flush();
    figures.fillSeconds = clock.nsecsElapsed() / 1e9;
    figures.rows = model.rowCount();
    figures.keystrokes = keystrokeMs(field, completer);
    delete field;
    return figures;
}

} // namespace

void runCompleterBenchmark(BenchReport &report)
{
    PbxSimulator sim{QHostAddress(address)};
    sim.addAccount(QStringLiteral("bench"), QStringLiteral("bench"));
    sim.scenario().addGeneratedAddressBook(bookId, QStringLiteral("Completer"), contactCount, 11, fieldsPerContact);
    if (!listenAndLogIn(sim, "completer"))
        return;
    CTIConnector *connector = CTIConnector::instance();
    QObject context;

    QWidget window;
    window.resize(260, 60);
    auto *field = new QLineEdit(&window);
    field->setGeometry(5, 5, 250, 25);
    DialSuggestionModel model;
    DialCompleter *completer = DialCompleter::attach(field, &model, &window);
    window.show();

    // Every contact goes into the suggestions as the main window does it; a plain copy of what
    // they hold is kept for the comparison (outside the timed part).
    std::vector<Contact> plain;
    plain.reserve(contactCount);
    qint64 addNs = 0;
    QueuedCallTimer flushTimer;
    model.installEventFilter(&flushTimer);
    QObject::connect(connector, &CTIConnector::addressAdded, &context, [&](Addresses *contact) {
        QElapsedTimer clock;
        clock.start();
        model.addContact(contact);
        addNs += clock.nsecsElapsed();
        Contact copy{contact->getFormattedName(), {}};
        for (const QString &key : {AddressKeys::telWork, AddressKeys::telHome, AddressKeys::telCellPrivate}) {
            const QString number = contact->valueForKey(key).toString();
            if (!number.isEmpty())
                copy.numbers << number;
        }
        plain.push_back(copy);
    });
    bool finished = false;
    QObject::connect(connector, &CTIConnector::addressesLoadingFinished, &context,
                     [&](const QString &id) { finished = finished || id == bookId; });

    QElapsedTimer loadClock;
    loadClock.start();
    connector->requestAddresses(bookId);
    int expectedRows = 0;
    const bool loaded = spinUntil(
        [&] {
            if (!finished)
                return false;
            if (expectedRows == 0) {
                for (const Contact &contact : plain)
                    expectedRows += contact.numbers.size();
            }
            return model.rowCount() >= expectedRows;
        },
        300000);
    const double loadSeconds = loadClock.nsecsElapsed() / 1e9;
    QObject::disconnect(connector, nullptr, &context, nullptr);
    model.removeEventFilter(&flushTimer);
    if (!loaded)
        qWarning("completer benchmark: %d of %d rows after the load", model.rowCount(), expectedRows);

    const std::vector<double> times = keystrokeMs(field, completer);
    const int matches = completer->completionCount();

    // The same rows in a QStandardItemModel with the same completer set-up.
    QStandardItemModel standard;
    auto *standardField = new QLineEdit(&window);
    standardField->setGeometry(5, 30, 250, 25);
    QCompleter *standardCompleter = attachStock(standardField, &standard, &window);
    QElapsedTimer standardClock;
    standardClock.start();
    fillStandardModel(standard, plain);
    const double standardFillSeconds = standardClock.nsecsElapsed() / 1e9;
    const std::vector<double> standardTimes = keystrokeMs(standardField, standardCompleter);
    const FullFigures full = fullBook(plain, window);

    report.add(QStringLiteral("completer.contacts"), double(plain.size()), QStringLiteral("contacts"), contactCount,
               BenchReport::Goal::AtLeast);
    report.add(QStringLiteral("completer.rows"), model.rowCount(), QStringLiteral("rows"));
    report.add(QStringLiteral("completer.fill_s"), (addNs + flushTimer.ns) / 1e9, QStringLiteral("s"), 1.0,
               BenchReport::Goal::AtMost);
    report.add(QStringLiteral("completer.load_s"), loadSeconds, QStringLiteral("s"));
    report.add(QStringLiteral("completer.keystroke_ms"), median(times), QStringLiteral("ms"), 16.0,
               BenchReport::Goal::AtMost);
    report.add(QStringLiteral("completer.keystroke_max_ms"), *std::max_element(times.cbegin(), times.cend()),
               QStringLiteral("ms"), 33.0, BenchReport::Goal::AtMost);
    report.add(QStringLiteral("completer.last_matches"), matches, QStringLiteral("rows"));
    report.add(QStringLiteral("completer.full_rows"), full.rows, QStringLiteral("rows"), 3.0 * contactCount,
               BenchReport::Goal::AtLeast);
    report.add(QStringLiteral("completer.full_fill_s"), full.fillSeconds, QStringLiteral("s"), 1.0,
               BenchReport::Goal::AtMost);
    report.add(QStringLiteral("completer.full_keystroke_ms"), median(full.keystrokes), QStringLiteral("ms"), 33.0,
               BenchReport::Goal::AtMost);
    report.add(QStringLiteral("completer.standard_model_fill_s"), standardFillSeconds, QStringLiteral("s"));
    report.add(QStringLiteral("completer.standard_model_keystroke_ms"), median(standardTimes), QStringLiteral("ms"));
    report.add(QStringLiteral("completer.standard_model_keystroke_max_ms"),
               *std::max_element(standardTimes.cbegin(), standardTimes.cend()), QStringLiteral("ms"));
    report.add(QStringLiteral("completer.keystroke_ratio_to_standard"), median(times) / median(standardTimes),
               QStringLiteral("ratio"), 0.5, BenchReport::Goal::AtMost);
}
