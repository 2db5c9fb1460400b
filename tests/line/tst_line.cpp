#include "line.h"

#include <QIcon>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>

// Server line data as the connector hands it over: JSON converted to variants (strings, doubles,
// bools, maps, lists; null is an invalid variant).
class tst_Line : public QObject
{
    Q_OBJECT

private slots:
    void readsServerData_data();
    void readsServerData();
    void updateReplacesEveryFieldAndSignalsRealChanges();
    void clockTicks_data();
    void clockTicks();
    void clockRunsExactlyWhileConnected_data();
    void clockRunsExactlyWhileConnected();
    void clockCountsRealSeconds();
    void remoteNameFormatted_data();
    void remoteNameFormatted();
    void callStateIcon_data();
    void callStateIcon();
};

namespace {
const char *const missingKey = "(key left out)";

QVariantMap fullData()
{
    return {{"callid", "c-1"},         {"firstname", "Erika"},         {"lastname", "Mustermann"},
            {"company", "Muster GmbH"}, {"remote_number", "+49711123"}, {"duration", "00:01:05"},
            {"caller_addressbook_id", "ab-7"}, {"state", 2.0},          {"direction", 1.0},
            {"timestamp", "2016-02-15 10:00:05"}};
}

//! The line's fields under the server key that feeds each.
QVariantMap fieldsOf(Line &line)
{
    return {{"callid", line.callId()},
            {"firstname", line.remoteFirstName()},
            {"lastname", line.remoteLastName()},
            {"company", line.remoteCompanyName()},
            {"remote_number", line.remoteNumber()},
            {"caller_addressbook_id", line.remoteId()},
            {"state", int(line.callState())},
            {"direction", int(line.callCallDirection())},
            {"duration", line.callDuration()},
            {"timestamp", line.callDate()}};
}
}

void tst_Line::readsServerData_data()
{
    // One key replaced (or left out); the field it feeds and what it reads as.
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("expected");

    const QVariant missing(missingKey);
    const QVariant null;
    const QVariant list = QVariantList{1.0, "a"};
    const QVariant map = QVariantMap{{"a", 1.0}};
    for (const char *key : {"callid", "firstname", "lastname", "company", "remote_number", "caller_addressbook_id"}) {
        const QString name = QLatin1String(key);
        QTest::addRow("%s string", key) << name << QVariant("x y") << QVariant("x y");
        QTest::addRow("%s missing", key) << name << missing << QVariant("");
        QTest::addRow("%s null", key) << name << null << QVariant("");
        QTest::addRow("%s number", key) << name << QVariant(42.0) << QVariant("");
        QTest::addRow("%s bool", key) << name << QVariant(true) << QVariant("");
        QTest::addRow("%s array", key) << name << list << QVariant("");
        QTest::addRow("%s object", key) << name << map << QVariant("");
    }
    for (const char *key : {"state", "direction"}) {
        const QString name = QLatin1String(key);
        QTest::addRow("%s number", key) << name << QVariant(7.0) << QVariant(7);
        QTest::addRow("%s numeric text", key) << name << QVariant("4") << QVariant(4);
        QTest::addRow("%s missing", key) << name << missing << QVariant(0);
        QTest::addRow("%s null", key) << name << null << QVariant(0);
        QTest::addRow("%s text", key) << name << QVariant("ringing") << QVariant(0);
        QTest::addRow("%s bool", key) << name << QVariant(true) << QVariant(0);
        QTest::addRow("%s array", key) << name << list << QVariant(0);
        QTest::addRow("%s object", key) << name << map << QVariant(0);
        QTest::addRow("%s beyond int", key) << name << QVariant(1e12) << QVariant(0);
        QTest::addRow("%s negative", key) << name << QVariant(-1.0) << QVariant(-1);
    }
    const QVariant zero = QTime(0, 0);
    QTest::newRow("duration") << "duration" << QVariant("01:02:03") << QVariant(QTime(1, 2, 3));
    QTest::newRow("duration missing") << "duration" << missing << zero;
    QTest::newRow("duration null") << "duration" << null << zero;
    QTest::newRow("duration no time") << "duration" << QVariant("soon") << zero;
    QTest::newRow("duration 25 hours") << "duration" << QVariant("25:00:00") << zero;
    QTest::newRow("duration seconds") << "duration" << QVariant(65.0) << zero;
    QTest::newRow("duration array") << "duration" << list << zero;
    const QVariant invalidDate = QDateTime();
    QTest::newRow("timestamp") << "timestamp" << QVariant("2016-02-29 23:59:58")
                               << QVariant(QDateTime(QDate(2016, 2, 29), QTime(23, 59, 58)));
    QTest::newRow("timestamp missing") << "timestamp" << missing << invalidDate;
    QTest::newRow("timestamp null") << "timestamp" << null << invalidDate;
    QTest::newRow("timestamp no such day") << "timestamp" << QVariant("2016-02-30 10:00:00") << invalidDate;
    QTest::newRow("timestamp ISO form") << "timestamp" << QVariant("2016-02-15T10:00:00") << invalidDate;
    QTest::newRow("timestamp number") << "timestamp" << QVariant(1455530400.0) << invalidDate;
    QTest::newRow("timestamp object") << "timestamp" << map << invalidDate;
}

