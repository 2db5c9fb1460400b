#include "pbxsimulator.h"
#include "simaddressbooks.h"
#include "simcalls.h"
#include "simphoneconfig.h"
#include "simpresence.h"
#include "simqueuecalls.h"

#include <QWebSocket>
#include <QtTest>

#include <memory>

namespace {

const QString Queue = QStringLiteral("c1cb000b-67c4-4f15-b7c4-cc504c7edfc3");

// Small and fast: the PBX answers dialled numbers within 50 ms.
const char *const TestScenario = R"({
    "accounts": [{"user": "anna", "password": "secret"}, {"user": "carl", "password": "123"}],
    "calls": {"answerDelayMs": 50, "failDelayMs": 50, "busyNumbers": ["0711 999"], "unansweredNumbers": ["0711 888"]},
    "colleagues": {
        "users": [
            {"id": "u1", "extension": "201", "firstname": "Anna", "lastname": "Schäfer", "name": "anna",
             "phone_presence": "online", "dnd": false},
            {"id": "u2", "extension": "202", "firstname": "Jonas", "lastname": "Becker", "name": "jbecker",
             "phone_presence": "online", "dnd": false, "jabber_presence": "1"},
            {"id": "u3", "extension": "203", "firstname": "Lena", "lastname": "Hoffmann", "phone_presence": "online",
             "dnd": true}
        ],
        "groups": {"Sales": ["u1", "u2"], "Support": ["u2", "u3"]}
    },
    "phoneConfig": {
        "dialPrefix": "0", "activeForwardPreset": "p1",
        "forwardPresets": [{"id": "p1", "name": "None", "configs": {"rules": []}}, {"id": "p2", "name": "Mobile"}],
        "phones": [{"id": "ph1", "assigned": true}, {"id": "ph2", "assigned": false}],
        "queues": [{"id": "c1cb000b-67c4-4f15-b7c4-cc504c7edfc3", "extension": "600", "loggedIn": false},
                   {"id": "q2", "extension": "610", "static_member": true}]
    },
    "addressBooks": {"books": [
        {"id": "1", "title": "Contacts", "contacts": [{"id": "c1", "n_given": "Anna", "n_family": "Meyer",
                                                       "org_name": "Example Ltd", "tel_work": "0711 123456"}]},
        {"id": "2", "title": "Directory", "perm": "r", "generate": 30, "seed": 4}
    ]},
    "history": {"generate": 50, "seed": 5},
    "queueCalls": {"calls": [{"queue_id": "c1cb000b-67c4-4f15-b7c4-cc504c7edfc3", "remote_number": "0221 123"}]}
})";

