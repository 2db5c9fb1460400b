#include "addresses.h"
#include "dialcompleter.h"
#include "dialcompleteritemdelegate.h"
#include "dialsuggestionfilter.h"
#include "dialsuggestionmodel.h"
#include "passbudget.h"

#include <QAbstractItemModelTester>
#include <QAbstractItemView>
#include <QLineEdit>
#include <QScrollBar>
#include <QtTest>

class tst_DialCompleter : public QObject
{
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void matching_data();
    void matching();
    void narrowing_data();
    void narrowing();
    void changesWhileNarrowed();
    void arrivalsOverPasses();
};

namespace {
//! "id:last:first:work:home:cell_private:cell"
void add(DialSuggestionModel &model, const QString &contact)
{
    static const QString keys[] = {"id", "n_family", "n_given", "tel_work", "tel_home", "tel_cell_private", "tel_cell"};
    const QStringList parts = contact.split(':');
    QVariantMap values;
    for (int i = 0; i < parts.size(); ++i)
        values.insert(keys[i], parts.at(i));
    Addresses address;
    address.buildFromVariantMap(values);
    model.addContact(&address);
}

//! Each row as "name|number", or "line|number|name|completion" if line or completion is not made of those.
QStringList rowsOf(const QAbstractItemModel &model)
{
    QStringList rows;
    for (int r = 0; r < model.rowCount(); ++r) {
        const QString line = model.index(r, 0).data().toString(), number = model.index(r, 1).data().toString(),
                      name = model.index(r, 2).data().toString(),
                      completion = model.index(r, 0).data(DialCompleter::CompleteRole).toString();
        const bool plain = line == name + ' ' + number && completion == number;
        rows << (plain ? name + '|' + number : QStringList{line, number, name, completion}.join('|'));
    }
    return rows;
}
}

void tst_DialCompleter::rows_data()
{
    // "+<contact>" adds, "-<id>" removes, "|" ends the event-loop pass, as does the end.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("work first, no home, then private mobile")
        << "+a:Meyer:Anna:0301::0171" << QStringList{"Meyer, Anna|0301", "Meyer, Anna|0171"};
    QTest::newRow("work, home, private mobile") << "+a:Meyer::1:2:3" << QStringList{"Meyer|1", "Meyer|2", "Meyer|3"};
    QTest::newRow("business mobile only") << "+a:Meyer:Anna::::0171" << QStringList{};
    QTest::newRow("changed number replaced in place") << "+a:A::1 +b:B::2 | +a:A::9" << QStringList{"A|9", "B|2"};
    QTest::newRow("more numbers than before") << "+a:A::1 +b:B::2 | +a:A::1:3" << QStringList{"B|2", "A|1", "A|3"};
    QTest::newRow("numbers gone") << "+a:A::1:2 +b:B::3 | +a:A" << QStringList{"B|3"};
    QTest::newRow("changed twice in one pass") << "+a:A::1 +a:A::2" << QStringList{"A|2"};
    QTest::newRow("deleted") << "+a:A::1:2 +b:B::3 +c:C::4 | -a" << QStringList{"B|3", "C|4"};
    QTest::newRow("changed after an earlier contact was deleted")
        << "+a:A::1:2 +b:B::3 +c:C::4 | -a +c:C::5 +b:B::6:7" << QStringList{"C|5", "B|6", "B|7"};
    QTest::newRow("deleted before its rows appeared") << "+a:A::1 +b:B::2 -a" << QStringList{"B|2"};
    QTest::newRow("deleted while its change waits") << "+a:A::1 | +a:A::2 -a" << QStringList{};
    QTest::newRow("unknown id deleted") << "+a:A::1 | -x" << QStringList{"A|1"};
}

void tst_DialCompleter::rows()
{
    QFETCH(QString, steps);
    QFETCH(QStringList, expected);
    DialSuggestionModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    int passes = 1;
    for (const QString &step : steps.split(' ')) {
        const int before = model.rowCount();
        if (step.startsWith('+')) {
            add(model, step.mid(1));
            QCOMPARE(model.rowCount(), before); // every change makes the completer filter anew
        } else if (step.startsWith('-')) {
            model.removeContact(step.mid(1));
        } else {
            QCoreApplication::processEvents();
            ++passes;
        }
    }
    QCoreApplication::processEvents();
    QCOMPARE(rowsOf(model), expected);
    QVERIFY(inserted.count() <= passes); // a loading address book comes in one insertion per pass
}

