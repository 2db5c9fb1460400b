#include "connectedsimulator.h"
#include "cticonnector.h"
#include "simcalls.h"
#include "simhistory.h"
#include "uccitemdelegate.h"
#include "ucconversationslist.h"
#include "ucitem.h"

#include <QJsonObject>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTreeView>
#include <QtTest>

class tst_UCConversationsList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void newestFirst_data();
    void newestFirst();
    void keepsTheNewestUpToItsLimit();
    void delegateTexts_data();
    void delegateTexts();
    void clickFillsActivationDials();
    void historyAndEndedCallsThroughConnector();

private:
    ConnectedSimulator sim{"127.0.0.90"};
};

namespace {
//! Hands over an ended call, "number@timestamp", the way the connector does.
void addCall(const QString &call, const QString &callId = QString())
{
    UCItem item;
    item.buildFromVariantMap({{"remote_number", call.section('@', 0, 0)}, {"timestamp", call.section('@', 1)},
                              {"state", 8}, {"direction", 1}, {"callid", callId}});
    emit CTIConnector::instance()->ucItemAdded(&item);
}

QStringList numbersInOrder(const QAbstractItemModel *model)
{
    QStringList numbers;
    for (int row = 0; row < model->rowCount(); ++row)
        numbers << model->index(row, 0).data(UCItem::RemoteNumberRole).toString();
    return numbers;
}
}

void tst_UCConversationsList::initTestCase()
{
    sim.logIn();
}

void tst_UCConversationsList::newestFirst_data()
{
    QTest::addColumn<QStringList>("calls"); // in arrival order
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("equal timestamps both listed")
        << QStringList{"b@2016-02-15T10:00:00Z", "a@2016-03-01T08:00:00Z", "b@2016-02-15T10:00:00Z"}
        << QStringList{"a", "b", "b"};
    QTest::newRow("no timestamp sorts last") << QStringList{"b@", "a@2016-02-15T10:00:00Z"} << QStringList{"a", "b"};
    // More than one insertion takes: what does not go in at once follows without a further item.
    QStringList stream, newestFirst;
    for (int i = 0; i < 2500; ++i) {
        const int minute = (i * 7919) % 2500; // every minute once, out of order
        stream << QStringLiteral("n%1@%2").arg(minute).arg(QDateTime(QDate(2016, 1, 1), QTime(0, 0), Qt::UTC).addSecs(60 * minute).toString(Qt::ISODate));
    }
    for (int minute = 2499; minute >= 0; --minute)
        newestFirst << QStringLiteral("n%1").arg(minute);
    QTest::newRow("a long stream, out of order") << stream << newestFirst;
}

void tst_UCConversationsList::newestFirst()
{
    QFETCH(QStringList, calls);
    QFETCH(QStringList, expected);
    UCConversationsList list;
    for (const QString &call : qAsConst(calls))
        addCall(call);
    QTRY_COMPARE(numbersInOrder(list.proxyModel()), expected);
}

// A day's calls on top of a long history: the list keeps the newest, whatever order they came in.
void tst_UCConversationsList::keepsTheNewestUpToItsLimit()
{
    UCConversationsList list;
    const int count = UCConversationsList::maxRows + 3;
    const QDateTime start(QDate(2016, 1, 1), QTime(0, 0), Qt::UTC);
    const auto add = [&](const QString &callId, int minute) {
        addCall(callId + QLatin1Char('@') + start.addSecs(60 * minute).toString(Qt::ISODate), callId);
    };
    for (int i = 0; i < count; ++i) {
        const int minute = int((qint64(i) * 7919) % count); // every minute once, out of order
        add(QStringLiteral("n%1").arg(minute), minute);
    }
    const QSortFilterProxyModel *rows = list.proxyModel();
    const auto numberAt = [rows](int row) { return rows->index(row, 0).data(UCItem::RemoteNumberRole).toString(); };
    QTRY_COMPARE_WITH_TIMEOUT(numberAt(0), QStringLiteral("n%1").arg(count - 1), 30000);
    QTRY_COMPARE(numberAt(rows->rowCount() - 1), QStringLiteral("n3"));
    QCOMPARE(rows->rowCount(), UCConversationsList::maxRows);
    // A call that left the list, reported again, is listed anew.
    add(QStringLiteral("n0"), count);
    QTRY_COMPARE(numberAt(0), QStringLiteral("n0"));
    QCOMPARE(numberAt(rows->rowCount() - 1), QStringLiteral("n4"));
}