void tst_Line::readsServerData()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    QFETCH(QVariant, expected);

    QVariantMap data = fullData();
    if (value == QVariant(missingKey))
        data.remove(key);
    else
        data.insert(key, value); // JSON null arrives as an invalid variant
    std::unique_ptr<Line> line(Line::fromVariantMap(data));
    std::unique_ptr<Line> reference(Line::fromVariantMap(fullData()));
    const QVariantMap fields = fieldsOf(*line);
    const QVariantMap referenceFields = fieldsOf(*reference);

    QCOMPARE(fields.value(key), expected);
    for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
        if (it.key() != key)
            QCOMPARE(it.value(), referenceFields.value(it.key())); // the other fields are unaffected
    }
}

void tst_Line::updateReplacesEveryFieldAndSignalsRealChanges()
{
    Line line;
    QSignalSpy changed(&line, &ModelSubclass::changed);
    line.updateFromVariantMap(fullData());
    QCOMPARE(changed.count(), 9); // nine stored values; the call date has no signal
    line.updateFromVariantMap(fullData());
    QCOMPARE(changed.count(), 9);

    line.updateFromVariantMap({{"callid", "c-1"}});
    QCOMPARE(line.callId(), QStringLiteral("c-1"));
    QCOMPARE(line.remoteFirstName(), QString());
    QCOMPARE(line.remoteId(), QString());
    QCOMPARE(line.callState(), CallState::NoState);
    QCOMPARE(line.callDuration(), QTime(0, 0));
    QVERIFY(!line.callDate().isValid());
    QVERIFY(!line.secondsTimer()->isActive());
}

void tst_Line::clockTicks_data()
{
    QTest::addColumn<QVariant>("duration");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QTime>("expected");
    QTest::newRow("three seconds") << QVariant("00:00:10") << 3 << QTime(0, 0, 13);
    QTest::newRow("into the next minute") << QVariant("00:00:59") << 1 << QTime(0, 1, 0);
    QTest::newRow("across midnight") << QVariant("23:59:59") << 1 << QTime(0, 0, 0);
    QTest::newRow("across midnight, on") << QVariant("23:59:58") << 3 << QTime(0, 0, 1);
    QTest::newRow("from no duration") << QVariant() << 2 << QTime(0, 0, 2);
}

void tst_Line::clockTicks()
{
    QFETCH(QVariant, duration);
    QFETCH(int, ticks);
    QFETCH(QTime, expected);
    std::unique_ptr<Line> line(Line::fromVariantMap({{"state", 2.0}, {"duration", duration}}));
    QSignalSpy changed(line.get(), &ModelSubclass::changed);
    for (int i = 0; i < ticks; ++i)
        line->onSecondsTimer();
    QCOMPARE(line->callDuration(), expected);
    QCOMPARE(changed.count(), ticks);
}

