#include "connectedsimulator.h"
#include "cticonnector.h"
#include "queuemonitorcallswidget.h"
#include "queuemonitormainwindow.h"
#include "settings.h"
#include "simqueuecalls.h"
#include "ucitem.h"

#include <QApplication>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QtTest>

// The queue monitor as the main window creates it after login, against the simulator.
class tst_QueueMonitor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rows_data();
    void rows();
    void callsOfAQueue();
    void columnsFitTheirTexts();
    void queuesFromTheConfiguration_data();
    void queuesFromTheConfiguration();
    void geometryStoredOnCloseAndRestoredOnShow();

private:
    //! The rows in the order the view shows them, each row's texts joined by "|".
    static QStringList shownRows(const QueueMonitorCallsWidget &widget);
    //! The queue ids asked for since the last call, in order.
    QStringList askedQueues() { return sim.sent(QStringLiteral("requestQueueCalls"), QStringLiteral("queue_id")); }
    void setQueues(const QStringList &ids);

    ConnectedSimulator sim{"127.0.0.104"};
    CTIConnector *connector = CTIConnector::instance();
};

namespace {
const QString stamp = QStringLiteral("2016-02-15T10:00:00Z");

QJsonObject call(const QString &id, const QString &caller, int state, const QString &agent = QString())
{
    QJsonObject call{{"remote_number", caller}, {"state", state}, {"queue_extension", "700"},
                     {"agent", agent}, {"timestamp", stamp}, {"typ", "queue"}};
    if (!id.isNull())
        call.insert(QStringLiteral("callid"), id);
    return call;
}
}

void tst_QueueMonitor::initTestCase()
{
    sim.logIn(QStringLiteral("anna"), QStringLiteral("secret"));
}

QStringList tst_QueueMonitor::shownRows(const QueueMonitorCallsWidget &widget)
{
    const QAbstractItemModel *model = widget.findChild<QTreeView *>(QStringLiteral("treeView"))->model();
    QStringList rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList texts;
        for (int column = 0; column < model->columnCount(); ++column)
            texts << model->index(row, column).data().toString();
        rows << texts.join(QLatin1Char('|'));
    }
    return rows;
}

void tst_QueueMonitor::setQueues(const QStringList &ids)
{
    QJsonArray queues;
    for (const QString &id : ids)
        queues.append(QJsonObject{{"id", id}, {"extension", QString("7" + id)}});
    QVERIFY(sim.scenario().setSection(QStringLiteral("phoneConfig"), QJsonObject{{"queues", queues}}));
}

void tst_QueueMonitor::rows_data()
{
    QTest::addColumn<int>("sortColumn"); // -1: as the window opens, unsorted
    QTest::addColumn<QList<QJsonObject>>("events");
    QTest::addColumn<QStringList>("expected");

    const QString tail = "|700||" + stamp;
    QTest::newRow("arrival order while unsorted")
        << -1 << QList<QJsonObject>{call("q1", "0711 9", 1), call("q3", "0711 1", 1), call("q2", "0711 5", 1)}
        << QStringList{"q1|0711 9|1" + tail, "q3|0711 1|1" + tail, "q2|0711 5|1" + tail};
    // The view's order is not the table's: an update must find the call's own row.
    QTest::newRow("updates in a sorted view")
        << int(QueueMonitorCallsWidget::CallerColumn)
        << QList<QJsonObject>{call("q1", "0711 3", 1), call("q2", "0711 1", 1), call("q3", "0711 2", 1),
                              call("q1", "0711 3", 2, "Eva Berg"), call("q2", "0711 1", 7)}
        << QStringList{"q2|0711 1|7" + tail, "q3|0711 2|1" + tail, "q1|0711 3|2|700|Eva Berg|" + stamp};
    QTest::newRow("an update moves the row in a sorted view")
        << int(QueueMonitorCallsWidget::CallerColumn)
        << QList<QJsonObject>{call("q1", "0711 1", 1), call("q2", "0711 2", 1), call("q1", "0711 3", 1)}
        << QStringList{"q2|0711 2|1" + tail, "q1|0711 3|1" + tail};
    QTest::newRow("calls without id share a row")
        << -1 << QList<QJsonObject>{call(QString(), "0711 1", 1), call(QString(), "0711 2", 2)}
        << QStringList{"|0711 2|2" + tail};
}

void tst_QueueMonitor::rows()
{
    QFETCH(int, sortColumn);
    QFETCH(QList<QJsonObject>, events);
    QFETCH(QStringList, expected);

    QueueMonitorCallsWidget widget;
    if (sortColumn >= 0)
        widget.findChild<QTreeView *>(QStringLiteral("treeView"))->sortByColumn(sortColumn, Qt::AscendingOrder);
    QList<QPointer<UCItem>> items;
    connect(connector, &CTIConnector::queueCallAdded, &widget, [&items](UCItem *item) { items << item; });
    for (const QJsonObject &event : qAsConst(events))
        sim.pushEvent(QStringLiteral("newQueueCall"), event);
    QTRY_COMPARE(items.size(), events.size());
    QCOMPARE(shownRows(widget), expected);

    // The widget keeps texts, not the items: the connector frees them all, and the rows stay.
    QTRY_VERIFY(std::all_of(items.cbegin(), items.cend(), [](const QPointer<UCItem> &item) { return item.isNull(); }));
    QCOMPARE(shownRows(widget), expected);
}

