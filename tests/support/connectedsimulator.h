#pragma once

#include "cticonnector.h"
#include "pbxsimulator.h"

#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

// The simulator on a test's own loopback address, talked to through the process's connector.
class ConnectedSimulator : public PbxSimulator
{
public:
    explicit ConnectedSimulator(const char *address) : PbxSimulator(QHostAddress(QLatin1String(address))) {}

    //! Accepts the account, listens, and logs the connector in (once per process).
    void logIn(const QString &user = QStringLiteral("demo"), const QString &password = QStringLiteral("demo"))
    {
        addAccount(user, password);
        QVERIFY2(listen(), qPrintable(errorString()));
        QSignalSpy ok(CTIConnector::instance(), &CTIConnector::loginSuccess);
        CTIConnector::instance()->login(user, password, address().toString());
        QTRY_COMPARE(ok.count(), 1);
    }

    //! That data field of each command of that name, once everything the connector sent before
    //! has arrived; what was received is forgotten then.
    QStringList sent(const QString &command, const QString &field)
    {
        markerArrived();
        QStringList values;
        for (const QJsonObject &received : receivedCommands(command))
            values << received.value(QStringLiteral("data")).toObject().value(field).toString();
        clearReceived();
        return values;
    }

    //! Once the answers to everything the connector sent before have been handled: they may come
    //! in separate passes of the event loop, and a window made meanwhile would hear of them.
    void settle()
    {
        markerArrived(); // the server answers as it reads
        QSignalSpy marker(CTIConnector::instance(), &CTIConnector::addressPictureSet);
        pushResponse(QStringLiteral("setAddressPicture"), QJsonObject{{"id", "settled"}});
        [&] { QTRY_COMPARE(marker.count(), 1); }();
    }

private:
    //! Once everything the connector sent before has arrived: a marker sent behind it arrives behind it.
    void markerArrived()
    {
        const int before = receivedCommands(QStringLiteral("hangup")).size();
        CTIConnector::instance()->hangup(QStringLiteral("marker"));
        [&] { QTRY_COMPARE(receivedCommands(QStringLiteral("hangup")).size(), before + 1); }();
    }
};
