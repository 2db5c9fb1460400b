#include "connectedsimulator.h"
#include "cticonnector.h"
#include "forwardpreset.h"
#include "phone.h"
#include "queue.h"
#include "settings.h"
#include "user.h"

#include <QPointer>
#include <QtTest>

#include <functional>

using Command = std::function<void(CTIConnector *)>;
Q_DECLARE_METATYPE(Command)

// The connector is one per process and keeps every record it has seen: rows use ids of their own.
class tst_ConnectorBuddiesPhones : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void commands_data();
    void commands();
    void handlers_data();
    void handlers();
    void handedOutRecordsFreed();

private:
    //! Pairs of "type name" and raw data text, so data can be what no QJsonObject holds.
    void push(const QStringList &messages);
    //! Returns once everything pushed before has been handled.
    void settle();
    //! "#n": the n-th distinct record announced in this row.
    QString tag(ModelSubclass *record);

    ConnectedSimulator sim{"127.0.0.30"};
    CTIConnector *connector = CTIConnector::instance();
    QStringList log;
    QList<QPointer<ModelSubclass>> seen;
};

void tst_ConnectorBuddiesPhones::initTestCase()
{
    sim.logIn("anna", "pw");

    auto buddy = [this](const char *sign, User *u) {
        log << QStringLiteral("%1%2 %3 %4%5 %6").arg(sign, u->id(), u->getExtension(), u->getPhonePresence(),
                                                     u->getDND() ? " dnd" : "", tag(u));
    };
    auto phone = [this](const char *signal, Phone *p) {
        log << QStringLiteral("%1 %2 %3 %4 %5").arg(signal, p->id(), p->phoneModelName(), p->isAssigned() ? "on" : "off", tag(p));
    };
    auto queue = [this](const char *signal, Queue *q) {
        log << QStringLiteral("%1 %2 %3 %4%5 %6").arg(signal, q->id(), q->getName(), q->loggedIn() ? "in" : "out",
                                                     q->isStatic() ? " static" : "", tag(q));
    };
    connect(connector, &CTIConnector::jabberBuddyAdded, this, [buddy](User *u) { buddy("+", u); });
    connect(connector, &CTIConnector::jabberBuddyChanged, this, [buddy](User *u) { buddy("~", u); });
    connect(connector, &CTIConnector::jabberBuddyDeleted, this, [buddy](User *u) { buddy("-", u); });
    connect(connector, &CTIConnector::phoneRemoved, this, [phone](Phone *p) { phone("phoneRemoved", p); });
    connect(connector, &CTIConnector::queueRemoved, this, [queue](Queue *q) { queue("queueRemoved", q); });
    connect(connector, &CTIConnector::forwardPresetRemoved, this, [this](const QString &id) { log << "preset gone " + id; });
    connect(connector, &CTIConnector::phoneAdded, this, [phone](Phone *p) { phone("phoneAdded", p); });
    connect(connector, &CTIConnector::phoneChanged, this, [phone](Phone *p) { phone("phoneChanged", p); });
    connect(connector, &CTIConnector::queueAdded, this, [queue](Queue *q) { queue("queueAdded", q); });
    connect(connector, &CTIConnector::queueChanged, this, [queue](Queue *q) { queue("queueChanged", q); });
    connect(connector, &CTIConnector::forwardPresetAdded, this,
            [this](ForwardPreset *p) { log << "preset " + p->id() + ' ' + p->presetName() + ' ' + tag(p); });
    connect(connector, &CTIConnector::activeForwardPresetChanged, this, [this](const QString &id) { log << "active " + id; });
    connect(connector, &CTIConnector::dndStatusChanged, this, [this](bool on) { log << (on ? "dnd on" : "dnd off"); });
    connect(connector, &CTIConnector::dialPrefixChanged, this, [this](const QString &prefix) {
        // Receivers may read the store: it must hold the new prefix already.
        log << "prefix " + prefix + " stored " + Settings::instance()->getValueForKey("dialPrefix").toString();
    });
}

void tst_ConnectorBuddiesPhones::cleanup()
{
    // Each row starts from nothing: whole lists of none.
    push({"response requestJabberBuddies", R"({"groups":{}})", "response requestPhoneConfig",
          R"({"callForwardPresets":{},"phones":{},"queues":{}})"});
    settle();
    log.clear();
    seen.clear();
}

void tst_ConnectorBuddiesPhones::push(const QStringList &messages)
{
    for (int i = 0; i + 1 < messages.size(); i += 2) {
        const QStringList typeAndName = messages.at(i).split(' ');
        sim.pushText(QStringLiteral(R"({"type":"%1","name":"%2","uuid":"u","data":%3})")
                         .arg(typeAndName.value(0), typeAndName.value(1), messages.at(i + 1)));
    }
}

