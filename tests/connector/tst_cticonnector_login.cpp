#include "cticonnector.h"
#include "pbxsimulator.h"
#include "signalrecorder.h"

#include <QJsonObject>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

// The connector is a process-wide instance and remembers its first accepted login, so the
// functions run in this order: failures first, then the login, then what follows it.
class tst_CTIConnectorLogin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void unreachableHostFailsToConnect();
    void unansweredAttemptGivesUp_data();
    void unansweredAttemptGivesUp();
    void refusedLoginAndCommandWireForm();
    void loginResponses_data();
    void loginResponses();
    void acceptedLogin();
    void replacedSocketReportsNothing();
    void queuedMessageFromAnotherThreadIsSentOnce();
    void badInputIsIgnored_data();
    void badInputIsIgnored();

private:
    const QString host = QStringLiteral("127.0.0.10");
    PbxSimulator sim{QHostAddress(QStringLiteral("127.0.0.10"))};
    CTIConnector *connector = CTIConnector::instance();
};

void tst_CTIConnectorLogin::initTestCase()
{
    sim.addAccount(QStringLiteral("anna"), QStringLiteral("s3cr:t \"x\""));
    QVERIFY2(sim.listen(), qPrintable(sim.errorString()));
}

void tst_CTIConnectorLogin::unreachableHostFailsToConnect()
{
    QSignalSpy failed(connector, &CTIConnector::connectFailed);
    connector->login(QStringLiteral("anna"), QStringLiteral("x"), QStringLiteral("127.0.0.11"));
    QTRY_VERIFY(failed.count() >= 1);
    QCOMPARE(connector->getCurrentHost(), QStringLiteral("127.0.0.11"));
    QVERIFY(!connector->isLoggedIn());
    QVERIFY(!connector->isReconnecting());
}

// A server that never answers the handshake, or the login after it, is given up on in time.
void tst_CTIConnectorLogin::unansweredAttemptGivesUp_data()
{
    QTest::addColumn<bool>("handshake");
    QTest::addColumn<bool>("refused");
    QTest::newRow("handshake") << true << false;
    QTest::newRow("login") << false << false;
    QTest::newRow("login refused") << false << true;
}

void tst_CTIConnectorLogin::unansweredAttemptGivesUp()
{
    QFETCH(bool, handshake);
    QFETCH(bool, refused);
    sim.setStallHandshakes(handshake);
    sim.setUnansweredCommands(handshake || refused ? QStringList() : QStringList{QStringLiteral("login")});
    SignalRecorder recorder(connector);
    QSignalSpy failed(connector, &CTIConnector::connectFailed);
    QElapsedTimer clock;
    clock.start();
    connector->login(QStringLiteral("anna"), QStringLiteral("x"), host);
    QTRY_VERIFY_WITH_TIMEOUT(handshake ? sim.stalledCount() == 1 : sim.receivedCommands(QStringLiteral("login")).size() == 1,
                             5000);
    if (refused) {
        // The refusal is the attempt's answer: its time-out says nothing afterwards.
        QTRY_COMPARE(recorder.emitted(), QStringList{QStringLiteral("loginFailed()x1")});
        QVERIFY(!failed.wait(CTIConnector::connectTimeoutMs + 1000));
        QCOMPARE(recorder.emitted(), QStringList{QStringLiteral("loginFailed()x1")});
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, CTIConnector::connectTimeoutMs + 5000);
        QVERIFY2(clock.elapsed() >= CTIConnector::connectTimeoutMs - 500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(recorder.emitted(), QStringList{QStringLiteral("connectFailed()x1")});
    }
    sim.setStallHandshakes(false);
    sim.setUnansweredCommands({});
    sim.dropAllConnections();
    sim.clearReceived();
}

void tst_CTIConnectorLogin::refusedLoginAndCommandWireForm()
{
    sim.clearReceived();
    QSignalSpy refused(connector, &CTIConnector::loginFailed);
    QSignalSpy accepted(connector, &CTIConnector::loginSuccess);
    connector->login(QStringLiteral("anna"), QStringLiteral("wrong"), host);
    QTRY_COMPARE(refused.count(), 1);
    QCOMPARE(accepted.count(), 0);

    const QList<QJsonObject> logins = sim.receivedCommands(QStringLiteral("login"));
    QCOMPARE(logins.size(), 1);
    const QJsonObject data = logins.first().value(QStringLiteral("data")).toObject();
    QCOMPARE(data.keys(), (QStringList{"crypt", "pass", "user"}));
    QCOMPARE(data.value(QStringLiteral("crypt")).toString(), QStringLiteral("no"));
    QCOMPARE(data.value(QStringLiteral("pass")).toString(), QStringLiteral("wrong"));
    QCOMPARE(data.value(QStringLiteral("user")).toString(), QStringLiteral("anna"));

    // Compact, keys in alphabetical order, lower-case uuid without braces.
    const QString text = sim.receivedTexts().first();
    const QString uuid = logins.first().value(QStringLiteral("uuid")).toString();
    QCOMPARE(text, QStringLiteral(R"({"data":{"crypt":"no","pass":"wrong","user":"anna"},"name":"login","type":"command","uuid":")")
                       + uuid + QStringLiteral("\"}"));
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}$")).match(uuid).hasMatch());
}

void tst_CTIConnectorLogin::loginResponses_data()
{
    QTest::addColumn<QJsonObject>("data");
    QTest::addColumn<int>("refusals");
    QTest::newRow("500") << QJsonObject{{"status", 500}} << 0;
    QTest::newRow("no status") << QJsonObject{} << 0;
    QTest::newRow("status array") << QJsonObject{{"status", QJsonArray{403}}} << 0;
    // Every row's marker is a 403 as a number.
    QTest::newRow("403 as string") << QJsonObject{{"status", "403"}} << 1;
}

