#include "pbxsimulator.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebSocket>

#include <memory>
#include <vector>

namespace {

const QHostAddress SimAddress(QStringLiteral("127.0.0.200"));
const QHostAddress ProgramAddress(QStringLiteral("127.0.0.201"));
// Long enough for loopback to deliver an answer that should not come.
constexpr int SilenceMs = 600;

QJsonObject command(const QString &name, const QJsonObject &data, const QString &uuid)
{
    return {{QStringLiteral("type"), QStringLiteral("command")},
            {QStringLiteral("name"), name},
            {QStringLiteral("uuid"), uuid},
            {QStringLiteral("data"), data}};
}

QJsonObject login(const QString &user, const QString &pass)
{
    return {{QStringLiteral("user"), user}, {QStringLiteral("pass"), pass}, {QStringLiteral("crypt"), QStringLiteral("no")}};
}

QString compact(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

bool isWireUuid(const QJsonValue &value)
{
    static const QRegularExpression pattern(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));
    return value.isString() && pattern.match(value.toString()).hasMatch();
}

// A bare WebSocket client, independent of the product's protocol code.
class Client
{
public:
    QWebSocket socket;
    QSignalSpy texts{&socket, &QWebSocket::textMessageReceived};
    QSignalSpy connected{&socket, &QWebSocket::connected};
    QSignalSpy disconnected{&socket, &QWebSocket::disconnected};
    QSignalSpy errors{&socket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error)};
    QSignalSpy pongs{&socket, &QWebSocket::pong};

    bool open(const QUrl &url)
    {
        socket.open(url);
        return QTest::qWaitFor([this] { return socket.state() == QAbstractSocket::ConnectedState; }, 5000);
    }

    QString send(const QString &name, const QJsonObject &data)
    {
        const QString uuid = PbxSimulator::newUuid();
        socket.sendTextMessage(compact(command(name, data, uuid)));
        return uuid;
    }

    bool waitForTexts(int count)
    {
        return QTest::qWaitFor([&] { return texts.count() >= count; }, 5000);
    }

    QString text(int i) const { return texts.at(i).at(0).toString(); }
    QJsonObject message(int i) const { return QJsonDocument::fromJson(text(i).toUtf8()).object(); }
};

} // namespace

class TestPbxSimulator : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void login_data();
    void login();
    void malformedFramesAreIgnored_data();
    void malformedFramesAreIgnored();
    void commandsAreRecordedInOrder();
    void push_data();
    void push();
    void manyClientsAndDrop();
    void connectFails_data();
    void connectFails();
    void stallKeepsClientConnecting();
    void freezeSilencesEverything();
    void loadScenario_data();
    void loadScenario();
    void programServesDemo();
    void programFails_data();
    void programFails();

private:
    std::unique_ptr<PbxSimulator> m_sim;
};

void TestPbxSimulator::init()
{
    m_sim = std::make_unique<PbxSimulator>(SimAddress);
    m_sim->addAccount(QStringLiteral("anna"), QStringLiteral("secret"));
    m_sim->addAccount(QStringLiteral("bob"), QStringLiteral("hunter2"));
    m_sim->addAccount(QStringLiteral("carl"), QStringLiteral("123"));
    QVERIFY2(m_sim->listen(), qPrintable(m_sim->errorString()));
}

void TestPbxSimulator::cleanup()
{
    m_sim.reset();
}

void TestPbxSimulator::login_data()
{
    QTest::addColumn<QJsonObject>("data");
    QTest::addColumn<int>("status");

    const QString crypt = QStringLiteral("crypt");
    QTest::newRow("right pair") << ::login("anna", "secret") << 200;
    QTest::newRow("other account") << ::login("bob", "hunter2") << 200;
    QTest::newRow("another account's password") << ::login("anna", "hunter2") << 403;
    QTest::newRow("wrong password") << ::login("anna", "Secret") << 403;
    QTest::newRow("empty password") << ::login("anna", "") << 403;
    QTest::newRow("unknown user") << ::login("zoe", "secret") << 403;
    QTest::newRow("user differs in case") << ::login("Anna", "secret") << 403;
    QTest::newRow("empty data") << QJsonObject() << 403;
    QTest::newRow("missing pass")
        << QJsonObject{{"user", "anna"}, {crypt, "no"}} << 403;
    QTest::newRow("missing user")
        << QJsonObject{{"pass", "secret"}, {crypt, "no"}} << 403;
    QTest::newRow("missing crypt")
        << QJsonObject{{"user", "anna"}, {"pass", "secret"}} << 403;
    QTest::newRow("crypt not no")
        << QJsonObject{{"user", "anna"}, {"pass", "secret"}, {crypt, "md5"}} << 403;
    QTest::newRow("password as number")
        << QJsonObject{{"user", "carl"}, {"pass", 123}, {crypt, "no"}} << 403;
    QTest::newRow("user as array")
        << QJsonObject{{"user", QJsonArray{"anna"}}, {"pass", "secret"}, {crypt, "no"}} << 403;
}

