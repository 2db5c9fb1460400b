#include "connectedsimulator.h"
#include "cticonnector.h"
#include "line.h"
#include "runninglineview.h"

#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <memory>

class tst_RunningLineView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        sim.logIn();
    }

    void init()
    {
        view.reset();
        line.reset(new Line);
        line->setCallId(QStringLiteral("call-1"));
        line->setRemoteId(QStringLiteral("contact-7"));
        line->setRemoteFirstName(QStringLiteral("Anna"));
        line->setRemoteLastName(QStringLiteral("<b>Berg</b>"));
        line->setRemoteNumber(QStringLiteral("+4971112345"));
        line->setCallDirection(CallDirection::Incoming);
        line->setCallState(CallState::Ringing);
        line->setCallDuration(QTime(1, 2, 3));
        sim.clearReceived();
        view.reset(new RunningLineView(line.get()));
    }

    void showsAndFollowsTheLine()
    {
        QCOMPARE(label("nameLabel")->text(), QStringLiteral("<b>Berg</b>, Anna"));
        QCOMPARE(label("nameLabel")->textFormat(), Qt::PlainText);
        QVERIFY(!button("hangupButton")->isHidden());
        for (const char *name : {"holdButton", "recordButton", "transferButton"})
            QVERIFY2(button(name)->isHidden(), name);
        QTRY_COMPARE(sim.receivedCommands(QStringLiteral("getAddressPicture")).size(), 1);
        QCOMPARE(sim.receivedCommands(QStringLiteral("getAddressPicture")).constFirst()["data"]["id"].toString(),
                 QStringLiteral("contact-7"));

        line->setRemoteNumber(QStringLiteral("0711 999"));
        line->setCallState(CallState::Connected);
        line->onSecondsTimer();
        QCOMPARE(label("phoneNumberLabel")->text(), QStringLiteral("0711 999"));
        QCOMPARE(label("timeLabel")->text(), QStringLiteral("01:02:04"));
        QCOMPARE(label("callStateLabel")->pixmap(Qt::ReturnByValue).toImage(),
                 CallState::callStateToIcon(CallState::Connected, CallDirection::Incoming, QSize(32, 32)).toImage());
    }

    void buttonsSendCommands_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<bool>("holdChecked");
        QTest::newRow("hang up") << QStringList{"hangupButton"} << QStringList{"hangup"} << false;
        QTest::newRow("hold once") << QStringList{"holdButton"} << QStringList{"hold"} << true;
        QTest::newRow("hold twice") << QStringList{"holdButton", "holdButton"} << QStringList{"hold", "holdRetrieve"}
                                    << false;
    }

    void buttonsSendCommands()
    {
        QTRY_VERIFY(!sim.receivedCommands().isEmpty()); // the picture request
        sim.clearReceived();
        QFETCH(QStringList, clicks);
        for (const QString &name : clicks) {
            button(name)->show(); // wired, though nothing offers it yet
            QTest::mouseClick(button(name), Qt::LeftButton);
        }
        QTEST(button("holdButton")->isChecked(), "holdChecked");
        QFETCH(QStringList, commands);
        QTRY_COMPARE(sim.receivedCommands().size(), commands.size());
        for (int i = 0; i < commands.size(); ++i) {
            QCOMPARE(sim.receivedCommands().at(i)["name"].toString(), commands.at(i));
            QCOMPARE(sim.receivedCommands().at(i)["data"]["callid"].toString(), QStringLiteral("call-1"));
        }
    }

    void keepsOnlyItsOwnPicture_data()
    {
        QTest::addColumn<QString>("addressId");
        QTest::addColumn<bool>("nullPicture");
        QTest::addColumn<bool>("taken");
        QTest::newRow("own id") << "contact-7" << false << true;
        QTest::newRow("other id") << "contact-8" << false << false;
        QTest::newRow("null picture for own id") << "contact-7" << true << false;
    }

    void keepsOnlyItsOwnPicture()
    {
        QFETCH(QString, addressId);
        QFETCH(bool, nullPicture);
        QPixmap picture(10, 10);
        picture.fill(Qt::red);
        const qint64 before = label("avatarLabel")->pixmap(Qt::ReturnByValue).cacheKey();
        emit CTIConnector::instance()->addressPictureAvailable(nullPicture ? QPixmap() : picture, addressId);
        const qint64 after = label("avatarLabel")->pixmap(Qt::ReturnByValue).cacheKey();
        QTEST(after == picture.cacheKey(), "taken");
        QTEST(after != before, "taken");
    }

    void noContactNoPicture()
    {
        // A caller who is no contact: no picture asked for, and none taken that was asked for
        // under the empty id.
        line->setRemoteId(QString());
        sim.clearReceived();
        view.reset(new RunningLineView(line.get()));
        CTIConnector::instance()->hangup(QStringLiteral("marker"));
        QTRY_COMPARE(sim.receivedCommands(QStringLiteral("hangup")).size(), 1);
        // Earlier views' requests may arrive meanwhile; none is for the empty id.
        for (const QJsonObject &command : sim.receivedCommands(QStringLiteral("getAddressPicture")))
            QCOMPARE(command["data"]["id"].toString(), QStringLiteral("contact-7"));
        QPixmap picture(10, 10);
        picture.fill(Qt::red);
        emit CTIConnector::instance()->addressPictureAvailable(picture, QString());
        QVERIFY(label("avatarLabel")->pixmap(Qt::ReturnByValue).cacheKey() != picture.cacheKey());
    }

private:
    QLabel *label(const char *name) const { return view->findChild<QLabel *>(QLatin1String(name)); }
    QPushButton *button(const QString &name) const { return view->findChild<QPushButton *>(name); }

    ConnectedSimulator sim{"127.0.0.70"};
    std::unique_ptr<Line> line;
    std::unique_ptr<RunningLineView> view;
};

QTEST_MAIN(tst_RunningLineView)
#include "tst_runninglineview.moc"
