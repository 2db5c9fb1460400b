#include "addresses.h"
#include "dialcompleter.h"
#include "dialcompleteritemdelegate.h"
#include "dialsuggestionmodel.h"

#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QtTest>

class tst_DialCompleter : public QObject
{
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void replaceAndRemove_data();
    void replaceAndRemove();
    void rowsAppearWithinThePass();
    void matching_data();
    void matching();
    void choosingInsertsTheBareNumber();
    void moreThanFifteenMatches();
};

namespace {
//! "id:last:first:work:home:cell_private:cell"; empty parts are absent keys.
void add(DialSuggestionModel &model, const QString &spec)
{
    static const QString keys[] = {"id", "n_family", "n_given", "tel_work", "tel_home", "tel_cell_private", "tel_cell"};
    const QStringList parts = spec.split(QLatin1Char(':'));
    QVariantMap values;
    for (int i = 0; i < parts.size(); ++i) {
        if (!parts.at(i).isEmpty())
            values.insert(keys[i], parts.at(i));
    }
    Addresses contact;
    contact.buildFromVariantMap(values);
    model.addContact(&contact);
}

//! Each row as "column 0|column 1|column 2|complete role".
QStringList rowTexts(const QAbstractItemModel &model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        rows << QStringList{model.index(row, 0).data().toString(), model.index(row, 1).data().toString(),
                            model.index(row, 2).data().toString(),
                            model.index(row, 0).data(DialCompleter::CompleteRole).toString()}
                    .join(QLatin1Char('|'));
    }
    return rows;
}

QStringList column0(const QAbstractItemModel &model)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, 0).data().toString();
    return texts;
}

struct Dialer
{
    QWidget window;
    QLineEdit *field = new QLineEdit(&window);
    DialSuggestionModel model;
    DialCompleter *completer = DialCompleter::attach(field, &model, &window);

    bool show()
    {
        window.resize(250, 40);
        field->resize(250, 25);
        window.show();
        field->setFocus();
        return QTest::qWaitForWindowExposed(&window);
    }
};
}

void tst_DialCompleter::rows_data()
{
    QTest::addColumn<QString>("contact");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("work and private mobile, no home")
        << "a:Meyer:Anna:030 1234::0171 999"
        << QStringList{"Meyer, Anna 030 1234|030 1234|Meyer, Anna|030 1234",
                       "Meyer, Anna 0171 999|0171 999|Meyer, Anna|0171 999"};
    QTest::newRow("all three in order")
        << "a:Meyer::1:2:3" << QStringList{"Meyer 1|1|Meyer|1", "Meyer 2|2|Meyer|2", "Meyer 3|3|Meyer|3"};
    QTest::newRow("business mobile only") << "a:Meyer:Anna::::0171 1" << QStringList{};
    QTest::newRow("no numbers at all") << "a:Meyer:Anna" << QStringList{};
}

void tst_DialCompleter::rows()
{
    QFETCH(QString, contact);
    QFETCH(QStringList, expected);

    DialSuggestionModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    add(model, contact);
    model.flush();
    QCOMPARE(rowTexts(model), expected);
}

void tst_DialCompleter::replaceAndRemove_data()
{
    // Steps: "+<contact>" adds, "-<id>" removes, "|" ends the event-loop pass.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("changed number replaced in place")
        << QStringList{"+a:A::1", "+b:B::2", "|", "+a:A::9", "|"} << QStringList{"A 9", "B 2"};
    QTest::newRow("changed name")
        << QStringList{"+a:A::1", "|", "+a:Z::1", "|"} << QStringList{"Z 1"};
    QTest::newRow("more numbers than before")
        << QStringList{"+a:A::1", "+b:B::2", "|", "+a:A::1:3", "|"} << QStringList{"B 2", "A 1", "A 3"};
    QTest::newRow("numbers gone")
        << QStringList{"+a:A::1:2", "+b:B::3", "|", "+a:A", "|"} << QStringList{"B 3"};
    QTest::newRow("changed twice in one pass")
        << QStringList{"+a:A::1", "+a:A::2", "|"} << QStringList{"A 2"};
    QTest::newRow("deleted")
        << QStringList{"+a:A::1:2", "+b:B::3", "+c:C::4", "|", "-a"} << QStringList{"B 3", "C 4"};
    QTest::newRow("changed after an earlier contact was deleted")
        << QStringList{"+a:A::1:2", "+b:B::3", "+c:C::4", "|", "-a", "+c:C::5", "+b:B::6:7", "|"}
        << QStringList{"C 5", "B 6", "B 7"};
    QTest::newRow("deleted before its rows appeared")
        << QStringList{"+a:A::1", "+b:B::2", "-a", "|"} << QStringList{"B 2"};
    QTest::newRow("deleted while its change waits")
        << QStringList{"+a:A::1", "|", "+a:A::2", "-a", "|"} << QStringList{};
    QTest::newRow("unknown id deleted") << QStringList{"+a:A::1", "|", "-x"} << QStringList{"A 1"};
}

