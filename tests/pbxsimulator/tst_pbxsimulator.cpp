#include "pbxsimulator.h"

#include <QWebSocket>
#include <QtTest>

#include <memory>

namespace {

QString compact(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QJsonObject command(const QString &name, const QJsonObject &data, const QString &uuid = PbxSimulator::newUuid())
{
    return {{"type", "command"}, {"name", name}, {"uuid", uuid}, {"data", data}};
}

QJsonObject loginData(const QJsonValue &user, const QJsonValue &pass)
{
    return {{"user", user}, {"pass", pass}, {"crypt", "no"}};
}

// A bare WebSocket client, independent of the product's protocol code.
struct Client
{
    QWebSocket socket;
    QSignalSpy texts{&socket, &QWebSocket::textMessageReceived};

    bool open(const QUrl &url)
    {
        socket.open(url);
        return QTest::qWaitFor([this] { return socket.state() == QAbstractSocket::ConnectedState; }, 5000);
    }
    QJsonObject message(int i) const { return QJsonDocument::fromJson(texts.at(i).at(0).toString().toUtf8()).object(); }
};

} // namespace

// Login 200/403, drops, stalls, freezing and pushes are covered by the connector tests.
class TestPbxSimulator : public QObject
{
    Q_OBJECT

    std::unique_ptr<PbxSimulator> m_sim;

private slots:
    void init()
    {
        m_sim = std::make_unique<PbxSimulator>(QHostAddress(QStringLiteral("127.0.0.200")));
        m_sim->addAccount(QStringLiteral("anna"), QStringLiteral("secret"));
        m_sim->addAccount(QStringLiteral("carl"), QStringLiteral("123"));
        QVERIFY2(m_sim->listen(), qPrintable(m_sim->errorString()));
    }

    void cleanup() { m_sim.reset(); }

    void loginChecksCommandForm_data()
    {
        QTest::addColumn<QJsonObject>("data");
        QTest::addColumn<int>("status");

        QTest::newRow("well-formed") << loginData("anna", "secret") << 200;
        QTest::newRow("missing crypt") << QJsonObject{{"user", "anna"}, {"pass", "secret"}} << 403;
        QTest::newRow("crypt not no") << QJsonObject{{"user", "anna"}, {"pass", "secret"}, {"crypt", "md5"}} << 403;
        QTest::newRow("pass as number") << loginData("carl", 123) << 403;
        QTest::newRow("user as array") << loginData(QJsonArray{"anna"}, "secret") << 403;
    }

    void loginChecksCommandForm()
    {
        QFETCH(QJsonObject, data);
        QFETCH(int, status);

        Client client;
        QVERIFY(client.open(m_sim->url()));
        const QJsonObject login = command(QStringLiteral("login"), data);
        client.socket.sendTextMessage(compact(login));
        QTRY_COMPARE(client.texts.count(), 1);

        const QJsonObject expected{{"type", "response"}, {"name", "login"}, {"uuid", login.value("uuid")},
                                   {"data", QJsonObject{{"status", status}}}};
        QCOMPARE(client.message(0), expected);
        QCOMPARE(m_sim->loggedInCount(), status == 200 ? 1 : 0);
    }

    void unansweredFrames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("malformed");

        const QString uuid = QStringLiteral("0b1a5c1e-6f0e-4c56-9d3b-2a7e5f9c1d20");
        auto with = [&](const QString &key, const QJsonValue &value) {
            QJsonObject message = command(QStringLiteral("login"), loginData("anna", "secret"), uuid);
            message.insert(key, value);
            return compact(message);
        };

        QTest::newRow("not JSON") << QStringLiteral("hello there") << true;
        QTest::newRow("type response") << with("type", "response") << true;
        QTest::newRow("name number") << with("name", 7) << true;
        QTest::newRow("uuid with braces") << with("uuid", QString('{' + uuid + '}')) << true;
        QTest::newRow("uuid upper case") << with("uuid", uuid.toUpper()) << true;
        QTest::newRow("data array") << with("data", QJsonArray{1}) << true;
        QTest::newRow("fifth member") << with("extra", true) << true;
        QTest::newRow("unknown command") << compact(command(QStringLiteral("dial"), {{"number", "201"}})) << false;
    }

    void unansweredFrames()
    {
        QFETCH(QString, text);
        QFETCH(bool, malformed);

        Client client;
        QVERIFY(client.open(m_sim->url()));
        client.socket.sendTextMessage(text);
        const QJsonObject login = command(QStringLiteral("login"), loginData("anna", "secret"));
        client.socket.sendTextMessage(compact(login));

        // The first answer is the one to the good login: nothing answered the frame before it.
        QTRY_COMPARE(client.texts.count(), 1);
        QCOMPARE(client.message(0).value("uuid"), login.value("uuid"));
        QCOMPARE(m_sim->receivedTexts(), (QStringList{text, compact(login)}));
        QCOMPARE(m_sim->malformedTexts(), malformed ? QStringList{text} : QStringList());
        QCOMPARE(m_sim->receivedCommands().size(), malformed ? 1 : 2);
    }

    void connectionRejected_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("refuse");