void tst_ConnectorBuddiesPhones::settle()
{
    const int before = log.size();
    sim.pushEvent("phoneConfigChanged", {{"activeForwardPreset", "settled"}});
    QTRY_VERIFY(log.size() > before && log.last() == QLatin1String("active settled"));
    log.removeLast();
}

QString tst_ConnectorBuddiesPhones::tag(ModelSubclass *record)
{
    if (!seen.contains(record))
        seen << record;
    return '#' + QString::number(seen.indexOf(record));
}

void tst_ConnectorBuddiesPhones::commands_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QJsonObject>("data");
    auto row = [](const char *tag, Command c, const char *name, QJsonObject data) { QTest::newRow(tag) << c << name << data; };
    row("requestJabberBuddies", [](CTIConnector *c) { c->requestJabberBuddies(); }, "requestJabberBuddies", {});
    row("requestPhoneConfig", [](CTIConnector *c) { c->requestPhoneConfig(); }, "requestPhoneConfig", {});
    row("loginPhone", [](CTIConnector *c) { c->loginPhone("ph 1"); }, "loginPhone", {{"id", "ph 1"}});
    row("logoutPhone", [](CTIConnector *c) { c->logoutPhone("ph\"2"); }, "logoutPhone", {{"id", "ph\"2"}});
    row("loginQueue", [](CTIConnector *c) { c->loginQueue("500"); }, "loginQueue", {{"id", "500"}});
    row("logoutQueue", [](CTIConnector *c) { c->logoutQueue("Süd"); }, "logoutQueue", {{"id", "Süd"}});
    // QJsonValue("1") differs from 1 and true: the value must go as text.
    row("setDndOn", [](CTIConnector *c) { c->setDndOn(); }, "setDnd", {{"value", "1"}});
    row("setDndOff", [](CTIConnector *c) { c->setDndOff(); }, "setDnd", {{"value", "0"}});
    row("setActiveForwardPreset", [](CTIConnector *c) { c->setActiveForwardPreset("fp-2"); }, "setActiveForwardPreset",
        {{"id", "fp-2"}});
}

void tst_ConnectorBuddiesPhones::commands()
{
    QFETCH(Command, command);
    sim.clearReceived();
    command(connector);
    QVERIFY(log.isEmpty());   // the cache waits for the server's events
    QTRY_COMPARE(sim.receivedCommands().size(), 1);
    const QJsonObject received = sim.receivedCommands().first();
    QTEST(received.value("name").toString(), "name");
    QCOMPARE(received.value("type").toString(), QStringLiteral("command"));
    QTEST(received.value("data").toObject(), "data");
    settle();   // whatever the simulator answers is not this row's concern
}