QString compact(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QJsonObject object(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

// A bare WebSocket client that knows only the wire format, none of the product's code.
class Client
{
public:
    Client()
    {
        QObject::connect(&m_socket, &QWebSocket::textMessageReceived, [this](const QString &text) {
            m_received.append(QJsonDocument::fromJson(text.toUtf8()).object());
        });
    }

    bool logIn(const QUrl &url, const QString &user = QStringLiteral("anna"), const QString &pass = QStringLiteral("secret"))
    {
        QSignalSpy connected(&m_socket, &QWebSocket::connected);
        m_socket.open(url);
        if (!connected.wait(5000))
            return false;
        return request("login", {{"user", user}, {"pass", pass}, {"crypt", "no"}}).value("status") == 200;
    }

    QString send(const QString &name, const QJsonObject &data)
    {
        const QString uuid = PbxSimulator::newUuid();
        m_socket.sendTextMessage(compact({{"type", "command"}, {"name", name}, {"uuid", uuid}, {"data", data}}));
        return uuid;
    }

    // The response's data, or an empty object after five seconds without one.
    QJsonObject request(const QString &name, const QJsonObject &data = {})
    {
        const QString uuid = send(name, data);
        // Woken by each frame rather than polling: a test makes hundreds of requests.
        QSignalSpy frames(&m_socket, &QWebSocket::textMessageReceived);
        for (int checked = 0;; ++checked) {
            for (int i = checked; i < m_received.size(); ++i) {
                if (m_received.at(i).value("type") == "response" && m_received.at(i).value("uuid") == uuid)
                    return m_received.at(i).value("data").toObject();
            }
            checked = m_received.size() - 1;
            if (!frames.wait(5000))
                return {};
        }
    }

    QList<QJsonObject> events(const QString &name) const
    {
        QList<QJsonObject> list;
        for (const QJsonObject &message : m_received) {
            if (message.value("type") == "event" && message.value("name") == name)
                list.append(message.value("data").toObject());
        }
        return list;
    }

    QList<int> states(const QString &callId) const
    {
        QList<int> list;
        for (const QJsonObject &line : events("updateLineStatus")) {
            if (line.value("callid") == callId)
                list.append(line.value("state").toInt(-1));
        }
        return list;
    }

    void forget() { m_received.clear(); }

private:
    QWebSocket m_socket;
    QList<QJsonObject> m_received;
};

} // namespace

class TestPbxSimulatorProtocol : public QObject
{
    Q_OBJECT

    std::unique_ptr<PbxSimulator> m_sim;
    std::unique_ptr<Client> m_client;

private slots:
    void init()
    {
        m_sim = std::make_unique<PbxSimulator>(QHostAddress(QStringLiteral("127.0.0.60")));
        Scenario scenario;
        QString error;
        QVERIFY2(scenario.loadJson(TestScenario, &error), qPrintable(error));
        m_sim->setScenario(scenario);
        QVERIFY2(m_sim->listen(), qPrintable(m_sim->errorString()));
        m_client = std::make_unique<Client>();
        QVERIFY(m_client->logIn(m_sim->url()));
    }

    void cleanup()
    {
        m_client.reset();
        m_sim.reset();
    }

    void callFlow_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QStringList>("steps");   // "wait" for the PBX, or a command for the line
        QTest::addColumn<QList<int>>("states");

        QTest::newRow("answered, hung up") << "0711 555" << QStringList{"wait", "hangup"} << QList<int>{1, 2, 8};
        QTest::newRow("cancelled while ringing") << "0711 888" << QStringList{"hangup"} << QList<int>{1, 4};
        QTest::newRow("busy") << "+49 711 999" << QStringList{"wait"} << QList<int>{1, 7};
        QTest::newRow("held and retrieved")
            << "0711 555" << QStringList{"wait", "hold", "holdRetrieve", "hangup"} << QList<int>{1, 2, 0, 2, 8};
        QTest::newRow("recorded") << "0711 555" << QStringList{"wait", "record", "hangup"} << QList<int>{1, 2, 2, 8};
        QTest::newRow("transferred") << "0711 555" << QStringList{"wait", "transfer"} << QList<int>{1, 2, 3};
        QTest::newRow("colleague") << "202" << QStringList{"wait", "hangup"} << QList<int>{1, 2, 8};
        QTest::newRow("colleague on do-not-disturb") << "203" << QStringList{"wait"} << QList<int>{1, 7};
        QTest::newRow("pickup where nothing rings") << "*81*202" << QStringList{"wait"} << QList<int>{1, 7};
    }

    void callFlow()
    {
        QFETCH(QString, number);
        QFETCH(QStringList, steps);
        QFETCH(QList<int>, states);

        const QJsonObject dialled = m_client->request("dialNumber", {{"number", number}});
        QCOMPARE(dialled.value("status").toInt(), 200);
        const QString callId = dialled.value("callid").toString();
        QTRY_COMPARE(m_client->states(callId).size(), 1);
        for (const QString &step : steps) {
            const int seen = m_client->states(callId).size();
            if (step != "wait")
                QCOMPARE(m_client->request(step, {{"callid", callId}, {"target", "202"}}).value("status").toInt(), 200);
            QTRY_COMPARE(m_client->states(callId).size(), seen + 1);
        }
        QCOMPARE(m_client->states(callId), states);
        QVERIFY(m_sim->calls().callIds().isEmpty());   // so nothing more will come

        for (const QJsonObject &line : m_client->events("updateLineStatus")) {
            QVERIFY(QDateTime::fromString(line.value("timestamp").toString(), "yyyy-MM-dd HH:mm:ss").isValid());
            QVERIFY(QTime::fromString(line.value("duration").toString(), "HH:mm:ss").isValid());
            QCOMPARE(line.value("direction").toInt(-1), 0);
            QCOMPARE(line.value("remote_number").toString(), number);
        }
        QCOMPARE(m_client->request("requestLineStatus").value("lines").toObject(), QJsonObject());
    }

    void scenarioActivity_data()
    {
        QTest::addColumn<QByteArray>("sections");   // replacing those of the test scenario
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("key");           // followed for the first call or colleague it names
        QTest::addColumn<QStringList>("values");

        QTest::newRow("incoming call answered")
            << QByteArray(R"({"calls": {"incoming": {"intervalMs": 30, "ringMs": 500, "answerChance": 1,
                                                      "answerAfterMs": 20, "talkMs": 20}}})")
            << "updateLineStatus" << "state" << QStringList{"1", "2", "8"};
        QTest::newRow("incoming call missed")
            << QByteArray(R"({"calls": {"incoming": {"intervalMs": 30, "ringMs": 40, "answerChance": 0}}})")
            << "updateLineStatus" << "state" << QStringList{"1", "7"};
        QTest::newRow("colleague's phone rings out")
            << QByteArray(R"({"colleagues": {"users": [{"id": "u9", "phone_presence": "free"}],
                                             "activity": {"intervalMs": 30, "ringMs": 30, "answerChance": 0}}})")
            << "updateUserPresence" << "phone_presence" << QStringList{"ringing", "free"};
        QTest::newRow("colleague answers")
            << QByteArray(R"({"colleagues": {"users": [{"id": "u9"}],
                                             "activity": {"intervalMs": 30, "ringMs": 30, "answerChance": 1, "talkMs": 30}}})")
            << "updateUserPresence" << "phone_presence" << QStringList{"ringing", "busy", "online"};
        QTest::newRow("queue call taken")
            << QByteArray(R"({"queueCalls": {"activity": {"intervalMs": 30, "waitMs": 20, "talkMs": 20, "abandonChance": 0}}})")
            << "newQueueCall" << "state" << QStringList{"1", "2", "8"};
        QTest::newRow("queue call abandoned")
            << QByteArray(R"({"queueCalls": {"activity": {"intervalMs": 30, "waitMs": 20, "abandonChance": 1}}})")
            << "newQueueCall" << "state" << QStringList{"1", "7"};
    }

    void scenarioActivity()
    {
        QFETCH(QByteArray, sections);
        QFETCH(QString, event);
        QFETCH(QString, key);
        QFETCH(QStringList, values);

        QJsonObject json = object(TestScenario);
        const QJsonObject replaced = QJsonDocument::fromJson(sections).object();
        for (auto it = replaced.begin(); it != replaced.end(); ++it)
            json.insert(it.key(), it.value());
        Scenario scenario;
        QString error;
        QVERIFY2(scenario.loadJson(QJsonDocument(json).toJson(), &error), qPrintable(error));
        m_sim->setScenario(scenario);

        auto followed = [&] {
            QStringList seen;
            const QList<QJsonObject> events = m_client->events(event);
            for (const QJsonObject &data : events) {
                const QString id = data.value(data.contains("callid") ? "callid" : "id").toString();
                if (id == events.first().value(data.contains("callid") ? "callid" : "id").toString() && data.contains(key))
                    seen.append(data.value(key).toVariant().toString());
            }
            return seen;
        };
        QTRY_VERIFY_WITH_TIMEOUT(followed().size() >= values.size(), 5000);
        QCOMPARE(followed().mid(0, values.size()), values);
    }

    void lineCommandsRefused_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QJsonObject>("data");
        QTest::addColumn<int>("status");

        QTest::newRow("dial letters") << "dialNumber" << object(R"({"number": "0711 abc"})") << 400;
        QTest::newRow("dial nothing") << "dialNumber" << object(R"({"number": ""})") << 400;
        QTest::newRow("hang up unknown call") << "hangup" << object(R"({"callid": "nope"})") << 404;
        QTest::newRow("retrieve a talking call") << "holdRetrieve" << QJsonObject() << 409;
        QTest::newRow("transfer to nowhere") << "transfer" << object(R"({"target": ""})") << 400;
        QTest::newRow("someone else's call") << "hangup" << QJsonObject() << 404;
    }

    void lineCommandsRefused()
    {
        QFETCH(QString, command);
        QFETCH(QJsonObject, data);
        QFETCH(int, status);

        Client carl;
        QVERIFY(carl.logIn(m_sim->url(), "carl", "123"));
        const QString callId = m_client->request("dialNumber", {{"number", "0711 555"}}).value("callid").toString();
        QTRY_COMPARE(m_client->states(callId), (QList<int>{1, 2}));
        if (!data.contains("callid"))
            data.insert("callid", callId);
        Client &sender = QString(QTest::currentDataTag()) == "someone else's call" ? carl : *m_client;
        QCOMPARE(sender.request(command, data).value("status").toInt(), status);
        QCOMPARE(m_client->states(callId), (QList<int>{1, 2}));
        QCOMPARE(m_sim->calls().callIds(), QStringList{callId});
    }

    void incomingCall_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("dnd");
        QTest::addColumn<QString>("contact");   // the caller's address-book id

        QTest::newRow("known caller") << "+49 711 123456" << false << "c1";
        QTest::newRow("unknown caller") << "089 4711" << false << "";
        QTest::newRow("do-not-disturb") << "089 4711" << true << "";
    }

    void incomingCall()
    {
        QFETCH(QString, number);
        QFETCH(bool, dnd);
        QFETCH(QString, contact);

        if (dnd)
            QCOMPARE(m_client->request("setDnd", {{"value", "1"}}).value("status").toInt(), 200);
        const QStringList ids = m_sim->calls().startIncomingCall(number);
        QCOMPARE(ids.size(), dnd ? 0 : 1);
        if (dnd)
            return;
        QTRY_COMPARE(m_client->events("updateLineStatus").size(), 1);
        const QJsonObject ringing = m_client->events("updateLineStatus").first();
        QCOMPARE(ringing.value("direction").toInt(), 1);
        QCOMPARE(ringing.value("caller_addressbook_id").toString(), contact);
        QCOMPARE(ringing.value("lastname").toString(), contact.isEmpty() ? "" : "Meyer");
        // Her own lamp shows it to the colleagues.
        QTRY_VERIFY(m_client->events("updateUserPresence").contains(object(R"({"id": "u1", "phone_presence": "ringing"})")));

        QVERIFY(m_sim->calls().answerCall(ids.first()));
        QVERIFY(m_sim->calls().endCall(ids.first()));
        QTRY_COMPARE(m_client->states(ids.first()), (QList<int>{1, 2, 8}));
        QTRY_VERIFY(m_client->events("updateUserPresence").contains(object(R"({"id": "u1", "phone_presence": "online"})")));
    }

    void pickupTakesColleaguesCall()
    {
        QVERIFY(m_sim->presence().ring("u2", SimParty("0711 123456", "Anna", "Meyer", "Example Ltd", "c1"), 0));
        QTRY_VERIFY(m_client->events("updateUserPresence").contains(object(R"({"id": "u2", "phone_presence": "ringing"})")));
        m_client->forget();

        const QString callId = m_client->request("dialNumber", {{"number", "*81*202"}}).value("callid").toString();
        QTRY_COMPARE(m_client->states(callId), QList<int>{2});
        const QJsonObject line = m_client->events("updateLineStatus").first();
        QCOMPARE(line.value("direction").toInt(), 1);
        QCOMPARE(line.value("remote_number").toString(), "0711 123456");
        QCOMPARE(line.value("caller_addressbook_id").toString(), "c1");
        QTRY_VERIFY(m_client->events("updateUserPresence").contains(object(R"({"id": "u2", "phone_presence": "online"})")));
        QVERIFY(!m_sim->presence().isRinging("u2"));
    }

    void endedCallsGoIntoHistory()
    {
        const QJsonObject before = m_client->request("requestUCItems").value("items").toObject();
        QCOMPARE(before.size(), 50);
        const QString callId = m_client->request("dialNumber", {{"number", "0711 888"}}).value("callid").toString();
        QTRY_COMPARE(m_client->states(callId).size(), 1);
        m_client->request("hangup", {{"callid", callId}});

        const QJsonObject items = m_client->request("requestUCItems").value("items").toObject();
        QCOMPARE(items.size(), 51);
        QJsonObject last = items.value(items.keys().last()).toObject();
        QCOMPARE(last.value("callid").toString(), callId);
        QCOMPARE(last.value("state").toInt(), 4);
        QString previous;
        for (const QJsonValue &value : items) {
            const QJsonObject item = value.toObject();
            const QDateTime when = QDateTime::fromString(item.value("timestamp").toString(), Qt::ISODate);
            QVERIFY2(when.isValid() && when.timeSpec() == Qt::UTC, qPrintable(compact(item)));
            QVERIFY(item.value("timestamp").toString() >= previous);   // ids sort as the calls happened
            previous = item.value("timestamp").toString();
            QVERIFY(item.value("duration").isDouble());
            QVERIFY(item.value("state").toInt() >= 3);
            QCOMPARE(item.value("owner_id").toString(), "anna");
            QVERIFY(!item.value("remote_number").toString().isEmpty());
        }
    }

    void presenceEvents_data()
    {
        QTest::addColumn<QJsonObject>("changes");
        QTest::addColumn<QJsonObject>("event");   // empty: none

        QTest::newRow("phone") << object(R"({"phone_presence": "busy"})") << object(R"({"id": "u2", "phone_presence": "busy"})");
        QTest::newRow("only what changed")
            << object(R"({"phone_presence": "online", "jabber_presence": "2", "jabber_presence_text": "Lunch"})")
            << object(R"({"id": "u2", "jabber_presence": "2", "jabber_presence_text": "Lunch"})");
        QTest::newRow("nothing changed") << object(R"({"phone_presence": "online", "dnd": false})") << QJsonObject();
    }

    void presenceEvents()
    {
        QFETCH(QJsonObject, changes);
        QFETCH(QJsonObject, event);

        const QJsonObject groups = m_client->request("requestJabberBuddies").value("groups").toObject();
        QCOMPARE(groups.keys(), (QStringList{"Sales", "Support"}));
        QCOMPARE(groups.value("Support").toObject().value("users").toObject().keys(), (QStringList{"u2", "u3"}));
        QVERIFY(m_sim->presence().setPresence("u2", changes));
        m_client->request("requestLineStatus");   // everything sent before its answer has arrived
        QCOMPARE(m_client->events("updateUserPresence"), event.isEmpty() ? QList<QJsonObject>() : QList<QJsonObject>{event});
    }

    void phoneConfigCommands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QJsonObject>("data");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("events");   // compact event data, in order

        QTest::newRow("log in to the other phone")
            << "loginPhone" << object(R"({"id": "ph2"})") << 200
            << QStringList{R"({"phone":{"assigned":false,"id":"ph1"}})", R"({"phone":{"assigned":true,"id":"ph2"}})"};
        QTest::newRow("log out") << "logoutPhone" << object(R"({"id": "ph1"})") << 200
                                 << QStringList{R"({"phone":{"assigned":false,"id":"ph1"}})"};
        QTest::newRow("unknown phone") << "loginPhone" << object(R"({"id": "ph9"})") << 404 << QStringList();
        QTest::newRow("join queue")
            << "loginQueue" << QJsonObject{{"id", Queue}} << 200
            << QStringList{R"({"agent":{"extension":"600","id":"c1cb000b-67c4-4f15-b7c4-cc504c7edfc3","loggedIn":true}})",
                           R"({"queue":{"extension":"600","id":"c1cb000b-67c4-4f15-b7c4-cc504c7edfc3"}})"};
        QTest::newRow("leave static queue") << "logoutQueue" << object(R"({"id": "q2"})") << 409
                                            << QStringList{R"({"agent":{"extension":"610","id":"q2","loggedIn":true,"static_member":true}})"};
        QTest::newRow("dnd on") << "setDnd" << object(R"({"value": "1"})") << 200
                                << QStringList{R"({"activeForwardPreset":"p1","dnd":true})"};
        QTest::newRow("dnd garbage") << "setDnd" << object(R"({"value": "on"})") << 400 << QStringList();
        QTest::newRow("forwarding") << "setActiveForwardPreset" << object(R"({"id": "p2"})") << 200
                                    << QStringList{R"({"activeForwardPreset":"p2","dnd":false})"};
        QTest::newRow("unknown preset") << "setActiveForwardPreset" << object(R"({"id": "p9"})") << 404 << QStringList();
    }

    void phoneConfigCommands()
    {
        QFETCH(QString, command);
        QFETCH(QJsonObject, data);
        QFETCH(int, status);
        QFETCH(QStringList, events);

        QCOMPARE(m_client->request(command, data).value("status").toInt(), status);
        QStringList seen;
        for (const char *name : {"phoneChanged", "agentChanged", "queueChanged", "phoneConfigChanged"}) {
            for (const QJsonObject &event : m_client->events(name))
                seen.append(compact(event));
        }
        QCOMPARE(seen, events);

        // Another user's configuration is their own.
        Client carl;
        QVERIFY(carl.logIn(m_sim->url(), "carl", "123"));
        const QJsonObject config = carl.request("requestPhoneConfig");
        QCOMPARE(config.value("phones").toObject().value("ph1").toObject().value("assigned").toBool(), true);
        QCOMPARE(config.value("dndActive").toBool(), false);
        QCOMPARE(config.value("activeForwardPreset").toString(), "p1");
    }

    void phoneConfigResponse()
    {
        const QJsonObject config = m_client->request("requestPhoneConfig");
        QCOMPARE(config.value("dialprefix").toString(), "0");
        QCOMPARE(config.value("queues").toObject().keys(), (QStringList{Queue, "q2"}));
        const QJsonObject preset = config.value("callForwardPresets").toObject().value("p1").toObject();
        QCOMPARE(QJsonDocument::fromJson(QByteArray::fromBase64(preset.value("configs").toString().toLatin1())).object(),
                 object(R"({"rules": []})"));
    }

    void paging_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("offsets");
        QTest::addColumn<QList<int>>("sizes");

        QTest::newRow("two and a half pages") << 25000 << QList<int>{0, 10001, 20002} << QList<int>{10000, 10000, 5000};
        QTest::newRow("exactly two pages") << 20000 << QList<int>{0, 10001, 20002} << QList<int>{10000, 10000, 0};
        QTest::newRow("one short page") << 3 << QList<int>{0} << QList<int>{3};
        QTest::newRow("empty book") << 0 << QList<int>{0} << QList<int>{0};
    }

    // Pages the way the client does: the next offset is offset + limit + 1.
    void paging()
    {
        QFETCH(int, count);
        QFETCH(QList<int>, offsets);
        QFETCH(QList<int>, sizes);

        m_sim->scenario().addGeneratedAddressBook("big", "Big", count);
        QList<int> askedOffsets, gotSizes;
        QStringList ids;
        QJsonObject page{{"bookid", "big"}, {"limit", 10000}, {"offset", 0}};
        for (int guard = 0; guard < 10; ++guard) {
            const QJsonObject answer = m_client->request("getAddresses", page);
            QCOMPARE(answer.value("bookid").toString(), "big");
            QCOMPARE(answer.value("limit"), page.value("limit"));
            QCOMPARE(answer.value("offset"), page.value("offset"));
            const QJsonObject addresses = answer.value("addresses").toObject();
            askedOffsets.append(page.value("offset").toInt());
            gotSizes.append(addresses.size());
            ids += addresses.keys();
            if (addresses.size() != answer.value("limit").toInt())
                break;
            page.insert("offset", answer.value("offset").toInt() + answer.value("limit").toInt() + 1);
        }
        QCOMPARE(askedOffsets, offsets);
        QCOMPARE(gotSizes, sizes);
        QCOMPARE(ids, m_sim->addressBooks().contactIds("big"));   // each contact once, none missing
    }

    void generatedContactsAreDeterministic_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<bool>("same");

        QTest::newRow("same seed") << 4u << true;
        QTest::newRow("other seed") << 5u << false;
    }

    void generatedContactsAreDeterministic()
    {
        QFETCH(quint32, seed);
        QFETCH(bool, same);

        Scenario scenario;
        scenario.addAccount("anna", "secret");
        scenario.addGeneratedAddressBook("2", "Directory", 30, seed);
        PbxSimulator other(QHostAddress(QStringLiteral("127.0.0.61")));
        other.setScenario(scenario);
        QVERIFY(other.listen());
        Client client;
        QVERIFY(client.logIn(other.url()));

        const QJsonObject request{{"bookid", "2"}, {"limit", 10000}, {"offset", 0}};
        const QJsonObject mine = m_client->request("getAddresses", request).value("addresses").toObject();
        const QJsonObject theirs = client.request("getAddresses", request).value("addresses").toObject();
        QCOMPARE(mine.size(), 30);
        QCOMPARE(mine == theirs, same);
        for (const QJsonValue &value : mine) {
            const QJsonObject contact = value.toObject();
            QVERIFY(contact.size() >= 30);
            QVERIFY(!contact.value("n_family").toString().isEmpty());
            QCOMPARE(contact.value("contact_tid").toString(), "2");
            // A typed number and its international form are the same number.
            for (const char *field : {"tel_work", "tel_cell", "tel_home"}) {
                const QString typed = contact.value(field).toString();
                const QString international = contact.value(QString(field) + "_ic").toString();
                QCOMPARE(typed.isEmpty(), international.isEmpty());
                QVERIFY2(typed.isEmpty() || international.startsWith('+'), qPrintable(international));
                QCOMPARE(SimAddressBooks::canonicalNumber(typed), SimAddressBooks::canonicalNumber(international));
            }
            QCOMPARE(m_sim->addressBooks().contact(contact.value("id").toString()), contact);
        }
    }

    void addressBookChanges_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QJsonObject>("data");
        QTest::addColumn<QString>("event");   // what the other client is told; empty: nothing
        QTest::addColumn<int>("contacts");    // in book 1 afterwards

        QTest::newRow("add") << "saveAddress" << object(R"({"id": "", "address": {"n_family": "Neu", "contact_tid": "1"}})")
                             << "addressAdded" << 2;
        QTest::newRow("change") << "saveAddress" << object(R"({"id": "c1", "address": {"n_family": "Meier", "contact_tid": "1"}})")
                                << "addressChanged" << 1;
        QTest::newRow("delete") << "deleteAddress" << object(R"({"id": "c1"})") << "addressDeleted" << 0;
        QTest::newRow("add to read-only book")
            << "saveAddress" << object(R"({"id": "", "address": {"n_family": "Neu", "contact_tid": "2"}})") << "" << 1;
        QTest::newRow("delete from read-only book") << "deleteAddress" << object(R"({"id": "2-00"})") << "" << 1;
    }

    void addressBookChanges()
    {
        QFETCH(QString, command);
        QFETCH(QJsonObject, data);
        QFETCH(QString, event);
        QFETCH(int, contacts);

        Client carl;
        QVERIFY(carl.logIn(m_sim->url(), "carl", "123"));
        const QJsonObject answer = m_client->request(command, data);
        QCOMPARE(answer.value("id").toString().isEmpty(), event.isEmpty());
        if (command == "saveAddress" && !event.isEmpty())
            QCOMPARE(answer.value("address").toObject().value("n_family"), data.value("address").toObject().value("n_family"));
        carl.request("requestLineStatus");
        QCOMPARE(carl.events(event).size(), event.isEmpty() ? 0 : 1);
        QVERIFY(m_client->events(event).isEmpty());   // the one who asked has the answer
        QCOMPARE(m_sim->addressBooks().contactCount("1"), contacts);
        QCOMPARE(m_sim->addressBooks().contactCount("2"), 30);
    }

    void pictureRoundTrip()
    {
        const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(64, 'x');
        QCOMPARE(m_client->request("setAddressPicture", {{"id", "c1"}, {"image_460", QString::fromLatin1(png.toBase64())},
                                                         {"image_80", "garbage"}}).value("id").toString(), "c1");
        QCOMPARE(m_client->request("getAddressPicture", {{"id", "c1"}}).value("data").toString(), QString::fromLatin1(png.toBase64()));
        QCOMPARE(m_sim->addressBooks().contact("c1").value("contact_jpegphoto").toString(), "1");
        QCOMPARE(m_client->request("setAddressPicture", {{"id", "c1"}, {"image_460", "bm90IGFuIGltYWdl"}}).value("status").toInt(), 400);
    }

    void queueCalls()
    {
        QJsonObject items = m_client->request("requestQueueCalls", {{"queue_id", Queue}}).value("items").toObject();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.begin()->toObject().value("queue_extension").toString(), "600");
        const QString callId = m_sim->queueCalls().addCall(Queue, SimParty("0711 4711"));
        QVERIFY(m_sim->queueCalls().updateCall(callId, 2, "Jonas Becker"));
        QVERIFY(m_sim->queueCalls().updateCall(callId, 8));
        QTRY_COMPARE(m_client->events("newQueueCall").size(), 3);
        QList<int> states;
        for (const QJsonObject &call : m_client->events("newQueueCall")) {
            QCOMPARE(call.value("callid").toString(), callId);
            states.append(call.value("state").toInt());
        }
        QCOMPARE(states, (QList<int>{1, 2, 8}));
        QCOMPARE(m_client->events("newQueueCall").at(1).value("agent").toString(), "Jonas Becker");
        items = m_client->request("requestQueueCalls", {{"queue_id", Queue}}).value("items").toObject();
        QCOMPARE(items.size(), 1);   // the ended call has left the queue
    }

    void garbageIsSurvived_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QJsonObject>("data");

        const QList<QJsonObject> garbage = {
            {},
            object(R"({"callid": 5, "number": ["0711"], "target": {}, "id": null, "value": [], "queue_id": 1})"),
            object(R"({"bookid": {}, "limit": -5, "offset": "x", "address": "x", "image_460": 7})"),
            object(R"({"bookid": "1", "limit": 1e300, "offset": 1e300, "address": {"contact_tid": {}}})"),
            object(R"({"id": "\u0000\u0022", "number": "*81*", "image_460": "!!!", "value": "1\u0000"})"),
        };
        for (const char *command : {"requestLineStatus", "dialNumber", "hangup", "hold", "holdRetrieve", "transfer", "record",
                                    "requestJabberBuddies", "requestPhoneConfig", "loginPhone", "logoutPhone",
                                    "loginQueue", "logoutQueue", "setDnd", "setActiveForwardPreset", "getAddressbooks",
                                    "getAddresses", "saveAddress", "deleteAddress", "setAddressPicture",
                                    "getAddressPicture", "getContactTypes", "requestUCItems", "requestQueueCalls"}) {
            for (int i = 0; i < garbage.size(); ++i)
                QTest::addRow("%s %d", command, i) << command << garbage.at(i);
        }
    }

    void garbageIsSurvived()
    {
        QFETCH(QString, command);
        QFETCH(QJsonObject, data);

        m_client->send(command, data);
        QVERIFY(m_client->request("getContactTypes").contains("ContactTypes"));
        QCOMPARE(m_sim->addressBooks().contactCount("2"), 30);
    }
};

QTEST_GUILESS_MAIN(TestPbxSimulatorProtocol)
#include "tst_pbxsimulator_protocol.moc"