void TestPbxSimulator::login()
{
    QFETCH(QJsonObject, data);
    QFETCH(int, status);

    Client client;
    QVERIFY(client.open(m_sim->url()));
    const QString uuid = client.send(QStringLiteral("login"), data);
    QVERIFY(client.waitForTexts(1));

    const QJsonObject expected{{"type", "response"}, {"name", "login"}, {"uuid", uuid},
                               {"data", QJsonObject{{"status", status}}}};
    QCOMPARE(client.message(0), expected);
    QCOMPARE(client.text(0), compact(expected));
    QCOMPARE(m_sim->loggedInCount(), status == 200 ? 1 : 0);
}

void TestPbxSimulator::malformedFramesAreIgnored_data()
{
    QTest::addColumn<QString>("text");

    const QString uuid = QStringLiteral("0b1a5c1e-6f0e-4c56-9d3b-2a7e5f9c1d20");
    const QJsonObject data = ::login("anna", "secret");
    auto envelopeWith = [&](const QString &key, const QJsonValue &value) {
        QJsonObject message = command(QStringLiteral("login"), data, uuid);
        if (value.isUndefined())
            message.remove(key);
        else
            message.insert(key, value);
        return compact(message);
    };

    QTest::newRow("not JSON") << QStringLiteral("hello there");
    QTest::newRow("truncated JSON") << compact(command("login", data, uuid)).chopped(1);
    QTest::newRow("empty frame") << QString();
    QTest::newRow("array") << QStringLiteral("[1,2,3]");
    QTest::newRow("empty object") << QStringLiteral("{}");
    QTest::newRow("type response") << envelopeWith("type", "response");
    QTest::newRow("name number") << envelopeWith("name", 7);
    QTest::newRow("uuid with braces") << envelopeWith("uuid", QString("{" + uuid + "}"));
    QTest::newRow("uuid upper case") << envelopeWith("uuid", uuid.toUpper());
    QTest::newRow("data array") << envelopeWith("data", QJsonArray{1});
    QTest::newRow("data missing") << envelopeWith("data", QJsonValue::Undefined);
    QTest::newRow("fifth member") << envelopeWith("extra", true);
    QTest::newRow("huge garbage") << QString(2 * 1024 * 1024, QLatin1Char('x'));
}

void TestPbxSimulator::malformedFramesAreIgnored()
{
    QFETCH(QString, text);

    Client client;
    QVERIFY(client.open(m_sim->url()));
    client.socket.sendTextMessage(text);
    const QString uuid = client.send(QStringLiteral("login"), ::login("anna", "secret"));

    // The first answer is the one to the good login: nothing answered the garbage.
    QVERIFY(client.waitForTexts(1));
    QCOMPARE(client.message(0).value("uuid").toString(), uuid);
    QCOMPARE(client.message(0).value("data").toObject().value("status").toInt(), 200);
    QCOMPARE(client.socket.state(), QAbstractSocket::ConnectedState);
    QCOMPARE(m_sim->receivedTexts().size(), 2);
    QVERIFY(m_sim->receivedTexts().at(0) == text);
    QCOMPARE(m_sim->malformedTexts().size(), 1);
    QCOMPARE(m_sim->receivedCommands().size(), 1);
}

void TestPbxSimulator::commandsAreRecordedInOrder()
{
    Client client;
    QVERIFY(client.open(m_sim->url()));
    QSignalSpy commandSpy(m_sim.get(), &PbxSimulator::commandReceived);

    const QList<QJsonObject> sent = {
        command("dial", {{"number", "201"}}, PbxSimulator::newUuid()),
        command("login", ::login("anna", "secret"), PbxSimulator::newUuid()),
        command("hangup", {}, PbxSimulator::newUuid()),
        command("dial", {{"number", "202"}}, PbxSimulator::newUuid()),
    };
    QStringList texts;
    for (const QJsonObject &message : sent) {
        texts << compact(message);
        client.socket.sendTextMessage(texts.last());
    }
    QTRY_COMPARE(m_sim->receivedCommands().size(), sent.size());

    QCOMPARE(m_sim->receivedCommands(), sent);
    QCOMPARE(m_sim->receivedTexts(), texts);
    QCOMPARE(m_sim->receivedCommands("dial"), (QList<QJsonObject>{sent.at(0), sent.at(3)}));
    QVERIFY(m_sim->receivedCommands("transfer").isEmpty());
    QCOMPARE(commandSpy.count(), sent.size());
    QCOMPARE(commandSpy.at(2).at(0).toJsonObject(), sent.at(2));

    // Unknown commands are not answered: the login's response is the only text.
    QVERIFY(client.waitForTexts(1));
    QCOMPARE(client.message(0).value("uuid"), sent.at(1).value("uuid"));
    QVERIFY(!client.texts.wait(SilenceMs));

    m_sim->clearReceived();
    QVERIFY(m_sim->receivedCommands().isEmpty());
    QVERIFY(m_sim->receivedTexts().isEmpty());
}