void tst_ConnectorBuddiesPhones::handlers_data()
{
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("expected");
    const QString list = "response requestJabberBuddies", presence = "event updateUserPresence";
    const QString config = "response requestPhoneConfig";
    // JSON text order is the reverse of the order the records must come in.
    QTest::newRow("buddies by group, then member") << QStringList{list, R"({"groups":{
            "sales":{"users":{"zz":{"id":"o-1","extension":31},"aa":{"id":"o-2","extension":"32"}}},
            "admin":{"users":{"y":{"id":"o-3","extension":"33"},"b":{"id":"o-4","extension":"34"}}}}})"}
        << QStringList{"+o-4 34  #0", "+o-3 33  #1", "+o-2 32  #2", "+o-1 31  #3"};
    QTest::newRow("buddy listed twice: the fresh record goes out") << QStringList{list, R"({"groups":{
            "a":{"users":{"x":{"id":"d-1","extension":"41"}}},"b":{"users":{"x":{"id":"d-1","extension":"42"}}}}})"}
        << QStringList{"+d-1 41  #0", "~d-1 42  #1"};
    // A list is the whole picture: who it no longer lists goes, and keys no longer sent read as
    // absent (the presence event shows the stored record). A list of no shape says nothing.
    QTest::newRow("buddy list replaces ours") << QStringList{
            list, R"({"groups":{"a":{"users":{"x":{"id":"r-1","extension":"71","phone_presence":"free","dnd":true},
                                                 "y":{"id":"r-2","extension":"72"}}}}})",
            list, R"({"groups":{"a":{"users":{"x":{"id":"r-1","extension":"71"}}}}})",
            presence, R"({"id":"r-1","jabber_presence":1})"}
        << QStringList{"+r-1 71 free dnd #0", "+r-2 72  #1", "~r-1 71  #2", "-r-2 72  #1", "~r-1 71  #0"};
    QTest::newRow("buddy lists of bad shape") << QStringList{
            list, R"({"groups":{"a":{"users":{"x":{"id":"b-0","extension":"50"}}}}})",
            list, R"({"groups":[{"users":{"x":{"id":"b-4"}}}]})", list, R"({"groups":null})", list, R"([{"groups":{}}])",
            list, R"({"groups":{"a":[],"b":"x","c":null,"d":{"users":[{"id":"b-1"}]},"e":{"users":null},
                    "f":{"members":{"x":{"id":"b-2"}}},"g":{"users":{"s":"text","n":null,"l":[{"id":"b-3"}],"k":7}}}})"}
        << QStringList{"+b-0 50  #0", "-b-0 50  #0"};
    QTest::newRow("presence merges into the stored record") << QStringList{
            list, R"({"groups":{"a":{"users":{"x":{"id":"p-1","extension":"81","phone_presence":"free","dnd":false}}}}})",
            presence, R"({"id":"p-1","phone_presence":"ringing"})", presence, R"({"id":"p-1","dnd":true})",
            presence, R"({"id":"p-1","phone_presence":{"state":"busy"}})", presence, R"({"id":"nobody","dnd":true})"}
        << QStringList{"+p-1 81 free #0", "~p-1 81 ringing #0", "~p-1 81 ringing dnd #0", "~p-1 81  dnd #0"};
    QTest::newRow("no presence event reaches the buddy without id") << QStringList{
            list, R"({"groups":{"a":{"users":{"x":{"extension":"61"},"y":{"id":null,"extension":"62"}}}}})",
            presence, R"({"dnd":true})", presence, R"({"id":null,"dnd":true})", presence, R"({"id":{},"dnd":true})",
            presence, R"([{"dnd":true}])"}
        << QStringList{"+ 61  #0", "~ 62  #1"};
    QTest::newRow("configuration in order") << QStringList{config, R"({
            "queues":{"b":{"id":"cq-2","name":"Sales","loggedIn":true},"a":{"id":"cq-1","name":"Hotline","static_member":true}},
            "phones":{"z":{"id":"cp-1","type":"Desk","assigned":false},"m":{"id":"cp-2","type":"Soft","assigned":"1"}},
            "dndActive":true,"dialprefix":"0","activeForwardPreset":"fp-2",
            "callForwardPresets":{"2":{"id":"fp-2","name":"Away"},"1":{"id":"fp-1","name":"Office"}}})"}
        << QStringList{"preset fp-1 Office #0", "preset fp-2 Away #1", "active fp-2", "prefix 0 stored 0", "dnd on",
                       "phoneAdded cp-2 Soft on #2", "phoneAdded cp-1 Desk off #3", "queueAdded cq-1 Hotline out static #4",
                       "queueAdded cq-2 Sales in #5"};
    QTest::newRow("configuration replaces ours, a list of no shape says nothing") << QStringList{
            config, R"({"callForwardPresets":{"1":{"id":"fa","name":"A"},"2":{"id":"fb","name":"B"}},
                        "phones":{"1":{"id":"pa","type":"Desk"},"2":{"id":"pb","type":"Soft"}},
                        "queues":{"1":{"id":"qa","name":"Hotline"},"2":{"id":"qb","name":"Sales"}}})",
            config, R"({"callForwardPresets":{"2":{"id":"fb","name":"B"}},"phones":{"2":{"id":"pb","type":"Soft"}},
                        "queues":{}})",
            config, R"({"callForwardPresets":[],"phones":null,"queues":"none"})"}
        << QStringList{"preset fa A #0", "preset fb B #1", "active ", "prefix  stored ", "phoneAdded pa Desk off #2",
                       "phoneAdded pb Soft off #3", "queueAdded qa Hotline out #4", "queueAdded qb Sales out #5",
                       "preset fb B #6", "preset gone fa", "active ", "prefix  stored ", "phoneAdded pb Soft off #3",
                       "phoneRemoved pa Desk off #2", "queueRemoved qa Hotline out #4", "queueRemoved qb Sales out #5",
                       "active ", "prefix  stored "};
    // Do-not-disturb is told only where the configuration says it.
    QTest::newRow("configuration of bad shape: defaults, prefix emptied") << QStringList{
            config, "{}", config, R"([{"dndActive":true}])", config, R"({"callForwardPresets":[{"id":"f"}],
            "phones":{"a":[1],"b":3},"queues":null,"activeForwardPreset":7,"dialprefix":{"v":"9"},"dndActive":"0"})",
            config, R"({"dndActive":{"on":true}})"}
        << QStringList{"active ", "prefix  stored ", "active ", "prefix  stored ",
                       "active 7", "prefix  stored ", "dnd off", "active ", "prefix  stored "};
    QTest::newRow("phone and agent first seen by a change, then merged") << QStringList{
            "event phoneChanged", R"({"phone":{"id":"ep-1","type":"Desk","assigned":false}})",
            "event phoneChanged", R"({"phone":{"id":"ep-1","assigned":true}})",
            "event agentChanged", R"({"agent":{"id":"eq-1","name":"Hotline","static_member":true}})",
            "event agentChanged", R"({"agent":{"id":"eq-1","loggedIn":"1"}})"}
        << QStringList{"phoneChanged ep-1 Desk off #0", "phoneChanged ep-1 Desk on #0",
                       "queueChanged eq-1 Hotline out static #1", "queueChanged eq-1 Hotline in static #1"};
    QTest::newRow("changes without a record are dropped, one without id is kept") << QStringList{
            "event phoneChanged", "{}", "event phoneChanged", R"({"phone":[{"id":"x"}]})",
            "event phoneChanged", R"({"phone":"x"})", "event agentChanged", R"({"agent":null})",
            "event agentChanged", "[]", "event queueChanged", R"({"id":"eq-1","name":"X"})",
            "event phoneChanged", R"({"phone":{"type":"Anon"}})"}
        << QStringList{"phoneChanged  Anon off #0"};
    QTest::newRow("config changed event") << QStringList{
            "event phoneConfigChanged", R"({"activeForwardPreset":"fp-2","dnd":true})",
            "event phoneConfigChanged", R"({"dndActive":true})",
            "event phoneConfigChanged", R"({"activeForwardPreset":["fp-2"],"dnd":{"on":true}})",
            "event phoneConfigChanged", R"({"dnd":null})", "event phoneConfigChanged", R"({"dnd":false})"}
        << QStringList{"active fp-2", "dnd on", "active ", "active ", "active ", "active ", "dnd off"};
}

