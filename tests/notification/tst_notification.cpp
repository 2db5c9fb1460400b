#include "connectedsimulator.h"
#include "cticonnector.h"
#include "line.h"
#include "notification.h"
#include "notificationfactory.h"
#include "rolloverpopup.h"

#include <QApplication>
#include <QJsonObject>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QtTest>

class tst_Notification : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        sim.logIn();
    }

    void cleanup()
    {
        qDeleteAll(QApplication::topLevelWidgets());
        sim.clearReceived();
    }

    void fromLine_data()
    {
        QTest::addColumn<int>("direction");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("lastName");
        QTest::addColumn<QString>("firstName");
        QTest::addColumn<int>("type"); // -1: none built
        QTest::addColumn<QString>("text1");
        QTest::addColumn<QString>("text2");
        const int in = CallDirection::Incoming;
        QTest::newRow("incoming ringing") << in << 1 << "<i>Berg</i>" << "Anna" << 0 << "<i>Berg</i>, Anna" << "+4930111";
        QTest::newRow("incoming ringing, first name only") << in << 1 << "" << "Anna" << 0 << "Anna" << "+4930111";
        QTest::newRow("incoming ringing, no name") << in << 1 << "" << "" << 0 << "+4930111" << "";
        QTest::newRow("incoming connected") << in << 2 << "Berg" << "Anna" << 1 << "" << "";
        QTest::newRow("outgoing ringing") << int(CallDirection::Outgoing) << 1 << "Berg" << "Anna" << -1 << "" << "";
    }

    void fromLine()
    {
        QFETCH(int, direction);
        QFETCH(int, state);
        QFETCH(QString, lastName);
        QFETCH(QString, firstName);
        QFETCH(int, type);
        Line line;
        line.setRemoteId(QStringLiteral("c-9"));
        line.setRemoteNumber(QStringLiteral("+4930111"));
        line.setRemoteFirstName(firstName);
        line.setRemoteLastName(lastName);
        line.setCallDirection(CallDirection::Direction(direction));
        line.setCallState(CallState::State(state));

        QPointer<Notification> notification = NotificationFactory::buildFromLine(&line);
        QCOMPARE(notification.isNull(), type < 0);
        if (!notification)
            return;
        QCOMPARE(int(notification->type()), type);
        notification->submit();
        if (type == NotificationType::Silent) {
            QVERIFY(QApplication::topLevelWidgets().isEmpty());
            QTRY_VERIFY(notification.isNull());
            return;
        }
        RollOverPopUp *popup = notification->popup();
        QVERIFY(popup && popup->isVisible());
        QLabel *text1 = popup->findChild<QLabel *>(QStringLiteral("textLine1Label"));
        QTEST(text1->text(), "text1");
        QCOMPARE(text1->textFormat(), Qt::PlainText);
        QTEST(popup->findChild<QLabel *>(QStringLiteral("textLine2Label"))->text(), "text2");
        QTRY_COMPARE(sim.receivedCommands(QStringLiteral("getAddressPicture")).size(), 1);
        QCOMPARE(sim.receivedCommands(QStringLiteral("getAddressPicture")).constFirst()["data"]["id"].toString(),
                 QStringLiteral("c-9"));
    }

    void takesOnlyTheCallersPicture_data()
    {
        QTest::addColumn<QString>("addressId");
        QTest::addColumn<bool>("nullPicture");
        QTest::addColumn<bool>("taken");
        QTest::newRow("the caller's") << "c-1" << false << true;
        QTest::newRow("someone else's") << "c-2" << false << false;
        QTest::newRow("null for the caller") << "c-1" << true << false;
    }

    void takesOnlyTheCallersPicture()
    {
        QFETCH(QString, addressId);
        QFETCH(bool, nullPicture);
        QFETCH(bool, taken);
        auto *popup = new RollOverPopUp;
        popup->setAddressbookId(QStringLiteral("c-1"));
        popup->rollIn(-1);
        QLabel *avatar = popup->findChild<QLabel *>(QStringLiteral("callerPictureLabel"));
        const qint64 placeholder = avatar->pixmap(Qt::ReturnByValue).cacheKey();

        QPixmap picture(48, 48);
        picture.fill(Qt::red);
        emit CTIConnector::instance()->addressPictureAvailable(nullPicture ? QPixmap() : picture, addressId);
        QCOMPARE(avatar->pixmap(Qt::ReturnByValue).cacheKey() != placeholder, taken);
        if (taken) // inside the frame's border
            QCOMPARE(avatar->pixmap(Qt::ReturnByValue).toImage().pixelColor(32, 32), QColor(Qt::red));
    }

    void rollGeometry_data()
    {
        QTest::addColumn<QRect>("desktop");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("endY");
        QTest::newRow("menu bar on top") << QRect(0, 0, 1440, 900) << QRect(0, 23, 1440, 877) << 1131 << 23;
        QTest::newRow("panel at the bottom") << QRect(0, 0, 1920, 1080) << QRect(0, 0, 1920, 1040) << 1611 << 0;
    }

    void rollGeometry()
    {
        QFETCH(QRect, desktop);
        QFETCH(QRect, available);
        QFETCH(int, x);
        QFETCH(int, endY);
        const QSize size(309, 68);
        QCOMPARE(RollOverPopUp::rollInStart(size, desktop), QRect(QPoint(x, -68), size));
        QCOMPARE(RollOverPopUp::rollInEnd(size, desktop, available), QRect(QPoint(x, endY), size));
    }

    void lineEventsRollOutButNotTheOneBeingDelivered()
    {
        // As the main window does: every line event may bring a fresh pop-up.
        QList<QPointer<Notification>> submitted;
        auto notify = [&submitted](Line *line) {
            if (Notification *notification = NotificationFactory::buildFromLine(line)) {
                submitted << notification;
                notification->submit();
            }
        };
        QObject context;
        connect(CTIConnector::instance(), &CTIConnector::lineOpenend, &context, notify);
        connect(CTIConnector::instance(), &CTIConnector::lineChanged, &context, notify);
        const int rollOutMs = 2 * RollOverPopUp::animationDurationMs + 2000;

        pushLine(QStringLiteral("in-1"), CallDirection::Incoming);
        QTRY_COMPARE(submitted.size(), 1);
        QPointer<RollOverPopUp> first = submitted.first()->popup();
        pushLine(QStringLiteral("in-1"), CallDirection::Incoming, QStringLiteral("00:00:01"));
        QTRY_COMPARE(submitted.size(), 2);
        QPointer<RollOverPopUp> second = submitted.last()->popup();
        QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), rollOutMs);
        QVERIFY(submitted.first().isNull()); // freed with its pop-up
        const QScreen *screen = QGuiApplication::primaryScreen();
        const QRect end = RollOverPopUp::rollInEnd(second->size(), screen->geometry(), screen->availableGeometry());
        QTRY_VERIFY(second && second->geometry() == end);

        // Another line that notifies nothing.
        pushLine(QStringLiteral("out-2"), CallDirection::Outgoing);
        pushLine(QStringLiteral("out-2"), CallDirection::Outgoing, QStringLiteral("00:00:01"));
        QTRY_VERIFY_WITH_TIMEOUT(second.isNull(), rollOutMs);
    }

    // Calls in quick succession: a pop-up still sliding out under a new one goes at once; one
    // still standing stays.
    void coveredPopUpGoesAtOnce()
    {
        QPointer<RollOverPopUp> slidingOut = new RollOverPopUp;
        slidingOut->rollIn(-1);
        slidingOut->rollOut();
        QPointer<RollOverPopUp> standing = new RollOverPopUp;
        standing->rollIn(-1);
        QPointer<RollOverPopUp> newest = new RollOverPopUp;
        newest->rollIn(-1);
        QTRY_VERIFY_WITH_TIMEOUT(slidingOut.isNull(), RollOverPopUp::animationDurationMs / 3);
        QVERIFY(standing && standing->isVisible());
        QVERIFY(newest && newest->isVisible());
    }

private:
    void pushLine(const QString &callId, int direction, const QString &duration = QStringLiteral("00:00:00"))
    {
        sim.pushEvent(QStringLiteral("updateLineStatus"),
                      QJsonObject{{"callid", callId}, {"state", 1}, {"direction", direction}, {"duration", duration},
                                  {"remote_number", "+4930111"}, {"caller_addressbook_id", QString("c-" + callId)}});
    }

    ConnectedSimulator sim{"127.0.0.71"};
};

QTEST_MAIN(tst_Notification)
#include "tst_notification.moc"