void TestPbxSimulator::push_data()
{
    QTest::addColumn<QString>("type");
    QTest::newRow("event") << QStringLiteral("event");
    QTest::newRow("response") << QStringLiteral("response");
}

void TestPbxSimulator::push()
{
    QFETCH(QString, type);

    Client loggedIn;
    Client anonymous;
    QVERIFY(loggedIn.open(m_sim->url()));
    QVERIFY(anonymous.open(m_sim->url()));
    loggedIn.send(QStringLiteral("login"), ::login("anna", "secret"));
    QVERIFY(loggedIn.waitForTexts(1));

    const QJsonObject data{{"state", "ringing"}, {"number", "+49 30 123"}, {"nested", QJsonObject{{"a", QJsonArray{1, "b"}}}}};
    const int reached = type == "event" ? m_sim->pushEvent(QStringLiteral("callstate"), data)
                                        : m_sim->pushResponse(QStringLiteral("callstate"), data);
    QCOMPARE(reached, 2);
    QVERIFY(loggedIn.waitForTexts(2));
    QVERIFY(anonymous.waitForTexts(1));

    const QJsonObject message = loggedIn.message(1);
    QCOMPARE(message.keys(), (QStringList{"data", "name", "type", "uuid"}));
    QCOMPARE(message.value("type").toString(), type);
    QCOMPARE(message.value("name").toString(), QStringLiteral("callstate"));
    QCOMPARE(message.value("data").toObject(), data);
    QVERIFY2(isWireUuid(message.value("uuid")), qPrintable(message.value("uuid").toString()));
    QCOMPARE(loggedIn.text(1), compact(message));
    QCOMPARE(anonymous.text(0), loggedIn.text(1));

    // Each push is its own message.
    if (type == "event")
        m_sim->pushEvent(QStringLiteral("callstate"), data);
    else
        m_sim->pushResponse(QStringLiteral("callstate"), data);
    QVERIFY(anonymous.waitForTexts(2));
    QVERIFY(anonymous.message(1).value("uuid") != anonymous.message(0).value("uuid"));

    const QString raw = QStringLiteral("{\"type\":\"event\", \"name\": broken ü");
    QCOMPARE(m_sim->pushText(raw), 2);
    QVERIFY(anonymous.waitForTexts(3));
    QCOMPARE(anonymous.text(2), raw);
}

void TestPbxSimulator::manyClientsAndDrop()
{
    constexpr int Count = 40;
    QSignalSpy connectedSpy(m_sim.get(), &PbxSimulator::clientConnected);
    QSignalSpy disconnectedSpy(m_sim.get(), &PbxSimulator::clientDisconnected);

    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < Count; ++i) {
        clients.push_back(std::make_unique<Client>());
        clients.back()->socket.open(m_sim->url());
    }
    QTRY_COMPARE(m_sim->connectionCount(), Count);
    QCOMPARE(connectedSpy.count(), Count);
    for (const auto &client : clients)
        QTRY_COMPARE(client->socket.state(), QAbstractSocket::ConnectedState);

    // A client going away on its own is noticed.
    clients.back()->socket.close();
    QTRY_COMPARE(m_sim->connectionCount(), Count - 1);
    QCOMPARE(disconnectedSpy.count(), 1);
    clients.pop_back();

    QCOMPARE(m_sim->pushEvent(QStringLiteral("ping"), {}), Count - 1);
    for (const auto &client : clients)
        QVERIFY(client->waitForTexts(1));

    m_sim->dropAllConnections();
    for (const auto &client : clients)
        QTRY_COMPARE(client->disconnected.count(), 1);
    QTRY_COMPARE(m_sim->connectionCount(), 0);
    QCOMPARE(disconnectedSpy.count(), Count);
    QVERIFY(m_sim->isListening());

    // The simulator takes new clients after a drop.
    Client again;
    QVERIFY(again.open(m_sim->url()));
}

