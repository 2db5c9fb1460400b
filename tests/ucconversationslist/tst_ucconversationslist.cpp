#include "cticonnector.h"
#include "pbxsimulator.h"
#include "simcalls.h"
#include "simhistory.h"
#include "uccitemdelegate.h"
#include "ucconversationslist.h"
#include "ucitem.h"

#include <QJsonObject>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTreeView>
#include <QtTest>

#include <algorithm>

class tst_UCConversationsList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void newestFirst_data();
    void newestFirst();
    void lineTexts_data();
    void lineTexts();
    void durationText_data();
    void durationText();
    void clickFillsActivationDials_data();
    void clickFillsActivationDials();
    void historyThroughConnector();
    void endedCallListedAtTop();

private:
    PbxSimulator sim{QHostAddress(QStringLiteral("127.0.0.90"))};
    CTIConnector *connector = CTIConnector::instance();
};

namespace {
//! Hands an item to the list the way the connector does for a call that ended.
void addItem(const QVariantMap &values)
{
    UCItem item;
    item.buildFromVariantMap(values);
    emit CTIConnector::instance()->ucItemAdded(&item);
}

QVariantMap call(const QString &number, const QString &timestamp)
{
    return {{"remote_number", number}, {"timestamp", timestamp}, {"state", 8}, {"direction", 1}};
}

QStringList numbersInViewOrder(const QAbstractItemModel *model)
{
    QStringList numbers;
    for (int row = 0; row < model->rowCount(); ++row)
        numbers << model->index(row, 0).data(UCItem::RemoteNumberRole).toString();
    return numbers;
}
}

void tst_UCConversationsList::initTestCase()
{
    sim.addAccount(QStringLiteral("demo"), QStringLiteral("demo"));
    QVERIFY2(sim.listen(), qPrintable(sim.errorString()));
    QSignalSpy ok(connector, &CTIConnector::loginSuccess);
    connector->login(QStringLiteral("demo"), QStringLiteral("demo"), QStringLiteral("127.0.0.90"));
    QTRY_COMPARE(ok.count(), 1);
}

void tst_UCConversationsList::newestFirst_data()
{
    // Timestamps are given oldest-or-shuffled; "a|b" in the expectation: those two in either order.
    QTest::addColumn<QStringList>("timestamps");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("arrival order is oldest first")
        << QStringList{"2016-02-15T10:00:00Z", "2016-02-15T11:00:00Z", "2016-02-16T09:00:00Z"}
        << QStringList{"n2", "n1", "n0"};
    QTest::newRow("shuffled across years")
        << QStringList{"2015-12-31T23:59:59Z", "2016-01-01T00:00:00Z", "2014-06-01T12:00:00Z", "2016-01-01T00:00:01Z"}
        << QStringList{"n3", "n1", "n0", "n2"};
    QTest::newRow("equal timestamps both listed")
        << QStringList{"2016-02-15T10:00:00Z", "2016-03-01T08:00:00Z", "2016-02-15T10:00:00Z"}
        << QStringList{"n1", "n0|n2"};
    QTest::newRow("no timestamp sorts last")
        << QStringList{"", "2016-02-15T10:00:00Z"}
        << QStringList{"n1", "n0"};
}

void tst_UCConversationsList::newestFirst()
{
    QFETCH(QStringList, timestamps);
    QFETCH(QStringList, expected);

    UCConversationsList list;
    for (int i = 0; i < timestamps.size(); ++i)
        addItem(call(QStringLiteral("n%1").arg(i), timestamps.at(i)));
    auto *view = list.findChild<QTreeView *>(QStringLiteral("treeView"));
    QVERIFY(view);
    QTRY_COMPARE(view->model()->rowCount(), timestamps.size());

    const QStringList numbers = numbersInViewOrder(view->model());
    int row = 0;
    for (const QString &entry : qAsConst(expected)) {
        QStringList group = entry.split(QLatin1Char('|'));
        QStringList actual = numbers.mid(row, group.size());
        std::sort(group.begin(), group.end());
        std::sort(actual.begin(), actual.end());
        QCOMPARE(actual, group);
        row += group.size();
    }
}

void tst_UCConversationsList::lineTexts_data()
{
    QTest::addColumn<QVariantMap>("values");
    QTest::addColumn<QString>("line1");
    QTest::addColumn<QString>("date");

    const QString utc = QStringLiteral("2016-02-15T10:00:00Z");
    const QString local = QDateTime(QDate(2016, 2, 15), QTime(10, 0), Qt::UTC).toLocalTime().toString("dd.MM.yyyy hh:mm");
    QTest::newRow("only a number keeps the separators")
        << QVariantMap{{"remote_number", "0301234"}, {"timestamp", utc}} << "0301234 -   - " << local;
    QTest::newRow("all fields")
        << QVariantMap{{"remote_number", "0301234"}, {"firstname", "Anna"}, {"lastname", "Meyer"},
                       {"company", "Muster GmbH"}, {"timestamp", utc}}
        << "0301234 - Anna Meyer - Muster GmbH" << local;
    QTest::newRow("no timestamp, no date") << QVariantMap{{"lastname", "Meyer"}} << " -  Meyer - " << QString();
}