void tst_DialCompleter::matching_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("expected");
    const QStringList anna{"Meyer, Anna|030 1234"};
    QTest::newRow("inside the name") << "mey" << anna;
    QTest::newRow("inside the name, upper case") << "MEY" << anna;
    QTest::newRow("inside the number") << "1234" << anna;
    QTest::newRow("two numbers of one contact")
        << "schulz" << QStringList{"Schulz, Bernd|040 5555", "Schulz, Bernd|040 6666"};
    QTest::newRow("name and number together") << "anna 030" << anna;
    QTest::newRow("nothing") << "xyz" << QStringList{};
    QStringList many;
    for (int i = 10; i < 30; ++i)
        many << QStringLiteral("Zahn|0800 %1").arg(i);
    QTest::newRow("more than fifteen") << "zahn" << many;
}

void tst_DialCompleter::matching()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, expected);
    DialSuggestionModel model;
    for (const char *contact :
         {"a:Meyer:Anna:030 1234", "b:Schulz:Bernd:040 5555:040 6666", "c:Becker:Carla:::089 7777"})
        add(model, contact);
    for (int i = 10; i < 30; ++i)
        add(model, QStringLiteral("z%1:Zahn::0800 %1").arg(i));
    model.flush();
    QWidget window;
    auto *field = new QLineEdit(&window);
    DialCompleter *completer = DialCompleter::attach(field, &model, &window);
    window.show();
    field->setFocus();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Rows small enough that fifteen fit below the field on the 800 x 600 offscreen screen.
    QAbstractItemView *popup = completer->popup();
    QFont small = popup->font();
    small.setPixelSize(8);
    popup->setFont(small);

    QTest::keyClicks(field, typed);
    QCOMPARE(rowsOf(*completer->completionModel()), expected);
    QTRY_COMPARE(popup->isVisible(), !expected.isEmpty());
    if (expected.isEmpty())
        return;
    QVERIFY(qobject_cast<DialCompleterItemDelegate *>(popup->itemDelegate()));
    const int shown = qMin(expected.size(), DialCompleter::maxVisibleSuggestions);
    QTRY_COMPARE(popup->viewport()->height() / popup->sizeHintForRow(0), shown);
    QTRY_COMPARE(popup->verticalScrollBar()->maximum() > 0, expected.size() > shown);

    // Nothing is chosen before the arrows choose: Enter dials what was typed.
    QVERIFY(!popup->currentIndex().isValid());
    // Choosing puts only the bare number into the field.
    QTest::keyClick(popup, Qt::Key_Down);
    QCOMPARE(popup->currentIndex().row(), 0);
    QTest::keyClick(popup, Qt::Key_Return);
    QCOMPARE(field->text(), expected.first().section('|', 1));
}

void tst_DialCompleter::narrowing_data()
{
    // Typed texts one after the other ("<" takes a key back); contacts "name:number".
    QTest::addColumn<QStringList>("contacts");
    QTest::addColumn<QStringList>("typed");
    const QStringList people{"Müller, Jürgen:0711 5550123", "MÜLLER, Anna:+49 711 555 0124", "Straße AG:030 1",
                             "STRASSE GmbH:030 2", "İlker Işık:0212 3", "ılgaz ilker:0212 4", "Σοφία Σωκράτους:210 5",
                             "ǅemal:01 6", "𝐀lpha 😀:02 7", "Meyer & Söhne:089 8", "Mayer:089 9"};
    QTest::newRow("typed, extended, shortened, extended again")
        << people << QStringList{"m", "mü", "mül", "mü", "m", "ma", "may", "ma", "me", "mey", "meyer & s", "meyer & sö"};
    QTest::newRow("umlauts and case") << people << QStringList{"MÜ", "mÜller", "MüLLER, a", "müller,", "ü"};
    QTest::newRow("sharp s, dotted and dotless i, final sigma")
        << people << QStringList{"ß", "ss", "STRASSE", "straße", "i", "İ", "ı", "ılg", "σ", "ς", "Σ", "ǆ", "ǅ", "Ǆ"};
    QTest::newRow("digits with and without spacing")
        << people << QStringList{"0711", "0711 5", "07115", "555 01", "5550", "+49", "+49 711", "030", "02"};
    QTest::newRow("outside the basic plane") << people << QStringList{"𝐀", "𝐚", "😀", "a 😀", "lpha"};
    QTest::newRow("nothing, then something") << people << QStringList{"x", "xy", "x", "<", "0", "<", "j"};
    QTest::newRow("wildcards are plain text")
        << QStringList{"A*B:1", "A.B:2", "A?B:3", "[AB]:4", "A\\B:5"}
        << QStringList{"*", "a*", "a*b", ".", "?", "[", "[ab]", "\\", "a.b"};
}

