#include "soakbenchmark.h"

#include "benchreport.h"
#include "benchsession.h"
#include "ctimainwindow.h"
#include "cticonnector.h"
#include "line.h"
#include "pbxsimulator.h"
#include "rolloverpopup.h"
#include "ucconversationslist.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QSortFilterProxyModel>

namespace {

constexpr int callCount = 100000;
constexpr int measuredFrom = 10000;
//! Calls that ring at the same time.
constexpr int burst = 10;
const QString address = QStringLiteral("127.0.0.4");

//! A history that fills the conversations list: every later call pushes an old one out.
QJsonObject fullHistory()
{
    const QDateTime start(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
    QJsonObject items;
    for (int i = 0; i < UCConversationsList::maxRows; ++i) {
        items.insert(QStringLiteral("uc%1").arg(i, 8, 10, QLatin1Char('0')),
                     QJsonObject{{"callid", QStringLiteral("history-%1").arg(i)}, {"direction", 1}, {"duration", 60},
                                 {"remote_number", QStringLiteral("+49711%1").arg(1000000 + i)}, {"state", 8},
                                 {"timestamp", start.addSecs(60 * i).toString(Qt::ISODate)}, {"typ", "call"}});
    }
    return items;
}

QString lineEvent(int call, int state, const QString &started)
{
    return QStringLiteral(R"({"type":"event","name":"updateLineStatus","data":{"callid":"soak-%1","state":%2,)"
                          R"("direction":1,"remote_number":"+4930%3","lastname":"Muster%4","firstname":"Erika",)"
                          R"("company":"Muster Handel GmbH","timestamp":"%5","duration":"00:00:0%6"}})")
        .arg(call)
        .arg(state)
        .arg(5000000 + call)
        .arg(call % 1000)
        .arg(started)
        .arg(state >= 3 ? 7 : 0);
}

//! Handed to the connector from the event loop, as a socket would: what it and its receivers
//! leave to deleteLater() is deleted as in the running program.
void deliver(const QString &text)
{
    CTIConnector *connector = CTIConnector::instance();
    QMetaObject::invokeMethod(connector, [connector, text] { connector->onMessage(text); }, Qt::QueuedConnection);
}

int popUpCount()
{
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        count += qobject_cast<RollOverPopUp *>(widget) ? 1 : 0;
    return count;
}

//! Lets every pop-up roll out and go, and what was freed settle.
void settle()
{
    spinUntil([] { return popUpCount() == 0; }, 30000);
    spinUntil([] { return false; }, 200);
}

} // namespace

void runSoakBenchmark(BenchReport &report)
{
    PbxSimulator sim{QHostAddress(address)};
    sim.addAccount(QStringLiteral("bench"), QStringLiteral("bench"));
    if (!listenAndLogIn(sim, "soak"))
        return;
    auto *window = new CTIMainWindow;
    window->show();
    const QSortFilterProxyModel *conversations = window->findChild<UCConversationsList *>()->proxyModel();
    sim.pushResponse(QStringLiteral("requestUCItems"), QJsonObject{{"items", fullHistory()}});
    if (!spinUntil([&] { return conversations->rowCount() == UCConversationsList::maxRows; }, 120000))
        qWarning("soak benchmark: history of %d rows listed", conversations->rowCount());

    QElapsedTimer clock;
    clock.start();
    double residentAtStart = 0;
    const QString started = QDateTime::currentDateTime().toString(Line::timestampFormat);
    for (int first = 0; first < callCount; first += burst) {
        if (first == measuredFrom) {
            settle();
            residentAtStart = residentMb();
        }
        for (int call = first; call < first + burst; ++call)
            deliver(lineEvent(call, 1, started));
        spinUntil([&] { return window->lineViews().size() == burst; }, 10000);
        for (int call = first; call < first + burst; ++call)
            deliver(lineEvent(call, 2, started));
        QCoreApplication::processEvents();
        for (int call = first; call < first + burst; ++call)
            deliver(lineEvent(call, 3, started));
        spinUntil([&] { return window->lineViews().isEmpty(); }, 10000);
    }
    settle();
    const double residentAtEnd = residentMb();
    const double seconds = clock.nsecsElapsed() / 1e9;
    const int rows = conversations->rowCount();
    delete window;

    report.add(QStringLiteral("soak.calls"), callCount, QStringLiteral("calls"));
    report.add(QStringLiteral("soak.seconds"), seconds, QStringLiteral("s"));
    report.add(QStringLiteral("soak.conversation_rows"), rows, QStringLiteral("rows"), UCConversationsList::maxRows,
               BenchReport::Goal::AtMost);
    report.add(QStringLiteral("soak.rss_mb"), residentAtEnd, QStringLiteral("MB"));
    report.add(QStringLiteral("soak.rss_growth_pct"), 100.0 * (residentAtEnd - residentAtStart) / residentAtStart,
               QStringLiteral("%"), 10.0, BenchReport::Goal::AtMost);
}