void tst_ConnectorBuddiesPhones::handlers()
{
    QFETCH(QStringList, messages);
    Settings::instance()->setValueForKey("dialPrefix", "old");
    push(messages);
    settle();
    QTEST(log, "expected");
}

void tst_ConnectorBuddiesPhones::handedOutRecordsFreed()
{
    const QStringList first{"response requestJabberBuddies", R"({"groups":{"a":{"users":{"x":{"id":"r-1"}}}}})",
                            "response requestJabberBuddies", R"({"groups":{"a":{"users":{"x":{"id":"r-1"}}}}})",
                            "response requestPhoneConfig", R"({"callForwardPresets":{"a":{"id":"rp-1"}},
                                "phones":{"a":{"id":"rp-2","type":"Desk","assigned":true,"ipv4_address":"10.0.0.9"}}})"};
    push(first);
    settle();
    const QList<QPointer<ModelSubclass>> handedOut = seen;   // buddy, its stand-in, preset, phone
    QCOMPARE(handedOut.size(), 4);
    QCoreApplication::processEvents();
    QVERIFY(handedOut.at(1) && handedOut.at(2));   // valid after delivery, until replaced

    // The phone comes again without its address: the same record, updated, as rows point to it.
    push({"response requestJabberBuddies", "{}", "response requestPhoneConfig",
          R"({"callForwardPresets":{},"phones":{"a":{"id":"rp-2","type":"Desk 2"}}})"});
    settle();
    QCOMPARE(log.last(), QStringLiteral("phoneAdded rp-2 Desk 2 off #3"));
    QCOMPARE(qobject_cast<Phone *>(handedOut.at(3))->getIpV4Address(), QString());
    QTRY_VERIFY(handedOut.at(1).isNull() && handedOut.at(2).isNull());
    QVERIFY(handedOut.at(0));

    // Records no list has any more: freed once delivered, unless a receiver adopted one.
    QObject adopter;
    connect(connector, &CTIConnector::phoneRemoved, &adopter, [&adopter](Phone *p) { p->setParent(&adopter); });
    push({"response requestJabberBuddies", R"({"groups":{}})", "response requestPhoneConfig", R"({"phones":{}})"});
    settle();
    QVERIFY(log.contains("-r-1   #0") && log.contains("phoneRemoved rp-2 Desk 2 off #3"));
    QTRY_VERIFY(handedOut.at(0).isNull());
    QCoreApplication::processEvents();
    QVERIFY(handedOut.at(3) && handedOut.at(3)->parent() == &adopter);
}

QTEST_GUILESS_MAIN(tst_ConnectorBuddiesPhones)
#include "tst_connector_buddies_phones.moc"