void tst_UCConversationsList::lineTexts()
{
    QFETCH(QVariantMap, values);
    QFETCH(QString, line1);
    QFETCH(QString, date);

    UCItem item;
    item.buildFromVariantMap(values);
    QStandardItemModel model;
    model.appendRow(item.toStandardItem());
    const QModelIndex index = model.index(0, 0);
    QCOMPARE(UCCItemDelegate::line1Text(index), line1);
    QCOMPARE(UCCItemDelegate::dateText(index), date);
}

void tst_UCConversationsList::durationText_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("expected");
    QTest::newRow("none") << 0 << "00:00:00";
    QTest::newRow("1h 2m 5s") << 3725 << "01:02:05";
    QTest::newRow("25 h wraps past midnight") << 25 * 3600 << "01:00:00";
}

void tst_UCConversationsList::durationText()
{
    QFETCH(int, seconds);
    QFETCH(QString, expected);
    QCOMPARE(UCCItemDelegate::durationText(seconds), expected);
}

void tst_UCConversationsList::clickFillsActivationDials_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::newRow("double-click") << false;
    QTest::newRow("Enter") << true;
}

void tst_UCConversationsList::clickFillsActivationDials()
{
    QFETCH(bool, byKey);

    UCConversationsList list;
    addItem(call(QStringLiteral("0301111"), QStringLiteral("2016-02-15T10:00:00Z")));
    addItem(call(QStringLiteral("0302222"), QStringLiteral("2016-02-16T10:00:00Z")));
    list.resize(300, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    auto *view = list.findChild<QTreeView *>(QStringLiteral("treeView"));
    QTRY_COMPARE(view->model()->rowCount(), 2);
    sim.clearReceived();

    // The click on the older row fills only; the activation of the newer one dials. Both travel the
    // same socket, so once the dial has arrived a dial from the click would have too.
    QSignalSpy clicked(&list, &UCConversationsList::onNumberClick);
    const QModelIndex older = view->model()->index(1, 0);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(older).center());
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).toString(), QStringLiteral("0301111"));

    const QModelIndex newer = view->model()->index(0, 0);
    if (byKey) {
        view->setFocus();
        view->setCurrentIndex(newer);
        QTest::keyClick(view, Qt::Key_Return);
    } else {
        // A real double-click: press and release, then the double-click event.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(newer).center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(newer).center());
    }
    QTRY_COMPARE(sim.receivedCommands(QStringLiteral("dialNumber")).size(), 1);
    const QJsonObject dial = sim.receivedCommands(QStringLiteral("dialNumber")).first();
    QCOMPARE(dial.value("data").toObject().value("number").toString(), QStringLiteral("0302222"));
}

void tst_UCConversationsList::historyThroughConnector()
{
    // More items than one hand-over batch, filed in an order unrelated to their time.
    constexpr int count = 600;
    QVector<int> minutes(count);
    std::iota(minutes.begin(), minutes.end(), 0);
    std::shuffle(minutes.begin(), minutes.end(), *QRandomGenerator::global());
    const QDateTime base(QDate(2016, 2, 1), QTime(8, 0), Qt::UTC);
    for (int i = 0; i < count; ++i) {
        sim.history().addItem(QStringLiteral("demo"),
                              {{"remote_number", QStringLiteral("+4930%1").arg(minutes.at(i))},
                               {"timestamp", SimHistory::timestamp(base.addSecs(60 * minutes.at(i)))},
                               {"state", 8}});
    }

    UCConversationsList list;
    list.init();
    QTRY_COMPARE(list.proxyModel()->rowCount(), count);

    const QStringList numbers = numbersInViewOrder(list.proxyModel());
    for (int row = 0; row < count; ++row)
        QCOMPARE(numbers.at(row), QStringLiteral("+4930%1").arg(count - 1 - row));
}

void tst_UCConversationsList::endedCallListedAtTop()
{
    UCConversationsList list;
    addItem(call(QStringLiteral("0301111"), QStringLiteral("2016-02-15T10:00:00Z")));
    QTRY_COMPARE(list.proxyModel()->rowCount(), 1);

    const QStringList ids = sim.calls().startIncomingCall(QStringLiteral("0309876"), QStringLiteral("Anna"),
                                                          QStringLiteral("Meyer"), QString(), QStringLiteral("demo"));
    QCOMPARE(ids.size(), 1);
    QVERIFY(sim.calls().answerCall(ids.first()));
    QVERIFY(sim.calls().endCall(ids.first()));
    QTRY_COMPARE(list.proxyModel()->rowCount(), 2);
    QCOMPARE(list.proxyModel()->index(0, 0).data(UCItem::RemoteNumberRole).toString(), QStringLiteral("0309876"));
}

QTEST_MAIN(tst_UCConversationsList)
#include "tst_ucconversationslist.moc"
