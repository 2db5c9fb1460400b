#include "cticonnector.h"
#include "line.h"
#include "pbxsimulator.h"
#include "runninglineview.h"

#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

class tst_RunningLineView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void showsTheLineAtOnce();
    void buttonsSendCommands_data();
    void buttonsSendCommands();
    void keepsOnlyItsOwnPicture_data();
    void keepsOnlyItsOwnPicture();
    void followsLineChanges();

private:
    QLabel *label(const char *name) const { return view->findChild<QLabel *>(QLatin1String(name)); }
    QPushButton *button(const QString &name) const { return view->findChild<QPushButton *>(name); }
    //! What reached the server but the picture requests, which views send on their own.
    QList<QJsonObject> callCommands() const
    {
        QList<QJsonObject> commands = sim.receivedCommands();
        commands.erase(std::remove_if(commands.begin(), commands.end(),
                                      [](const QJsonObject &c) { return c["name"] == "getAddressPicture"; }),
                       commands.end());
        return commands;
    }

    PbxSimulator sim{QHostAddress(QStringLiteral("127.0.0.70"))};
    std::unique_ptr<Line> line;
    std::unique_ptr<RunningLineView> view;
};

void tst_RunningLineView::initTestCase()
{
    sim.addAccount(QStringLiteral("demo"), QStringLiteral("demo"));
    QVERIFY2(sim.listen(), qPrintable(sim.errorString()));
    QSignalSpy ok(CTIConnector::instance(), &CTIConnector::loginSuccess);
    CTIConnector::instance()->login(QStringLiteral("demo"), QStringLiteral("demo"), QStringLiteral("127.0.0.70"));
    QTRY_COMPARE(ok.count(), 1);
}

void tst_RunningLineView::init()
{
    view.reset();
    line.reset(new Line);
    line->setCallId(QStringLiteral("call-1"));
    line->setRemoteId(QStringLiteral("contact-7"));
    line->setRemoteFirstName(QStringLiteral("Anna"));
    line->setRemoteLastName(QStringLiteral("<b>Berg</b>"));
    line->setRemoteCompanyName(QStringLiteral("Acme"));
    line->setRemoteNumber(QStringLiteral("+4971112345"));
    line->setCallDirection(CallDirection::Incoming);
    line->setCallState(CallState::Ringing);
    line->setCallDuration(QTime(1, 2, 3));
    sim.clearReceived();
    view.reset(new RunningLineView(line.get()));
}

void tst_RunningLineView::showsTheLineAtOnce()
{
    QCOMPARE(label("nameLabel")->text(), QStringLiteral("<b>Berg</b>, Anna"));
    QCOMPARE(label("nameLabel")->textFormat(), Qt::PlainText);
    QCOMPARE(label("companyLabel")->text(), QStringLiteral("Acme"));
    QCOMPARE(label("phoneNumberLabel")->text(), QStringLiteral("+4971112345"));
    QCOMPARE(label("timeLabel")->text(), QStringLiteral("01:02:03"));
    QVERIFY(!label("callStateLabel")->pixmap(Qt::ReturnByValue).isNull());
    QVERIFY(!button("hangupButton")->isHidden());
    for (const char *hidden : {"holdButton", "recordButton", "transferButton"})
        QVERIFY2(button(QLatin1String(hidden))->isHidden(), hidden);
    QTRY_VERIFY(!sim.receivedCommands(QStringLiteral("getAddressPicture")).isEmpty());
    QCOMPARE(sim.receivedCommands(QStringLiteral("getAddressPicture")).last()["data"].toObject()["id"].toString(),
             QStringLiteral("contact-7"));
}

void tst_RunningLineView::buttonsSendCommands_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<bool>("holdChecked");

    QTest::newRow("hang up") << QStringList{"hangupButton"} << QStringList{"hangup"} << false;
    QTest::newRow("hold once") << QStringList{"holdButton"} << QStringList{"hold"} << true;
    QTest::newRow("hold twice") << QStringList{"holdButton", "holdButton"} << QStringList{"hold", "holdRetrieve"}
                                << false;
    QTest::newRow("transfer to 924") << QStringList{"transferButton"} << QStringList{"transfer"} << false;
}

void tst_RunningLineView::buttonsSendCommands()
{
    QFETCH(QStringList, clicks);
    QFETCH(QStringList, commands);
    QFETCH(bool, holdChecked);

    view->show();
    for (const QString &name : clicks) {
        QPushButton *b = button(name);
        b->show(); // the hidden ones are wired all the same
        QTest::mouseClick(b, Qt::LeftButton);
    }

    QTRY_COMPARE(callCommands().size(), commands.size());
    QStringList sent;
    for (const QJsonObject &command : callCommands()) {
        sent << command["name"].toString();
        QCOMPARE(command["data"].toObject()["callid"].toString(), QStringLiteral("call-1"));
    }
    if (sent.first() == QLatin1String("transfer"))
        QCOMPARE(callCommands().first()["data"].toObject()["target"].toString(), QStringLiteral("924"));
    QCOMPARE(sent, commands);
    QCOMPARE(button("holdButton")->isChecked(), holdChecked);
}

void tst_RunningLineView::keepsOnlyItsOwnPicture_data()
{
    QTest::addColumn<QString>("addressId");
    QTest::addColumn<bool>("nullPicture");
    QTest::addColumn<bool>("taken");

    QTest::newRow("own id") << "contact-7" << false << true;
    QTest::newRow("other id") << "contact-8" << false << false;
    QTest::newRow("null picture for own id") << "contact-7" << true << false;
}

void tst_RunningLineView::keepsOnlyItsOwnPicture()
{
    QFETCH(QString, addressId);
    QFETCH(bool, nullPicture);
    QFETCH(bool, taken);

    QPixmap picture(10, 10);
    picture.fill(Qt::red);
    const qint64 before = label("avatarLabel")->pixmap(Qt::ReturnByValue).cacheKey();
    emit CTIConnector::instance()->addressPictureAvailable(nullPicture ? QPixmap() : picture, addressId);
    const qint64 after = label("avatarLabel")->pixmap(Qt::ReturnByValue).cacheKey();
    QCOMPARE(after == picture.cacheKey(), taken);
    QCOMPARE(after == before, !taken);
}

void tst_RunningLineView::followsLineChanges()
{
    line->setRemoteNumber(QStringLiteral("0711 999"));
    line->setCallState(CallState::Connected);
    line->onSecondsTimer();
    QCOMPARE(label("phoneNumberLabel")->text(), QStringLiteral("0711 999"));
    QCOMPARE(label("timeLabel")->text(), QStringLiteral("01:02:04"));
    const QImage connected =
        CallState::callStateToIcon(CallState::Connected, CallDirection::Incoming, QSize(32, 32)).toImage();
    QCOMPARE(label("callStateLabel")->pixmap(Qt::ReturnByValue).toImage(), connected);
}

QTEST_MAIN(tst_RunningLineView)
#include "tst_runninglineview.moc"
