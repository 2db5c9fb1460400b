#include "cticonnector.h"
#include "line.h"
#include "notification.h"
#include "notificationfactory.h"
#include "pbxsimulator.h"
#include "rolloverpopup.h"

#include <QApplication>
#include <QJsonObject>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

class tst_Notification : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void buildFromLine_data();
    void buildFromLine();
    void ringingCallRollsInWithPictureRequest();
    void silentShowsNothingAndIsFreed();
    void takesOnlyTheCallersPicture_data();
    void takesOnlyTheCallersPicture();
    void rollGeometry_data();
    void rollGeometry();
    void lineEventsRollOutButNotTheOneBeingDelivered();
    void timedRollsOutByItself();

private:
    static QList<RollOverPopUp *> popups();
    static QString labelText(RollOverPopUp *popup, const char *name)
    {
        return popup->findChild<QLabel *>(QLatin1String(name))->text();
    }
    void pushLine(const QString &callId, int direction, const QString &duration = QStringLiteral("00:00:00"))
    {
        const QJsonObject data{{"callid", callId},          {"state", 1},
                               {"direction", direction},    {"duration", duration},
                               {"remote_number", "+4930111"}, {"caller_addressbook_id", QString("c-" + callId)}};
        sim.pushEvent(QStringLiteral("updateLineStatus"), data);
    }

    PbxSimulator sim{QHostAddress(QStringLiteral("127.0.0.71"))};
};

QList<RollOverPopUp *> tst_Notification::popups()
{
    QList<RollOverPopUp *> found;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *popup = qobject_cast<RollOverPopUp *>(widget))
            found << popup;
    return found;
}

void tst_Notification::initTestCase()
{
    sim.addAccount(QStringLiteral("demo"), QStringLiteral("demo"));
    QVERIFY2(sim.listen(), qPrintable(sim.errorString()));
    QSignalSpy ok(CTIConnector::instance(), &CTIConnector::loginSuccess);
    CTIConnector::instance()->login(QStringLiteral("demo"), QStringLiteral("demo"), QStringLiteral("127.0.0.71"));
    QTRY_COMPARE(ok.count(), 1);
}

void tst_Notification::cleanup()
{
    qDeleteAll(popups());
    sim.clearReceived();
}

void tst_Notification::buildFromLine_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("lastName");
    QTest::addColumn<bool>("built");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");

    const int in = CallDirection::Incoming;
    QTest::newRow("incoming ringing") << in << 1 << "Berg" << true << 0 << "Berg, Anna" << "+4930111";
    QTest::newRow("incoming ringing, no name") << in << 1 << "" << true << 0 << "+4930111" << "";
    QTest::newRow("incoming connected") << in << 2 << "Berg" << true << 1 << "Berg, Anna" << "+4930111";
    QTest::newRow("outgoing ringing") << int(CallDirection::Outgoing) << 1 << "Berg" << false << 0 << "" << "";
}

void tst_Notification::buildFromLine()
{
    QFETCH(int, direction);
    QFETCH(int, state);
    QFETCH(QString, lastName);
    QFETCH(bool, built);

    Line line;
    line.setRemoteId(QStringLiteral("c-9"));
    line.setRemoteNumber(QStringLiteral("+4930111"));
    if (!lastName.isEmpty()) {
        line.setRemoteFirstName(QStringLiteral("Anna"));
        line.setRemoteLastName(lastName);
    }
    line.setCallDirection(CallDirection::Direction(direction));
    line.setCallState(CallState::State(state));

    QScopedPointer<Notification> notification(NotificationFactory::buildFromLine(&line));
    QCOMPARE(!notification.isNull(), built);
    if (!built)
        return;
    QTEST(int(notification->type()), "type");
    QCOMPARE(notification->title(), QStringLiteral("Incoming call!"));
    QCOMPARE(notification->remoteId(), QStringLiteral("c-9"));
    QTEST(notification->text1(), "text1");
    QTEST(notification->text2(), "text2");
}

void tst_Notification::ringingCallRollsInWithPictureRequest()
{
    Line line;
    line.setRemoteId(QStringLiteral("c-42"));
    line.setRemoteFirstName(QStringLiteral("<i>Anna</i>"));
    line.setRemoteNumber(QStringLiteral("+4930111"));
    line.setCallDirection(CallDirection::Incoming);
    line.setCallState(CallState::Ringing);
    NotificationFactory::buildFromLine(&line)->submit();

    QCOMPARE(popups().size(), 1);
    RollOverPopUp *popup = popups().first();
    QVERIFY(popup->isVisible());
    QCOMPARE(labelText(popup, "titleLabel"), QStringLiteral("Incoming call!"));
    QCOMPARE(labelText(popup, "textLine1Label"), QStringLiteral("<i>Anna</i>"));
    QCOMPARE(popup->findChild<QLabel *>(QStringLiteral("textLine1Label"))->textFormat(), Qt::PlainText);
    QCOMPARE(labelText(popup, "textLine2Label"), QStringLiteral("+4930111"));
    const QImage ringing =
        QIcon(QStringLiteral(":/images/call_states/in_ring_yellow.png")).pixmap(popup->iconLabelSize()).toImage();
    QCOMPARE(popup->findChild<QLabel *>(QStringLiteral("icon"))->pixmap(Qt::ReturnByValue).toImage(), ringing);
    QTRY_COMPARE(sim.receivedCommands(QStringLiteral("getAddressPicture")).size(), 1);
    QCOMPARE(sim.receivedCommands(QStringLiteral("getAddressPicture")).first()["data"].toObject()["id"].toString(),
             QStringLiteral("c-42"));
}