        QTest::newRow("refusing") << QStringLiteral("/cti") << true;
        QTest::newRow("other") << QStringLiteral("/other") << false;
        QTest::newRow("below /cti") << QStringLiteral("/cti/x") << false;
        QTest::newRow("upper case") << QStringLiteral("/CTI") << false;
    }

    void connectionRejected()
    {
        QFETCH(QString, path);
        QFETCH(bool, refuse);

        m_sim->setRefuseConnections(refuse);
        QWebSocket failing;
        QSignalSpy connected(&failing, &QWebSocket::connected);
        QSignalSpy errors(&failing, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error));
        failing.open(m_sim->url().resolved(QUrl(path)));
        // Quickly, so a client's reconnect logic can be tested without long waits.
        QTRY_VERIFY_WITH_TIMEOUT(!errors.isEmpty(), 2000);
        QCOMPARE(connected.count(), 0);
        QCOMPARE(m_sim->connectionCount(), 0);
    }

    void badScenarioFileKeepsOldOne_data()
    {
        QTest::addColumn<QByteArray>("content");   // null: the file does not exist
        QTest::addColumn<QString>("where");        // part of the error beside the path

        QTest::newRow("missing file") << QByteArray() << QString();
        QTest::newRow("not JSON") << QByteArray("accounts: zoe") << QStringLiteral("not JSON");
        QTest::newRow("root array") << QByteArray("[]") << QStringLiteral("top level");
        QTest::newRow("accounts object") << QByteArray(R"({"accounts": {}})") << QStringLiteral("accounts: ");
        QTest::newRow("second user missing")
            << QByteArray(R"({"accounts": [{"user": "zoe", "password": "pw"}, {"password": "pw"}]})")
            << QStringLiteral("accounts[1]");
        QTest::newRow("duplicate user")
            << QByteArray(R"({"accounts": [{"user": "zoe", "password": "a"}, {"user": "zoe", "password": "b"}]})")
            << QStringLiteral("accounts[1]");
        QTest::newRow("delay as text")
            << QByteArray(R"({"accounts": [{"user": "zoe", "password": "pw"}], "calls": {"answerDelayMs": "soon"}})")
            << QStringLiteral("calls.answerDelayMs");
        QTest::newRow("misspelt key")
            << QByteArray(R"({"accounts": [{"user": "zoe", "password": "pw"}], "phoneConfig": {"dialprefix": "0"}})")
            << QStringLiteral("phoneConfig.dialprefix");
        QTest::newRow("group of a stranger")
            << QByteArray(R"({"colleagues": {"users": [{"id": "u1"}], "groups": {"A": ["u2"]}}, "accounts": []})")
            << QStringLiteral("colleagues.groups.A");
        QTest::newRow("book without id")
            << QByteArray(R"({"addressBooks": {"books": [{"id": "1"}, {"title": "x"}]}, "accounts": []})")
            << QStringLiteral("addressBooks.books[1].id");
        QTest::newRow("range backwards")
            << QByteArray(R"({"colleagues": {"activity": {"ringMs": [9000, 1000]}}, "accounts": []})")
            << QStringLiteral("colleagues.activity.ringMs");
    }

    void badScenarioFileKeepsOldOne()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, where);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("scenario.json"));
        if (!content.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }

        QString error;
        QVERIFY(!m_sim->loadScenarioFile(path, &error));
        QVERIFY2(error.startsWith(path) && error.contains(where), qPrintable(error));
        QVERIFY(m_sim->scenario().acceptsLogin(QStringLiteral("anna"), QStringLiteral("secret")));
        QVERIFY(!m_sim->scenario().acceptsLogin(QStringLiteral("zoe"), QStringLiteral("pw")));
    }

    void programServesBundledDemo()
    {
        QProcess program;
        program.start(QStringLiteral(TALVERO_SIM_PROGRAM), {"--address", "127.0.0.201"});
        QTRY_VERIFY_WITH_TIMEOUT(program.canReadLine() || program.state() == QProcess::NotRunning, 10000);
        QCOMPARE(QString::fromUtf8(program.readLine()),
                 QStringLiteral("talvero-pbx-sim: listening on ws://127.0.0.201:28888/cti\n"));

        // Run from the build tree, away from the sources: the demo must come from the binary.
        Client client;
        QVERIFY(client.open(QUrl(QStringLiteral("ws://127.0.0.201:28888/cti"))));
        client.socket.sendTextMessage(compact(command(QStringLiteral("login"), loginData("demo", "demo"))));
        QTRY_COMPARE(client.texts.count(), 1);
        QCOMPARE(client.message(0).value("data").toObject().value("status").toInt(), 200);
        // The demo is the whole PBX: books to browse, colleagues to watch.
        client.socket.sendTextMessage(compact(command(QStringLiteral("getAddressbooks"), {})));
        client.socket.sendTextMessage(compact(command(QStringLiteral("requestJabberBuddies"), {})));
        QTRY_COMPARE(client.texts.count(), 3);
        QCOMPARE(client.message(1).value("data").toObject().value("books").toObject().size(), 2);
        QCOMPARE(client.message(2).value("data").toObject().value("groups").toObject().size(), 3);

        // SIGTERM ends it cleanly.
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPbxSimulator)
#include "tst_pbxsimulator.moc"
