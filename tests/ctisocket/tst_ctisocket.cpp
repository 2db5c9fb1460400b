#include "ctisocket.h"
#include "pbxsimulator.h"

#include <QSignalSpy>
#include <QtTest>

class tst_CTISocket : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void droppedSocketDeliversNothingMore_data();
    void droppedSocketDeliversNothingMore();

private:
    PbxSimulator sim{QHostAddress(QStringLiteral("127.0.0.17"))};
};

void tst_CTISocket::initTestCase()
{
    QVERIFY2(sim.listen(), qPrintable(sim.errorString()));
}

// The old socket has read a burst of messages that wait for the main thread when it goes: none of
// them, and nothing of its end, may come out afterwards.
void tst_CTISocket::droppedSocketDeliversNothingMore_data()
{
    QTest::addColumn<bool>("replaced");
    QTest::newRow("replaced by open()") << true;
    QTest::newRow("abort()") << false;
}

void tst_CTISocket::droppedSocketDeliversNothingMore()
{
    QFETCH(bool, replaced);
    CTISocket socket;
    QSignalSpy connected(&socket, &CTISocket::connected);
    socket.open(sim.url());
    QTRY_COMPARE(connected.count(), 1);
    QCOMPARE(socket.state(), QAbstractSocket::ConnectedState);

    QStringList heard; // after the drop
    bool dropped = false;
    connect(&socket, &CTISocket::textMessageReceived, this, [&](const QString &text) {
        if (dropped) {
            heard << text;
            return;
        }
        dropped = true;
        if (replaced)
            socket.open(sim.url());
        else
            socket.abort();
        QCOMPARE(socket.state(), replaced ? QAbstractSocket::ConnectingState : QAbstractSocket::UnconnectedState);
    });
    connect(&socket, &CTISocket::connected, this, [&] { heard << QStringLiteral("connected"); });
    connect(&socket, &CTISocket::disconnected, this, [&] { heard << QStringLiteral("disconnected"); });
    connect(&socket, &CTISocket::error, this, [&] { heard << QStringLiteral("error"); });
    QSignalSpy gone(&sim, &PbxSimulator::clientDisconnected);
    for (int i = 0; i < 200; ++i)
        QCOMPARE(sim.pushText(QString::number(i)), 1);

    QTRY_COMPARE(gone.count(), 1);
    // The old socket queued what it read before it went, so before the server saw it go.
    QCoreApplication::sendPostedEvents();
    if (replaced) {
        QTRY_COMPARE(heard, QStringList{QStringLiteral("connected")});
        QCOMPARE(sim.pushText(QStringLiteral("new")), 1);
        QTRY_COMPARE(heard, (QStringList{QStringLiteral("connected"), QStringLiteral("new")}));
    } else {
        QCOMPARE(heard, QStringList());
        QCOMPARE(socket.state(), QAbstractSocket::UnconnectedState);
    }
}

QTEST_GUILESS_MAIN(tst_CTISocket)
#include "tst_ctisocket.moc"