void TestPbxSimulator::connectFails_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<bool>("stopListening");

    QTest::newRow("refusing") << QStringLiteral("/cti") << true << false;
    QTest::newRow("not listening") << QStringLiteral("/cti") << false << true;
    QTest::newRow("path root") << QStringLiteral("/") << false << false;
    QTest::newRow("path other") << QStringLiteral("/other") << false << false;
    QTest::newRow("path below cti") << QStringLiteral("/cti/x") << false << false;
    QTest::newRow("path upper case") << QStringLiteral("/CTI") << false << false;
}

void TestPbxSimulator::connectFails()
{
    QFETCH(QString, path);
    QFETCH(bool, refuse);
    QFETCH(bool, stopListening);

    Client established;
    QVERIFY(established.open(m_sim->url()));
    m_sim->setRefuseConnections(refuse);
    if (stopListening)
        m_sim->stopListening();

    QUrl url = m_sim->url();
    url.setPath(path);
    Client failing;
    failing.socket.open(url);
    // Quickly, so a client's reconnect logic can be tested without long waits.
    QTRY_VERIFY_WITH_TIMEOUT(failing.errors.count() > 0, 2000);
    QCOMPARE(failing.connected.count(), 0);
    QCOMPARE(m_sim->connectionCount(), 1);

    // Connections made before are unaffected.
    established.send(QStringLiteral("login"), ::login("anna", "secret"));
    QVERIFY(established.waitForTexts(1));

    m_sim->setRefuseConnections(false);
    QVERIFY2(m_sim->listen(), qPrintable(m_sim->errorString()));
    Client after;
    QVERIFY(after.open(m_sim->url()));
}

void TestPbxSimulator::stallKeepsClientConnecting()
{
    m_sim->setStallHandshakes(true);
    Client client;
    client.socket.open(m_sim->url());
    QTRY_COMPARE(m_sim->stalledCount(), 1);
    QVERIFY(!client.connected.wait(SilenceMs));
    QCOMPARE(client.socket.state(), QAbstractSocket::ConnectingState);
    QCOMPARE(client.errors.count(), 0);
    QCOMPARE(m_sim->connectionCount(), 0);

    // Dropping reaches stalled sockets too, so a client can be freed from its wait.
    m_sim->dropAllConnections();
    QTRY_VERIFY(client.errors.count() > 0);
    QTRY_COMPARE(m_sim->stalledCount(), 0);
}

void TestPbxSimulator::freezeSilencesEverything()
{
    Client client;
    QVERIFY(client.open(m_sim->url()));
    // The same exchange works before the freeze, so silence after it means something.
    client.send(QStringLiteral("login"), ::login("anna", "secret"));
    client.socket.ping();
    QVERIFY(client.waitForTexts(1));
    QTRY_COMPARE(client.pongs.count(), 1);

    m_sim->setFrozen(true);
    m_sim->clearReceived();
    client.send(QStringLiteral("login"), ::login("anna", "secret"));
    client.socket.ping();
    QCOMPARE(m_sim->pushEvent(QStringLiteral("callstate"), {}), 0);
    QVERIFY(!client.pongs.wait(SilenceMs));
    QCOMPARE(client.texts.count(), 1);
    QVERIFY(m_sim->receivedTexts().isEmpty());
    QCOMPARE(client.socket.state(), QAbstractSocket::ConnectedState);
    QCOMPARE(m_sim->connectionCount(), 1);

    // New clients while frozen get no handshake answer.
    Client late;
    late.socket.open(m_sim->url());
    QVERIFY(!late.connected.wait(SilenceMs));
    QCOMPARE(late.socket.state(), QAbstractSocket::ConnectingState);

    // A frozen connection can still be dropped.
    m_sim->dropAllConnections();
    QTRY_COMPARE(client.disconnected.count(), 1);
    QTRY_COMPARE(m_sim->connectionCount(), 0);
}