void tst_DialCompleter::narrowing()
{
    QFETCH(QStringList, contacts);
    QFETCH(QStringList, typed);
    DialSuggestionModel model;
    for (int i = 0; i < contacts.size(); ++i)
        add(model, QStringLiteral("c%1:%2::%3").arg(i).arg(contacts[i].section(':', 0, 0), contacts[i].section(':', 1)));
    model.flush();
    DialSuggestionFilter filter(&model);
    QAbstractItemModelTester tester(&filter, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QString text;
    for (const QString &step : typed) {
        text = step == QLatin1String("<") ? text.chopped(1) : step;
        filter.setFilterText(text);
        // What Qt's own case-insensitive search finds in the suggestion lines, in their order.
        QStringList expected;
        for (int row = 0; row < model.rowCount(); ++row) {
            const QString line = model.index(row, 0).data().toString();
            if (line.contains(text, Qt::CaseInsensitive))
                expected << line;
        }
        QStringList found;
        for (int row = 0; row < filter.rowCount(); ++row)
            found << filter.index(row, 0).data().toString();
        QVERIFY2(found == expected, qPrintable(text + ": " + found.join(" / ") + " instead of " + expected.join(" / ")));
    }
}

void tst_DialCompleter::changesWhileNarrowed()
{
    // Contacts arriving, changing and going while the user types: the rows stay the ones that match.
    DialSuggestionModel model;
    DialSuggestionFilter filter(&model);
    QAbstractItemModelTester tester(&filter, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const auto rows = [&filter] {
        QStringList found;
        for (int row = 0; row < filter.rowCount(); ++row)
            found << filter.index(row, 0).data().toString();
        return found;
    };
    add(model, "a:Meyer:Anna:1:2");
    add(model, "b:Becker:Bernd:3");
    model.flush();
    filter.setFilterText("me");
    QCOMPARE(rows(), (QStringList{"Meyer, Anna 1", "Meyer, Anna 2"}));
    add(model, "c:Mertens:Carl:4");
    add(model, "d:Dorn:Dirk:5");
    model.flush();
    QCOMPARE(rows(), (QStringList{"Meyer, Anna 1", "Meyer, Anna 2", "Mertens, Carl 4"}));
    model.removeContact("a");
    QCOMPARE(rows(), QStringList{"Mertens, Carl 4"});
    add(model, "b:Mebert:Bernd:3"); // now it matches
    add(model, "c:Cornelius:Carl:4"); // now it does not
    model.flush();
    QCOMPARE(rows(), QStringList{"Mebert, Bernd 3"});
    filter.setFilterText("meb");
    QCOMPARE(rows(), QStringList{"Mebert, Bernd 3"});
    add(model, "d:Meier:Dirk:5"); // changed while a longer text is typed
    model.flush();
    filter.setFilterText("me"); // a key taken back: its earlier matches are out of date
    QCOMPARE(rows(), (QStringList{"Mebert, Bernd 3", "Meier, Dirk 5"}));
    filter.setFilterText(QString());
    QCOMPARE(filter.rowCount(), model.rowCount());
}

// A book pouring in goes in over several passes once other work has had the pass, in the order it
// came; a contact changed or removed while it still waits, or again after it went in, ends up as
// last heard.
void tst_DialCompleter::arrivalsOverPasses()
{
    DialSuggestionModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVector<int> insertions;
    connect(&model, &QAbstractItemModel::rowsInserted, this,
            [&insertions](const QModelIndex &, int first, int last) { insertions << last - first + 1; });
    constexpr int count = 2000;
    QStringList expected;
    for (int i = 0; i < count; ++i)
        expected << QStringLiteral("Name%1, A|%1").arg(i);
    // Other work that takes each pass's share before the model's turn; once half the book is in,
    // it changes the book.
    bool changed = false;
    QTimer other;
    connect(&other, &QTimer::timeout, this, [&] {
        while (!PassBudget::spent(DialSuggestionModel::flushBudgetMs)) {
        }
        if (changed || model.rowCount() < count / 2 + 100)
            return;
        changed = true;
        QVERIFY(model.rowCount() < count - 100);
        add(model, QStringLiteral("c1900:Changed:B:1900"));
        model.removeContact(QStringLiteral("c1950"));
        add(model, QStringLiteral("c10:Name10:A:10:11"));
    });
    other.start(0);
    for (int i = 0; i < count; ++i)
        add(model, QStringLiteral("c%1:Name%1:A:%1").arg(i));
    expected[1900] = QStringLiteral("Changed, B|1900");
    expected.removeAt(1950);
    expected.removeAt(10);
    expected << QStringLiteral("Name10, A|10") << QStringLiteral("Name10, A|11");
    QTRY_VERIFY(changed);
    QTRY_COMPARE(rowsOf(model), expected);
    QVERIFY(insertions.size() > 10);
    QVERIFY(*std::max_element(insertions.cbegin(), insertions.cend()) < count / 10);
}

QTEST_MAIN(tst_DialCompleter)
#include "tst_dialcompleter.moc"
