#include "pbxsimulator.h"
#include "simaddressbooks.h"
#include "simcalls.h"
#include "simpresence.h"

#include <QWebSocket>
#include <QtTest>

#include <memory>

namespace {

const QString Queue = QStringLiteral("c1cb000b-67c4-4f15-b7c4-cc504c7edfc3");

// Small and fast: the PBX answers dialled numbers within 50 ms.
const char *const TestScenario = R"({
    "accounts": [{"user": "anna", "password": "secret"}],
    "calls": {"answerDelayMs": 50, "failDelayMs": 50, "busyNumbers": ["0711 999"], "unansweredNumbers": ["0711 888"]},
    "colleagues": {"users": [
        {"id": "u1", "extension": "201", "name": "anna", "phone_presence": "online", "dnd": false},
        {"id": "u2", "extension": "202", "name": "jbecker", "phone_presence": "online", "dnd": false, "jabber_presence": "1"},
        {"id": "u3", "extension": "203", "phone_presence": "online", "dnd": true}]},
    "phoneConfig": {
        "phones": [{"id": "ph1", "assigned": true}, {"id": "ph2", "assigned": false}],
        "queues": [{"id": "c1cb000b-67c4-4f15-b7c4-cc504c7edfc3", "extension": "600", "loggedIn": false},
                   {"id": "q2", "extension": "610", "static_member": true}]
    },
    "addressBooks": {"books": [{"id": "2", "title": "Directory", "perm": "r", "generate": 30, "seed": 4}]},
    "history": {"generate": 50, "seed": 5}
})";

QString compact(const QJsonObject &object) { return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)); }

