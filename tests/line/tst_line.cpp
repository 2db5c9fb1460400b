#include "line.h"

#include <QIcon>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>

#include <time.h>

// Server data as the connector hands it over: JSON as variants (null is an invalid variant).
class tst_Line : public QObject
{
    Q_OBJECT

private slots:
    void readsServerData_data();
    void readsServerData();
    void updateReplacesEveryFieldAndSignalsRealChanges();
    void clock_data();
    void clock();
    void callStateIcon_data();
    void callStateIcon();
    void timestampAsTheParserReadsIt_data();
    void timestampAsTheParserReadsIt();
};

namespace {
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
    return {{"callid", line.callId()},          {"firstname", line.remoteFirstName()},
            {"lastname", line.remoteLastName()}, {"company", line.remoteCompanyName()},
            {"remote_number", line.remoteNumber()}, {"caller_addressbook_id", line.remoteId()},
            {"state", int(line.callState())},    {"direction", int(line.callCallDirection())},
            {"duration", line.callDuration()},   {"timestamp", line.callDate()}};
}
}

void tst_Line::readsServerData_data()
{
    // One key replaced; the field it feeds and what it reads as.
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("expected");

    const QVariant null, none(""), zero(0), noTime = QTime(0, 0), noDate = QDateTime();
    for (const char *key : {"callid", "firstname", "lastname", "company", "remote_number", "caller_addressbook_id"})
        QTest::addRow("%s", key) << QString(key) << QVariant("x y") << QVariant("x y");
    QTest::newRow("text null") << "firstname" << null << none;
    QTest::newRow("text a number") << "remote_number" << QVariant(42.0) << none;
    QTest::newRow("state number") << "state" << QVariant(7.0) << QVariant(7);
    QTest::newRow("direction numeric text") << "direction" << QVariant("4") << QVariant(4);
    QTest::newRow("state null") << "state" << null << zero;
    QTest::newRow("state text") << "state" << QVariant("ringing") << zero;
    QTest::newRow("state beyond int") << "state" << QVariant(1e12) << zero;
    QTest::newRow("duration") << "duration" << QVariant("01:02:03") << QVariant(QTime(1, 2, 3));
    QTest::newRow("duration null") << "duration" << null << noTime;
    QTest::newRow("duration 25 hours") << "duration" << QVariant("25:00:00") << noTime;
    QTest::newRow("timestamp") << "timestamp" << QVariant("2016-02-29 23:59:58")
                               << QVariant(QDateTime(QDate(2016, 2, 29), QTime(23, 59, 58)));
    QTest::newRow("timestamp no such day") << "timestamp" << QVariant("2016-02-30 10:00:00") << noDate;
    QTest::newRow("timestamp ISO form") << "timestamp" << QVariant("2016-02-15T10:00:00") << noDate;
}

void tst_Line::readsServerData()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    QFETCH(QVariant, expected);
    QVariantMap data = fullData();
    data.insert(key, value);
    std::unique_ptr<Line> line(Line::fromVariantMap(data));
    std::unique_ptr<Line> reference(Line::fromVariantMap(fullData()));
    QVariantMap fields = fieldsOf(*line), referenceFields = fieldsOf(*reference);
    QCOMPARE(fields.take(key), expected);
    referenceFields.remove(key);
    QCOMPARE(fields, referenceFields); // every other field is unaffected
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
    QCOMPARE(line.callState(), CallState::NoState);
    QCOMPARE(line.callDuration(), QTime(0, 0));
    QVERIFY(!line.secondsTimer()->isActive());
}

void tst_Line::clock_data()
{
    QTest::addColumn<QList<int>>("states");
    QTest::addColumn<QVariant>("duration");
    QTest::addColumn<bool>("running");
    QTest::addColumn<QTime>("afterTwoTicks");
    QTest::newRow("into the next minute") << QList<int>{2} << QVariant("00:00:59") << true << QTime(0, 1, 1);
    QTest::newRow("across midnight") << QList<int>{2} << QVariant("23:59:59") << true << QTime(0, 0, 1);
    QTest::newRow("from no duration") << QList<int>{1, 2} << QVariant() << true << QTime(0, 0, 2);
    QTest::newRow("ringing") << QList<int>{1} << QVariant() << false << QTime(0, 0, 2);
    QTest::newRow("connected, then ended") << QList<int>{2, 3} << QVariant() << false << QTime(0, 0, 2);
}

void tst_Line::clock()
{
    QFETCH(QList<int>, states);
    QFETCH(QVariant, duration);
    QFETCH(bool, running);
    QFETCH(QTime, afterTwoTicks);
    Line line;
    for (int state : states)
        line.updateFromVariantMap({{"state", double(state)}, {"duration", duration}});
    QCOMPARE(line.secondsTimer()->isActive(), running);
    QCOMPARE(line.secondsTimer()->interval(), 1000);
    QSignalSpy changed(&line, &ModelSubclass::changed);
    line.onSecondsTimer();
    line.onSecondsTimer();
    QCOMPARE(line.callDuration(), afterTwoTicks);
    QCOMPARE(changed.count(), 2);
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
    const QPixmap pixmap = CallState::callStateToIcon(CallState::State(state), CallDirection::Direction(direction), {25, 25});
    const QString path = QStringLiteral(":/images/call_states/%1.png").arg(picture);
    QVERIFY2(picture.isEmpty() || QFile::exists(path), qPrintable(path));
    QCOMPARE(pixmap.toImage(), picture.isEmpty() ? QImage() : QIcon(path).pixmap(25, 25).toImage());
}

void tst_Line::timestampAsTheParserReadsIt_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << "2026-12-07 18:37:21";
    QTest::newRow("leap day") << "2024-02-29 00:00:00";
    QTest::newRow("no leap day") << "2026-02-29 12:00:00";
    QTest::newRow("day 31 of a short month") << "2026-04-31 12:00:00";
    QTest::newRow("month 13") << "2026-13-01 12:00:00";
    QTest::newRow("hour 24") << "2026-12-07 24:00:00";
    QTest::newRow("second 60") << "2026-12-07 23:59:60";
    QTest::newRow("year 0") << "0000-01-01 00:00:00";
    QTest::newRow("clock skips an hour") << "2026-03-29 02:30:00";
    QTest::newRow("clock repeats an hour") << "2026-10-25 02:30:00";
    QTest::newRow("other separators") << "2026/12/07 18:37:21";
    QTest::newRow("T between") << "2026-12-07T18:37:21";
    QTest::newRow("one digit short") << "2026-12-7 18:37:21";
    QTest::newRow("trailing space") << "2026-12-07 18:37:21 ";
    QTest::newRow("wide digits") << QStringLiteral("２０２６-12-07 18:37:21");
    QTest::newRow("letters") << "2026-12-07 18:3x:21";
    QTest::newRow("empty") << "";
}

// The quick reading of the usual form must give what the format parser gives, invalid included.
void tst_Line::timestampAsTheParserReadsIt()
{
    QFETCH(QString, text);
    // A zone whose clock skips and repeats an hour in the rows above.
    qputenv("TZ", "Europe/Berlin");
    tzset();
    const QDateTime expected = QDateTime::fromString(text, Line::timestampFormat);
    const QDateTime parsed = Line::parseTimestamp(text);
    QCOMPARE(parsed.isValid(), expected.isValid());
    QCOMPARE(parsed, expected);
    QCOMPARE(parsed.date(), expected.date());
    QCOMPARE(parsed.time(), expected.time());
    QCOMPARE(parsed.timeSpec(), expected.timeSpec());
}

QTEST_MAIN(tst_Line)
#include "tst_line.moc"