void tst_Notification::silentShowsNothingAndIsFreed()
{
    QPointer<Notification> notification = new Notification;
    notification->setType(NotificationType::Silent);
    notification->submit();
    QVERIFY(popups().isEmpty());
    QTRY_VERIFY(notification.isNull());
}

void tst_Notification::takesOnlyTheCallersPicture_data()
{
    QTest::addColumn<QString>("addressId");
    QTest::addColumn<bool>("nullPicture");
    QTest::addColumn<bool>("taken");

    QTest::newRow("the caller's") << "c-1" << false << true;
    QTest::newRow("someone else's") << "c-2" << false << false;
    QTest::newRow("null for the caller") << "c-1" << true << false;
}

void tst_Notification::takesOnlyTheCallersPicture()
{
    QFETCH(QString, addressId);
    QFETCH(bool, nullPicture);
    QFETCH(bool, taken);

    auto *popup = new RollOverPopUp;
    popup->setAddressbookId(QStringLiteral("c-1"));
    popup->rollIn(-1);
    QCOMPARE(popup->avatarLabelSize(), QSize(64, 64));
    QLabel *avatar = popup->findChild<QLabel *>(QStringLiteral("callerPictureLabel"));
    const qint64 placeholder = avatar->pixmap(Qt::ReturnByValue).cacheKey();

    QPixmap picture(48, 48);
    picture.fill(Qt::red);
    emit CTIConnector::instance()->addressPictureAvailable(nullPicture ? QPixmap() : picture, addressId);
    const QImage shown = avatar->pixmap(Qt::ReturnByValue).toImage();
    QCOMPARE(avatar->pixmap(Qt::ReturnByValue).cacheKey() != placeholder, taken);
    if (taken) // inside the frame's border
        QCOMPARE(shown.pixelColor(32, 32), QColor(Qt::red));
}

void tst_Notification::rollGeometry_data()
{
    QTest::addColumn<QRect>("desktop");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QPoint>("end");

    QTest::newRow("menu bar on top") << QRect(0, 0, 1440, 900) << QRect(0, 23, 1440, 877) << QPoint(1131, -68)
                                     << QPoint(1131, 23);
    QTest::newRow("nothing reserved") << QRect(0, 0, 800, 600) << QRect(0, 0, 800, 600) << QPoint(491, -68)
                                      << QPoint(491, 0);
    QTest::newRow("panel at the bottom") << QRect(0, 0, 1920, 1080) << QRect(0, 0, 1920, 1040) << QPoint(1611, -68)
                                         << QPoint(1611, 0);
}

void tst_Notification::rollGeometry()
{
    QFETCH(QRect, desktop);
    QFETCH(QRect, available);
    QFETCH(QPoint, start);
    QFETCH(QPoint, end);
    const QSize size(309, 68);

    QCOMPARE(RollOverPopUp::rollInStart(size, desktop), QRect(start, size));
    QCOMPARE(RollOverPopUp::rollInEnd(size, desktop, available), QRect(end, size));
}

void tst_Notification::lineEventsRollOutButNotTheOneBeingDelivered()
{
    // As the main window does: every line event may bring a fresh pop-up.
    QList<QPointer<Notification>> submitted;
    auto notify = [&submitted](Line *line) {
        if (Notification *notification = NotificationFactory::buildFromLine(line)) {
            submitted << notification;
            notification->submit();
        }
    };
    CTIConnector *connector = CTIConnector::instance();
    QMetaObject::Connection opened = connect(connector, &CTIConnector::lineOpenend, this, notify);
    QMetaObject::Connection changed = connect(connector, &CTIConnector::lineChanged, this, notify);

    pushLine(QStringLiteral("in-1"), CallDirection::Incoming);
    QTRY_COMPARE(popups().size(), 1);
    QPointer<RollOverPopUp> first = popups().first();

    // Still ringing after a change: the first pop-up rolls out, the one built for this change stays.
    pushLine(QStringLiteral("in-1"), CallDirection::Incoming, QStringLiteral("00:00:01"));
    QTRY_COMPARE(submitted.size(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 2 * RollOverPopUp::animationDurationMs + 2000);
    QVERIFY(submitted.first().isNull()); // freed with its pop-up
    QCOMPARE(popups().size(), 1);
    QPointer<RollOverPopUp> second = popups().first();
    QVERIFY(second->isVisible());
    const QScreen *screen = QGuiApplication::primaryScreen();
    QTRY_COMPARE(second->geometry(), RollOverPopUp::rollInEnd(second->size(), screen->geometry(),
                                                             screen->availableGeometry()));

    // A second, unrelated line that notifies nothing.
    pushLine(QStringLiteral("out-2"), CallDirection::Outgoing);
    pushLine(QStringLiteral("out-2"), CallDirection::Outgoing, QStringLiteral("00:00:01"));
    QTRY_VERIFY_WITH_TIMEOUT(second.isNull(), 2 * RollOverPopUp::animationDurationMs + 2000);
    QVERIFY(submitted.last().isNull());
    QCOMPARE(submitted.size(), 2);

    disconnect(opened);
    disconnect(changed);
}

void tst_Notification::timedRollsOutByItself()
{
    auto *notification = new Notification;
    notification->setType(NotificationType::Timed);
    notification->submit();
    QCOMPARE(popups().size(), 1);
    QPointer<RollOverPopUp> popup = popups().first();
    // The stay, then the slide out.
    QTRY_VERIFY_WITH_TIMEOUT(popup.isNull(), Notification::timedDurationMs + 3 * RollOverPopUp::animationDurationMs + 2000);
}

QTEST_MAIN(tst_Notification)
#include "tst_notification.moc"