void TestPbxSimulator::loadScenario_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("accounts");   // user:password, when ok

    QTest::newRow("accounts") << QByteArray(R"({"accounts": [{"user": "zoe", "password": "pw"},
                                                             {"user": "yves", "password": ""}]})")
                              << true << QStringList{"zoe:pw", "yves:"};
    QTest::newRow("no accounts section") << QByteArray(R"({})") << true << QStringList();
    QTest::newRow("unknown sections kept")
        << QByteArray(R"({"calls": [{"id": 1}], "accounts": [{"user": "zoe", "password": "pw"}]})")
        << true << QStringList{"zoe:pw"};
    QTest::newRow("empty file") << QByteArray() << false << QStringList();
    QTest::newRow("not JSON") << QByteArray("accounts: zoe") << false << QStringList();
    QTest::newRow("root array") << QByteArray(R"([{"user": "zoe", "password": "pw"}])") << false << QStringList();
    QTest::newRow("accounts object")
        << QByteArray(R"({"accounts": {"user": "zoe", "password": "pw"}})") << false << QStringList();
    QTest::newRow("user missing") << QByteArray(R"({"accounts": [{"password": "pw"}]})") << false << QStringList();
    QTest::newRow("password number")
        << QByteArray(R"({"accounts": [{"user": "zoe", "password": 12}]})") << false << QStringList();
    QTest::newRow("bad second entry")
        << QByteArray(R"({"accounts": [{"user": "zoe", "password": "pw"}, {"user": 5, "password": "pw"}]})")
        << false << QStringList();
    QTest::newRow("duplicate user")
        << QByteArray(R"({"accounts": [{"user": "zoe", "password": "a"}, {"user": "zoe", "password": "b"}]})")
        << false << QStringList();
}

void TestPbxSimulator::loadScenario()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, ok);
    QFETCH(QStringList, accounts);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("scenario.json"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    QString error;
    QCOMPARE(m_sim->loadScenarioFile(path, &error), ok);
    if (!ok) {
        QVERIFY(error.contains(path));
        // The running scenario survives a bad file.
        QVERIFY(m_sim->scenario().acceptsLogin(QStringLiteral("anna"), QStringLiteral("secret")));
        return;
    }
    QStringList loaded;
    for (const Scenario::Account &account : m_sim->scenario().accounts())
        loaded << account.user + ':' + account.password;
    QCOMPARE(loaded, accounts);
    // A good file replaces the scenario rather than adding to it.
    QVERIFY(!m_sim->scenario().acceptsLogin(QStringLiteral("anna"), QStringLiteral("secret")));
    if (QTest::currentDataTag() == QByteArray("unknown sections kept")) {
        QCOMPARE(m_sim->scenario().otherSection(QStringLiteral("calls")), QJsonValue(QJsonArray{QJsonObject{{"id", 1}}}));
        QCOMPARE(m_sim->scenario().toJson().value("calls"), m_sim->scenario().otherSection(QStringLiteral("calls")));
    }
}

void TestPbxSimulator::programServesDemo()
{
    QProcess program;
    program.start(QStringLiteral(TALVERO_SIM_PROGRAM), {"--address", ProgramAddress.toString()});
    QVERIFY(program.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(program.canReadLine() || program.state() == QProcess::NotRunning, 10000);
    QCOMPARE(QString::fromUtf8(program.readLine()),
             QStringLiteral("talvero-pbx-sim: listening on ws://127.0.0.201:28888/cti\n"));

    // Run from the build tree, away from the sources: the demo must come from the binary.
    Client client;
    QVERIFY(client.open(QUrl(QStringLiteral("ws://127.0.0.201:28888/cti"))));
    client.send(QStringLiteral("login"), ::login("demo", "demo"));
    client.send(QStringLiteral("login"), ::login("anna", "secret"));
    client.send(QStringLiteral("login"), ::login("bob", "hunter2"));
    QVERIFY(client.waitForTexts(3));
    QCOMPARE(client.message(0).value("data").toObject().value("status").toInt(), 200);
    QCOMPARE(client.message(1).value("data").toObject().value("status").toInt(), 200);
    QCOMPARE(client.message(2).value("data").toObject().value("status").toInt(), 403);

    program.terminate();
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

void TestPbxSimulator::programFails_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("port taken") << QStringList{"--address", SimAddress.toString()};
    QTest::newRow("bad address") << QStringList{"--address", "not-an-ip"};
    QTest::newRow("missing scenario")
        << QStringList{"--address", ProgramAddress.toString(), "--scenario", "/nonexistent/scenario.json"};
}

void TestPbxSimulator::programFails()
{
    QFETCH(QStringList, arguments);

    QProcess program;
    program.start(QStringLiteral(TALVERO_SIM_PROGRAM), arguments);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY(program.exitCode() != 0);
    QVERIFY(program.readAllStandardOutput().isEmpty());
    QVERIFY(!program.readAllStandardError().isEmpty());
}

QTEST_GUILESS_MAIN(TestPbxSimulator)
#include "tst_pbxsimulator.moc"