// Each column as wide as its widest text as rows come and change, the view as wide as the
// columns; a column the user widened stays so.
void tst_QueueMonitor::columnsFitTheirTexts()
{
    QueueMonitorCallsWidget widget;
    widget.show();
    auto *view = widget.findChild<QTreeView *>(QStringLiteral("treeView"));
    const QAbstractItemModel *model = view->model();
    const auto fits = [&] {
        int sum = 0;
        for (int column = 0; column < model->columnCount(); ++column) {
            int widest = view->header()->sectionSizeHint(column);
            for (int row = 0; row < model->rowCount(); ++row)
                widest = std::max(widest, view->sizeHintForIndex(model->index(row, column)).width());
            if (view->header()->sectionSize(column) < widest)
                return false;
            sum += view->header()->sectionSize(column);
        }
        // Up to most of the screen; it scrolls sideways beyond.
        return view->minimumWidth() >= std::min(sum, widget.screen()->availableGeometry().width() * 9 / 10);
    };
    QVERIFY(fits()); // the headers, before any call
    sim.pushEvent(QStringLiteral("newQueueCall"), call("w1", "0711 1", 1));
    QTRY_COMPARE(model->rowCount(), 1);
    QVERIFY(fits());
    const int agentWidth = view->header()->sectionSize(QueueMonitorCallsWidget::AgentColumn);
    sim.pushEvent(QStringLiteral("newQueueCall"), call("w1", "0711 1", 2, "Maximiliane Oberhuber-Schwarzenbach"));
    QTRY_VERIFY(model->index(0, QueueMonitorCallsWidget::AgentColumn).data().toString().startsWith("Maxi"));
    QVERIFY(fits());
    QVERIFY(view->header()->sectionSize(QueueMonitorCallsWidget::AgentColumn) > agentWidth);

    view->header()->resizeSection(QueueMonitorCallsWidget::CallerColumn, 300);
    sim.pushEvent(QStringLiteral("newQueueCall"), call("w2", "+49 711 123456789", 1));
    QTRY_COMPARE(model->rowCount(), 2);
    QVERIFY(fits());
    QCOMPARE(view->header()->sectionSize(QueueMonitorCallsWidget::CallerColumn), 300);

    // A larger font: every text measured anew.
    QFont larger = widget.font();
    larger.setPointSizeF(larger.pointSizeF() * 1.6);
    widget.setFont(larger);
    QVERIFY(fits());
}

void tst_QueueMonitor::callsOfAQueue()
{
    setQueues({"qa", "qb"});
    const QJsonArray waiting{QJsonObject{{"queue_id", "qa"}, {"remote_number", "0711 5550001"}},
                             QJsonObject{{"queue_id", "qa"}, {"remote_number", "0711 5550002"}, {"state", 2}, {"agent", "Eva"}},
                             QJsonObject{{"queue_id", "qa"}, {"remote_number", "0711 5550003"}},
                             QJsonObject{{"queue_id", "qb"}, {"remote_number", "0711 5550004"}}};
    QVERIFY(sim.scenario().setSection(QStringLiteral("queueCalls"), QJsonObject{{"calls", waiting}}));
    QueueMonitorCallsWidget widget;
    const QAbstractItemModel *model = widget.proxyModel();

    connector->requestPhoneConfig();
    QTRY_COMPARE(shownRows(widget).size(), 4);
    const QString since = sim.queueCalls().calls(QStringLiteral("qa")).first().value("timestamp").toString();
    QCOMPARE(shownRows(widget), (QStringList{"q1|0711 5550001|1|7qa||" + since, "q2|0711 5550002|2|7qa|Eva|" + since,
                                             "q3|0711 5550003|1|7qa||" + since, "q4|0711 5550004|1|7qb||" + since}));
    for (int column = 0; column < model->columnCount(); ++column)
        QVERIFY(!(model->index(0, column).flags() & Qt::ItemIsEditable));

    // A caller arrives, an agent takes the call, the caller hangs up: one row throughout.
    const QString id = sim.queueCalls().addCall(QStringLiteral("qa"), SimParty(QStringLiteral("0711 5550009")));
    QTRY_COMPARE(shownRows(widget).size(), 5);
    QVERIFY(sim.queueCalls().updateCall(id, 2, QStringLiteral("Jan")));
    QVERIFY(sim.queueCalls().updateCall(id, 8));
    QTRY_VERIFY(shownRows(widget).at(4).startsWith(id + "|0711 5550009|8|7qa|Jan|"));
    QCOMPARE(shownRows(widget).size(), 5);

    // While the link is down a waiting caller gives up, a talking one hangs up and a caller
    // arrives. Only the row still shown as waiting goes, once both queues have answered.
    QSignalSpy again(connector, &CTIConnector::reconnectSuccess);
    sim.dropAllConnections();
    QTRY_VERIFY(connector->isReconnecting());
    QVERIFY(sim.queueCalls().updateCall(QStringLiteral("q1"), 7));
    QVERIFY(sim.queueCalls().updateCall(QStringLiteral("q2"), 8));
    const QString late = sim.queueCalls().addCall(QStringLiteral("qb"), SimParty(QStringLiteral("0711 5550005")));
    QTRY_COMPARE_WITH_TIMEOUT(again.count(), 1, 12000);
    // Five rows before the answers as after them: wait for what they change.
    QTRY_COMPARE(shownRows(widget).mid(0, 3),
                 (QStringList{"q2|0711 5550002|2|7qa|Eva|" + since, "q3|0711 5550003|1|7qa||" + since,
                              "q4|0711 5550004|1|7qb||" + since}));
    const QStringList rows = shownRows(widget);
    QCOMPARE(rows.size(), 5);
    QVERIFY(rows.at(3).startsWith(id + "|0711 5550009|8|7qa|Jan|"));
    QVERIFY(rows.at(4).startsWith(late + "|0711 5550005|1|7qb||"));

    // The rows left are still updated in place.
    QVERIFY(sim.queueCalls().updateCall(late, 2, QStringLiteral("Jan")));
    QTRY_VERIFY(shownRows(widget).at(4).startsWith(late + "|0711 5550005|2|7qb|Jan|"));
    QCOMPARE(shownRows(widget).size(), 5);
    QVERIFY(sim.scenario().setSection(QStringLiteral("queueCalls"), QJsonObject()));
    askedQueues(); // none left over for the next test
}