void tst_UCConversationsList::delegateTexts_data()
{
    QTest::addColumn<QVariantMap>("values");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QStringList>("expected"); // line 1, date, duration
    const QString utc = QStringLiteral("2016-02-15T10:00:00Z");
    const QString local = QDateTime::fromString(utc, Qt::ISODate).toLocalTime().toString("dd.MM.yyyy hh:mm");
    QTest::newRow("only a number keeps the separators") << QVariantMap{{"remote_number", "0301234"}, {"timestamp", utc}}
                                                        << 0 << QStringList{"0301234 -   - ", local, "00:00:00"};
    QTest::newRow("all fields, 1h 2m 5s")
        << QVariantMap{{"remote_number", "0301234"}, {"firstname", "Anna"}, {"lastname", "Meyer"},
                       {"company", "Muster GmbH"}, {"timestamp", utc}}
        << 3725 << QStringList{"0301234 - Anna Meyer - Muster GmbH", local, "01:02:05"};
    QTest::newRow("no timestamp, 25 h wraps past midnight")
        << QVariantMap{{"lastname", "Meyer"}} << 25 * 3600 << QStringList{" -  Meyer - ", QString(), "01:00:00"};
    QTest::newRow("negative duration is none")
        << QVariantMap{{"lastname", "Meyer"}} << -5 << QStringList{" -  Meyer - ", QString(), "00:00:00"};
}

void tst_UCConversationsList::delegateTexts()
{
    QFETCH(QVariantMap, values);
    QFETCH(int, seconds);
    QFETCH(QStringList, expected);
    UCItem item;
    item.buildFromVariantMap(values);
    QStandardItemModel model;
    model.appendRow(item.toStandardItem());
    const QModelIndex index = model.index(0, 0);
    QCOMPARE((QStringList{UCCItemDelegate::line1Text(index), UCCItemDelegate::dateText(index),
                          UCCItemDelegate::durationText(seconds)}),
             expected);
}

void tst_UCConversationsList::clickFillsActivationDials()
{
    UCConversationsList list;
    addCall(QStringLiteral("0301111@2016-02-15T10:00:00Z"));
    addCall(QStringLiteral("0302222@2016-02-16T10:00:00Z"));
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    auto *view = list.findChild<QTreeView *>(QStringLiteral("treeView"));
    QTRY_COMPARE(view->model()->rowCount(), 2);
    sim.clearReceived();
    const auto dialed = [this] { return sim.sent(QStringLiteral("dialNumber"), QStringLiteral("number")); };
    const QPoint older = view->visualRect(view->model()->index(1, 0)).center();
    const QPoint newer = view->visualRect(view->model()->index(0, 0)).center();

    // A click's dial would travel the same socket ahead of the activation's.
    QSignalSpy clicked(&list, &UCConversationsList::onNumberClick);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, older);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).toString(), QStringLiteral("0301111"));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, newer);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, newer);
    QCOMPARE(dialed(), QStringList{"0302222"});

    view->setCurrentIndex(view->model()->index(1, 0));
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(dialed(), QStringList{"0301111"});
}