void tst_Line::clockRunsExactlyWhileConnected_data()
{
    QTest::addColumn<QList<int>>("states");
    QTest::addColumn<bool>("running");
    QTest::newRow("connected") << QList<int>{2} << true;
    QTest::newRow("ringing") << QList<int>{1} << false;
    QTest::newRow("connected, then ringing") << QList<int>{2, 1} << false;
    QTest::newRow("connected, then ended") << QList<int>{2, 3} << false;
    QTest::newRow("ringing, then connected") << QList<int>{1, 2} << true;
    QTest::newRow("connected twice") << QList<int>{2, 2} << true;
}

void tst_Line::clockRunsExactlyWhileConnected()
{
    QFETCH(QList<int>, states);
    QFETCH(bool, running);
    Line line;
    for (int state : states)
        line.updateFromVariantMap({{"state", double(state)}});
    QCOMPARE(line.secondsTimer()->isActive(), running);
    QCOMPARE(line.secondsTimer()->interval(), 1000);
}

void tst_Line::clockCountsRealSeconds()
{
    std::unique_ptr<Line> line(Line::fromVariantMap({{"state", 2.0}, {"duration", "00:00:10"}}));
    QSignalSpy changed(line.get(), &ModelSubclass::changed);
    QElapsedTimer clock;
    clock.start();

    // A second report of the connected state starts a new full second.
    QTest::qWait(400);
    line->setCallState(CallState::Connected);
    // Without the restart, at most 600 ms would be left (less on a busy machine).
    QVERIFY2(line->secondsTimer()->remainingTime() > 700, qPrintable(QString::number(line->secondsTimer()->remainingTime())));

    QTRY_COMPARE_WITH_TIMEOUT(line->callDuration(), QTime(0, 0, 13), 10000);
    QCOMPARE(changed.count(), 3);
    // Real seconds: three ticks after the restart (a coarse timer may fire up to 5 % early).
    QVERIFY2(clock.elapsed() >= 400 + 3 * 950, qPrintable(QString::number(clock.elapsed())));
}

void tst_Line::remoteNameFormatted_data()
{
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("expected");
    QTest::newRow("both") << "Mustermann" << "Erika" << "Mustermann, Erika";
    QTest::newRow("first only") << "" << "Erika" << "Erika";
    QTest::newRow("last only") << "Mustermann" << "" << "Mustermann, ";
    QTest::newRow("none") << "" << "" << "";
}

void tst_Line::remoteNameFormatted()
{
    QFETCH(QString, last);
    QFETCH(QString, first);
    QFETCH(QString, expected);
    std::unique_ptr<Line> line(
        Line::fromVariantMap({{"lastname", last}, {"firstname", first}, {"company", "Muster GmbH"}}));
    QCOMPARE(line->remoteNameFormatted(), expected);
}

void tst_Line::callStateIcon_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("direction");
    QTest::addColumn<QString>("picture"); // empty: a null pixmap

    const char *names[] = {nullptr, "ring_yellow", "call_green", nullptr, "call_yellow",
                           nullptr, nullptr,       "call_red",   "call_green"};
    for (int direction : {0, 1, 2, -1}) {
        const QString prefix = direction == 0 ? QStringLiteral("out_") : QStringLiteral("in_");
        for (int state = -1; state <= 9; ++state) {
            const char *name = state >= 0 && state <= 8 ? names[state] : nullptr;
            QTest::addRow("state %d, direction %d", state, direction)
                << state << direction << (name ? prefix + QLatin1String(name) : QString());
        }
    }
}

void tst_Line::callStateIcon()
{
    QFETCH(int, state);
    QFETCH(int, direction);
    QFETCH(QString, picture);
    const auto callState = static_cast<CallState::State>(state);
    const auto callDirection = static_cast<CallDirection::Direction>(direction);

    for (const QSize size : {QSize(32, 32), QSize(25, 25)}) {
        const QPixmap pixmap = CallState::callStateToIcon(callState, callDirection, size);
        if (picture.isEmpty()) {
            QVERIFY(pixmap.isNull());
            continue;
        }
        const QString path = QStringLiteral(":/images/call_states/") + picture + QStringLiteral(".png");
        QVERIFY2(QFile::exists(path), qPrintable(path));
        QCOMPARE(pixmap.size(), size);
        QCOMPARE(pixmap.toImage(), QIcon(path).pixmap(size).toImage());
    }
}

QTEST_MAIN(tst_Line)
#include "tst_line.moc"