void tst_QueueMonitor::queuesFromTheConfiguration_data()
{
    QTest::addColumn<QList<QStringList>>("configurations"); // the queues each lists, one after the other
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QList<bool>>("available"); // queuesAvailable(), once per configuration

    const QString fixed = QueueMonitorCallsWidget::fallbackQueueId;
    QTest::newRow("two queues") << QList<QStringList>{{"qa", "qb"}} << QStringList{"qa", "qb"} << QList<bool>{true};
    QTest::newRow("no queue: the fixed one") << QList<QStringList>{{}} << QStringList{fixed} << QList<bool>{false};
    QTest::newRow("queues listed again are asked for once")
        << QList<QStringList>{{"qa", "qb"}, {"qb", "qc"}} << QStringList{"qa", "qb", "qc"} << QList<bool>{true, true};
    QTest::newRow("no queue twice") << QList<QStringList>{{}, {}} << QStringList{fixed} << QList<bool>{false, false};
    QTest::newRow("queues after none") << QList<QStringList>{{}, {"qa"}} << QStringList{fixed, "qa"}
                                       << QList<bool>{false, true};
    QTest::newRow("none after queues") << QList<QStringList>{{"qa"}, {}} << QStringList{"qa", fixed}
                                       << QList<bool>{true, false};
}

void tst_QueueMonitor::queuesFromTheConfiguration()
{
    QFETCH(QList<QStringList>, configurations);
    QFETCH(QStringList, asked);
    QFETCH(QList<bool>, available);

    QueueMonitorMainWindow window;
    QSignalSpy told(&window, &QueueMonitorMainWindow::queuesAvailable);
    QCOMPARE(askedQueues(), QStringList()); // nothing before a configuration says what to ask for
    QStringList allAsked;
    for (const QStringList &queues : qAsConst(configurations)) {
        setQueues(queues);
        const int before = told.count();
        connector->requestPhoneConfig();
        QTRY_COMPARE(told.count(), before + 1);
        allAsked << askedQueues();
    }
    QCOMPARE(allAsked, asked);
    QList<bool> values;
    for (const QList<QVariant> &arguments : qAsConst(told))
        values << arguments.first().toBool();
    QCOMPARE(values, available);
    QCOMPARE(window.hasQueues(), available.last());
}

void tst_QueueMonitor::geometryStoredOnCloseAndRestoredOnShow()
{
    auto stored = [](const char *key) { return Settings::instance()->getValueForKey("queuemonitor/" + QString(key)).toInt(); };
    auto *window = new QueueMonitorMainWindow;
    window->show();
    window->move(40, 90);
    window->resize(720, 300);
    QVERIFY(window->close());
    QVERIFY(window->isHidden());
    QCOMPARE((QList<int>{stored("x"), stored("y"), stored("width"), stored("height")}), (QList<int>{40, 90, 720, 300}));

    // Shown again after hiding, it stays where the user put it since.
    window->show();
    window->move(200, 150);
    window->hide();
    window->show();
    QCOMPARE(window->pos(), QPoint(200, 150));
    delete window;

    QueueMonitorMainWindow again;
    again.show();
    QCOMPARE(again.size(), QSize(720, 300));
    QCOMPARE(again.pos(), QPoint(40, 90));
}

QTEST_MAIN(tst_QueueMonitor)
#include "tst_queuemonitor.moc"