void tst_CTIConnectorLogin::loginResponses()
{
    QFETCH(QJsonObject, data);
    QFETCH(int, refusals);
    SignalRecorder recorder(connector);
    QSignalSpy refused(connector, &CTIConnector::loginFailed);
    QCOMPARE(sim.pushResponse(QStringLiteral("login"), data), 1);
    // A marker behind it: once the marker has been handled, so has the response.
    sim.pushResponse(QStringLiteral("login"), QJsonObject{{"status", 403}});
    QTRY_COMPARE(refused.count(), refusals + 1);
    QCOMPARE(recorder.emitted(), QStringList{QStringLiteral("loginFailed()x%1").arg(refusals + 1)});
}

void tst_CTIConnectorLogin::acceptedLogin()
{
    QSignalSpy accepted(connector, &CTIConnector::loginSuccess);
    connector->login(QStringLiteral("anna"), QStringLiteral("s3cr:t \"x\""), host);
    QTRY_COMPARE(accepted.count(), 1);
    QVERIFY(connector->isLoggedIn());
    QCOMPARE(connector->getPlaintextPw(), QStringLiteral("s3cr:t \"x\""));
}

void tst_CTIConnectorLogin::replacedSocketReportsNothing()
{
    QSignalSpy gone(&sim, &PbxSimulator::clientDisconnected);
    QSignalSpy again(connector, &CTIConnector::reconnectSuccess);
    SignalRecorder recorder(connector);
    connector->login(QStringLiteral("anna"), QStringLiteral("s3cr:t \"x\""), host);
    QTRY_COMPARE(again.count(), 1);
    QTRY_VERIFY(gone.count() >= 1);
    QCOMPARE(recorder.linkSignals(), QStringList{QStringLiteral("reconnectSuccess()x1")});
    // The old socket's disconnection must not have started a silent reconnection.
    QVERIFY(!connector->isReconnecting());
    QCOMPARE(connector->silentReconnectAttempts(), 0);
}

void tst_CTIConnectorLogin::queuedMessageFromAnotherThreadIsSentOnce()
{
    sim.clearReceived();
    QScopedPointer<QThread> thread(QThread::create([this] {
        CTIMessage message = CTIMessage::generateCommand(QStringLiteral("fromWorker"));
        message.setValueForKey(QStringLiteral("n"), 1);
        connector->queueMessage(message);
    }));
    thread->start();
    QVERIFY(thread->wait(5000));
    QTRY_COMPARE_WITH_TIMEOUT(sim.receivedCommands(QStringLiteral("fromWorker")).size(), 1, 2000);

    // Later ticks must not send it again: drain once more, then wait for a marker sent behind it.
    connector->checkSendQueue();
    CTIMessage marker = CTIMessage::generateCommand(QStringLiteral("marker"));
    connector->queueMessage(marker);
    QTRY_COMPARE(sim.receivedCommands(QStringLiteral("marker")).size(), 1);
    QCOMPARE(sim.receivedCommands(QStringLiteral("fromWorker")).size(), 1);
}

void tst_CTIConnectorLogin::badInputIsIgnored_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("top-level array") << R"([{"type":"response","name":"login","data":{"status":403}}])";
    QTest::newRow("unlisted event") << R"({"type":"event","name":"model","data":{}})";
    QTest::newRow("unlisted response") << R"({"type":"response","name":"model","data":{}})";
    QTest::newRow("login as event") << R"({"type":"event","name":"login","data":{"status":403}})";
    QTest::newRow("login as command") << R"({"type":"command","name":"login","data":{"status":403}})";
    QTest::newRow("name with other case") << R"({"type":"response","name":"Login","data":{"status":403}})";
    QTest::newRow("type not a string") << R"({"type":2,"name":"login","data":{"status":403}})";
    QTest::newRow("data not an object") << R"({"type":"response","name":"login","data":"status=403"})";
    QTest::newRow("queueChanged does nothing") << R"({"type":"event","name":"queueChanged","data":{"id":"1"}})";
    QTest::newRow("truncated, not json") << R"({"type":"response","name":"login","data":{"status":4)";
    QString deep = QStringLiteral(R"({"type":"event","name":"updateLineStatus","data":)");
    deep += QString(10000, QLatin1Char('[')) + QString(10000, QLatin1Char(']')) + QLatin1Char('}');
    QTest::newRow("nested 10000 deep") << deep;
    QString big = QStringLiteral(R"({"type":"response","name":"model","data":{"blob":")");
    big += QString(10 * 1024 * 1024, QLatin1Char('x')) + QStringLiteral("\"}}");
    QTest::newRow("10 MB") << big;
}

void tst_CTIConnectorLogin::badInputIsIgnored()
{
    QFETCH(QString, text);
    SignalRecorder recorder(connector);
    connector->onMessage(text);
    QCOMPARE(recorder.emitted(), QStringList());

    // And the same over the wire: the connection survives it.
    if (text.size() < 100000) {
        QSignalSpy refused(connector, &CTIConnector::loginFailed);
        sim.pushText(text);
        sim.pushResponse(QStringLiteral("login"), QJsonObject{{"status", 403}});
        QTRY_COMPARE(refused.count(), 1);
    }
}

QTEST_GUILESS_MAIN(tst_CTIConnectorLogin)
#include "tst_cticonnector_login.moc"