// However the history's answers and the calls' ends cross, each call is listed once.
void tst_UCConversationsList::historyAndEndedCallsThroughConnector()
{
    constexpr int count = 600; // more than one hand-over batch
    const QDateTime base(QDate(2016, 2, 1), QTime(8, 0), Qt::UTC);
    const auto file = [this](const QString &callId, const QString &number, const QDateTime &time, int state) {
        sim.history().addItem(QStringLiteral("demo"), {{"callid", callId}, {"remote_number", number},
                                                       {"timestamp", SimHistory::timestamp(time)}, {"state", state}});
    };
    QStringList expected;
    for (int i = 0; i < count; ++i) {
        const int minute = i * 241 % count; // filed in an order unrelated to the time
        file(QStringLiteral("h%1").arg(minute), QStringLiteral("+4930%1").arg(minute), base.addSecs(60 * minute), 8);
        expected.prepend(QStringLiteral("+4930%1").arg(i));
    }
    // Another call from the same number at the same time.
    file(QStringLiteral("twin"), QStringLiteral("+49300"), base, 7);
    expected << QStringLiteral("+49300");

    UCConversationsList list;
    // Counted on this thread: the items are emitted from the answers' worker threads, two at once.
    int handedOut = 0;
    connect(CTIConnector::instance(), &CTIConnector::ucItemAdded, &list, [&handedOut] { ++handedOut; });
    // The link comes back before the first answer is in: two answers, one list.
    list.init();
    emit CTIConnector::instance()->reconnectSuccess();
    QTRY_COMPARE(handedOut, 2 * (count + 1));
    QTRY_COMPARE(numbersInOrder(list.proxyModel()), expected);

    const QStringList ids = sim.calls().startIncomingCall(QStringLiteral("0309876"), QStringLiteral("Anna"),
                                                          QStringLiteral("Meyer"), QString(), QStringLiteral("demo"));
    QCOMPARE(ids.size(), 1);
    QVERIFY(sim.calls().answerCall(ids.first()) && sim.calls().endCall(ids.first()));
    expected.prepend(QStringLiteral("0309876"));
    QTRY_COMPARE(numbersInOrder(list.proxyModel()), expected);

    // Asked again after a reconnection: a call that ended while the link was down is added; one
    // that ends before the answer comes is listed once, as the server's history has it. Items
    // without a call id, listed or still waiting to be, come again too.
    const QDateTime later = QDateTime::currentDateTime().addSecs(3600);
    file(QStringLiteral("down"), QStringLiteral("+49301111"), later, 8);
    const auto fileWithoutId = [this](const QString &call) {
        sim.history().addItem(QStringLiteral("demo"), {{"remote_number", call.section('@', 0, 0)},
                                                       {"timestamp", call.section('@', 1)}, {"state", 8}, {"direction", 1}});
        addCall(call);
    };
    fileWithoutId(QStringLiteral("+49302222@") + SimHistory::timestamp(later.addSecs(-60)));
    QTRY_COMPARE(list.proxyModel()->rowCount(), expected.size() + 1);
    fileWithoutId(QStringLiteral("+49303333@") + SimHistory::timestamp(later.addSecs(-120)));
    const QJsonObject ringing{{"callid", "late"}, {"remote_number", "0305555"}, {"direction", 1}, {"state", 1},
                              {"timestamp", later.addSecs(60).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))}};
    sim.pushEvent(QStringLiteral("updateLineStatus"), ringing);
    handedOut = 0;
    emit CTIConnector::instance()->reconnectSuccess();
    QJsonObject ended = ringing;
    ended.insert(QStringLiteral("state"), 3);
    sim.pushEvent(QStringLiteral("updateLineStatus"), ended);
    file(QStringLiteral("late"), QStringLiteral("0305555"), later.addSecs(60), 7);
    QTRY_COMPARE(handedOut, 1 + count + 6);
    expected = QStringList{"0305555", "+49301111", "+49302222", "+49303333"} + expected;
    QTRY_COMPARE(numbersInOrder(list.proxyModel()), expected);
    QTRY_COMPARE(list.proxyModel()->index(0, 0).data(UCItem::StateRole).toInt(), 7);
}

QTEST_MAIN(tst_UCConversationsList)
#include "tst_ucconversationslist.moc"