QJsonObject object(const char *json) { return QJsonDocument::fromJson(json).object(); }

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

    bool logIn(const QUrl &url)
    {
        QSignalSpy connected(&m_socket, &QWebSocket::connected);
        m_socket.open(url);
        if (!connected.wait(5000))
            return false;
        return request("login", {{"user", "anna"}, {"pass", "secret"}, {"crypt", "no"}}).value("status") == 200;
    }

    // The response's data, or an empty object after five seconds without one.
    QJsonObject request(const QString &name, const QJsonObject &data = {})
    {
        const QString uuid = PbxSimulator::newUuid();
        m_socket.sendTextMessage(compact({{"type", "command"}, {"name", name}, {"uuid", uuid}, {"data", data}}));
        // Woken by each frame rather than polling: a test makes hundreds of requests.
        QSignalSpy frames(&m_socket, &QWebSocket::textMessageReceived);
        for (int checked = 0;; ++checked) {
            for (int i = checked; i < m_received.size(); ++i) {
                if (m_received.at(i).value("type") == "response" && m_received.at(i).value("uuid") == uuid)
                    return m_received.at(i).value("data").toObject();
            }
            checked = m_received.size() - 1;
            // Generous: a page of 10,000 generated contacts is slow in a sanitizer build.
            if (!frames.wait(60000))
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

    void cleanup() { m_client.reset(); m_sim.reset(); }

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
        QTest::newRow("transferred") << "0711 555" << QStringList{"wait", "transfer"} << QList<int>{1, 2, 3};
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
            QCOMPARE(line.value("direction").toInt(-1), 0);
            QCOMPARE(line.value("remote_number").toString(), number);
        }
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

    // The demo's colleagues: calls that ring, are answered, held and ended; do-not-disturb switched.
    void colleaguesLiveTheirDay_data()
    {
        QTest::addColumn<QString>("activity");
        QTest::addColumn<QStringList>("sequence"); // what u2's events say, in order
        QTest::newRow("a call on hold") << R"({"intervalMs": 30, "ringMs": 60, "answerChance": 1, "talkMs": 300,
                                              "holdChance": 1, "holdMs": 80})"
                                        << QStringList{"ringing", "busy", "hold", "busy", "online"};
        QTest::newRow("do not disturb") << R"({"intervalMs": 30, "dndChance": 1})" << QStringList{"dnd true", "dnd false"};
    }

    void colleaguesLiveTheirDay()
    {
        QFETCH(QString, activity);
        QFETCH(QStringList, sequence);
        Scenario scenario;
        QVERIFY(scenario.loadJson(TestScenario));
        QJsonObject colleagues = object(R"({"users": [{"id": "u2", "extension": "202", "phone_presence": "online",
                                                      "dnd": false}]})");
        colleagues.insert("activity", QJsonDocument::fromJson(activity.toUtf8()).object());
        QString error;
        QVERIFY2(scenario.setSection("colleagues", colleagues, &error), qPrintable(error));
        m_sim->setScenario(scenario);
        const auto said = [this] {
            QStringList words;
            for (const QJsonObject &event : m_client->events("updateUserPresence")) {
                if (event.contains("phone_presence"))
                    words << event.value("phone_presence").toString();
                if (event.contains("dnd"))
                    words << (event.value("dnd").toBool() ? "dnd true" : "dnd false");
            }
            return words;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(said().mid(0, sequence.size()) == sequence, qPrintable(said().join(", ")), 10000);
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

        QVERIFY(m_sim->presence().setPresence("u2", changes));
        m_client->request("requestLineStatus");   // everything sent before its answer has arrived
        QCOMPARE(m_client->events("updateUserPresence"), event.isEmpty() ? QList<QJsonObject>() : QList<QJsonObject>{event});
    }

    void commands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QJsonObject>("data");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("events");   // compact event data, in order

        QTest::newRow("log in to the other phone")
            << "loginPhone" << object(R"({"id": "ph2"})") << 200
            << QStringList{R"({"phone":{"assigned":false,"id":"ph1"}})", R"({"phone":{"assigned":true,"id":"ph2"}})"};
        QTest::newRow("log out phone") << "logoutPhone" << object(R"({"id": "ph1"})") << 200
                                       << QStringList{R"({"phone":{"assigned":false,"id":"ph1"}})"};
        QTest::newRow("unknown phone") << "loginPhone" << object(R"({"id": "ph9"})") << 404 << QStringList();
        QTest::newRow("join queue")
            << "loginQueue" << QJsonObject{{"id", Queue}} << 200
            << QStringList{R"({"agent":{"extension":"600","id":"c1cb000b-67c4-4f15-b7c4-cc504c7edfc3","loggedIn":true}})",
                           R"({"queue":{"extension":"600","id":"c1cb000b-67c4-4f15-b7c4-cc504c7edfc3"}})"};
        QTest::newRow("leave static queue") << "logoutQueue" << object(R"({"id": "q2"})") << 409
                                            << QStringList{R"({"agent":{"extension":"610","id":"q2","loggedIn":true,"static_member":true}})"};
        QTest::newRow("dial letters") << "dialNumber" << object(R"({"number": "0711 abc"})") << 400 << QStringList();
        QTest::newRow("hang up unknown call") << "hangup" << object(R"({"callid": "nope"})") << 404 << QStringList();
    }

    void commands()
    {
        QFETCH(QString, command);
        QFETCH(QJsonObject, data);
        QFETCH(int, status);
        QFETCH(QStringList, events);

        QCOMPARE(m_client->request(command, data).value("status").toInt(), status);
        QStringList seen;
        for (const char *name : {"phoneChanged", "agentChanged", "queueChanged", "updateLineStatus"}) {
            for (const QJsonObject &event : m_client->events(name))
                seen.append(compact(event));
        }
        QCOMPARE(seen, events);
    }

    void historyResponse()
    {
        QCOMPARE(m_client->request("requestUCItems").value("items").toObject().size(), 50);
        const QString callId = m_client->request("dialNumber", {{"number", "0711 888"}}).value("callid").toString();
        QTRY_COMPARE(m_client->states(callId).size(), 1);
        m_client->request("hangup", {{"callid", callId}});

        const QJsonObject items = m_client->request("requestUCItems").value("items").toObject();
        QCOMPARE(items.size(), 51);
        const QJsonObject last = items.value(items.keys().last()).toObject();
        QCOMPARE(last.value("callid").toString(), callId);
        QCOMPARE(last.value("state").toInt(), 4);
        QString previous;
        for (const QJsonValue &value : items) {
            const QJsonObject item = value.toObject();
            const QString timestamp = item.value("timestamp").toString();
            const QDateTime when = QDateTime::fromString(timestamp, Qt::ISODate);
            QVERIFY2(when.isValid() && timestamp.endsWith('Z'), qPrintable(compact(item)));   // UTC
            QVERIFY(timestamp >= previous);   // ids sort as the calls happened
            previous = timestamp;
            QVERIFY(item.value("duration").isDouble());
            QCOMPARE(item.value("owner_id").toString(), "anna");
        }
    }

    void paging_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("offsets");
        QTest::addColumn<QList<int>>("sizes");

        QTest::newRow("exactly two pages") << 20000 << QList<int>{0, 10001, 20002} << QList<int>{10000, 10000, 0};
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
        for (const QJsonValue &value : mine) {   // a typed number and its international form are the same number
            const QJsonObject contact = value.toObject();
            QCOMPARE(SimAddressBooks::canonicalNumber(contact.value("tel_work").toString()),
                     SimAddressBooks::canonicalNumber(contact.value("tel_work_ic").toString()));
        }
    }
};

QTEST_GUILESS_MAIN(TestPbxSimulatorProtocol)
#include "tst_pbxsimulator_protocol.moc"