void tst_DialCompleter::replaceAndRemove()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);

    DialSuggestionModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (const QString &step : qAsConst(steps)) {
        if (step.startsWith(QLatin1Char('+')))
            add(model, step.mid(1));
        else if (step.startsWith(QLatin1Char('-')))
            model.removeContact(step.mid(1));
        else
            model.flush();
    }
    QCOMPARE(column0(model), expected);
}

void tst_DialCompleter::rowsAppearWithinThePass()
{
    DialSuggestionModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 500; ++i)
        add(model, QStringLiteral("c%1:Name %1::%1").arg(i));
    QCOMPARE(model.rowCount(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(model.rowCount(), 500);
    QCOMPARE(inserted.count(), 1);
}

void tst_DialCompleter::matching_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("inside the name") << "mey" << QStringList{"Meyer, Anna 030 1234"};
    QTest::newRow("inside the name, upper case") << "MEY" << QStringList{"Meyer, Anna 030 1234"};
    QTest::newRow("inside the number") << "1234" << QStringList{"Meyer, Anna 030 1234"};
    QTest::newRow("two numbers of one contact")
        << "schulz" << QStringList{"Schulz, Bernd 040 5555", "Schulz, Bernd 040 6666"};
    QTest::newRow("name and number together") << "anna 030" << QStringList{"Meyer, Anna 030 1234"};
    QTest::newRow("nothing") << "xyz" << QStringList{};
}

void tst_DialCompleter::matching()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, expected);

    Dialer dialer;
    add(dialer.model, "a:Meyer:Anna:030 1234");
    add(dialer.model, "b:Schulz:Bernd:040 5555:040 6666");
    add(dialer.model, "c:Becker:Carla:::089 7777");
    QVERIFY(dialer.show());
    QTRY_COMPARE(dialer.model.rowCount(), 4);

    QTest::keyClicks(dialer.field, typed);
    QCOMPARE(column0(*dialer.completer->completionModel()), expected);
    QTRY_COMPARE(dialer.completer->popup()->isVisible(), !expected.isEmpty());
}

void tst_DialCompleter::choosingInsertsTheBareNumber()
{
    Dialer dialer;
    add(dialer.model, "a:Meyer:Anna:030 1234");
    QVERIFY(dialer.show());
    QTRY_COMPARE(dialer.model.rowCount(), 1);
    QCOMPARE(dialer.completer->pathFromIndex(dialer.model.index(0, 0)), QStringLiteral("030 1234"));
    QCOMPARE(dialer.completer->pathFromIndex(dialer.model.index(0, 1)), QString());

    QTest::keyClicks(dialer.field, "mey");
    QAbstractItemView *popup = dialer.completer->popup();
    QTRY_VERIFY(popup->isVisible());
    popup->setCurrentIndex(popup->model()->index(0, 0));
    QTest::keyClick(popup, Qt::Key_Return);
    QCOMPARE(dialer.field->text(), QStringLiteral("030 1234"));
}

void tst_DialCompleter::moreThanFifteenMatches()
{
    Dialer dialer;
    for (int i = 0; i < 20; ++i)
        add(dialer.model, QStringLiteral("c%1:Meyer:Anna:030 %1").arg(i));
    QVERIFY(dialer.show());
    QTRY_COMPARE(dialer.model.rowCount(), 20);

    // Rows small enough that fifteen fit below the field on the 800 x 600 offscreen screen.
    auto *popup = dialer.completer->popup();
    QFont small = popup->font();
    small.setPixelSize(8);
    popup->setFont(small);
    QTest::keyClicks(dialer.field, "mey");
    QTRY_VERIFY(popup->isVisible());
    QCOMPARE(popup->model()->rowCount(), 20);
    QVERIFY(qobject_cast<DialCompleterItemDelegate *>(popup->itemDelegate()));
    QCOMPARE(popup->viewport()->height() / popup->sizeHintForRow(0), DialCompleter::maxVisibleSuggestions);
    QVERIFY(popup->verticalScrollBar()->maximum() > 0);
}

QTEST_MAIN(tst_DialCompleter)
#include "tst_dialcompleter.moc"
