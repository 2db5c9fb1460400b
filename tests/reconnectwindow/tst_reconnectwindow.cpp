#include "cticonnector.h"
#include "pbxsimulator.h"
#include "reconnectwindow.h"
#include "settings.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

namespace {
// Given to the application object only, so a restart has an argument of its own to pass on.
const char *const restartMarker = "--restart-marker";

struct Form
{
    ReconnectWindow w;
    QProgressBar *progress = w.findChild<QProgressBar *>(QStringLiteral("progressBar"));
    QLabel *label = w.findChild<QLabel *>(QStringLiteral("label"));
    QPushButton *reconnect = w.findChild<QPushButton *>(QStringLiteral("reconnectButton"));
    QPushButton *logout = w.findChild<QPushButton *>(QStringLiteral("logoutButton"));
    QTimer *countdown = w.findChild<QTimer *>(QStringLiteral("countdownTimer"));
    void tick(int times)
    {
        for (int i = 0; i < times; ++i)
            w.updateCountdownProgress();
    }
};
}

class tst_ReconnectWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firstTickAfterShow();
    void countdown_data();
    void countdown();
    void countdownEndReconnectsOnce();
    void reconnectFailedRestartsCountdown();
    void refusedLoginStopsWaiting();
    void logoutForgetsPasswordAndRestarts();

private:
    PbxSimulator sim{QHostAddress(QStringLiteral("127.0.0.80"))};
    CTIConnector *connector = CTIConnector::instance();
    QSignalSpy again{connector, &CTIConnector::reconnectSuccess};
};

void tst_ReconnectWindow::initTestCase()
{
    sim.addAccount(QStringLiteral("demo"), QStringLiteral("demo"));
    QVERIFY2(sim.listen(), qPrintable(sim.errorString()));
    QSignalSpy accepted(connector, &CTIConnector::loginSuccess);
    connector->login(QStringLiteral("demo"), QStringLiteral("demo"), QStringLiteral("127.0.0.80"));
    QTRY_COMPARE(accepted.count(), 1);
}

void tst_ReconnectWindow::firstTickAfterShow()
{
    Form f;
    f.w.show();
    QTRY_COMPARE_WITH_TIMEOUT(f.label->text(), QStringLiteral("Reconnect in: 59 sec."), 2500);
    QCOMPARE(f.progress->value(), 2);
    f.w.hide();
    QVERIFY(!f.countdown->isActive());
}

void tst_ReconnectWindow::countdown_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<int>("progress");
    QTest::addColumn<QString>("label");
    QTest::newRow("one tick") << 1 << 2 << "Reconnect in: 59 sec.";
    QTest::newRow("half way") << 30 << 50 << "Reconnect in: 30 sec.";
    QTest::newRow("three left") << 57 << 95 << "Reconnect in: 3 sec.";
    QTest::newRow("one left") << 59 << 99 << "Reconnect in: 1 sec.";
}

void tst_ReconnectWindow::countdown()
{
    QFETCH(int, ticks);
    Form f;
    f.w.show();
    f.tick(ticks);
    QTEST(f.progress->value(), "progress");
    QTEST(f.label->text(), "label");
}

void tst_ReconnectWindow::countdownEndReconnectsOnce()
{
    Form f;
    sim.clearReceived();
    again.clear();
    QSignalSpy progress(f.progress, &QProgressBar::valueChanged);
    f.w.show();
    f.tick(ReconnectWindow::countdownStart);

    // Full at zero, then emptied for the attempt.
    QCOMPARE(progress.at(progress.count() - 2).at(0).toInt(), 100);
    QCOMPARE(f.progress->value(), 0);
    QCOMPARE(f.label->text(), QStringLiteral("reconnecting..."));
    QVERIFY(!f.reconnect->isEnabled());
    QTRY_COMPARE(again.count(), 1);
    QVERIFY(!f.w.isVisible());
    QCOMPARE(sim.receivedCommands(QStringLiteral("login")).count(), 1);
}

void tst_ReconnectWindow::reconnectFailedRestartsCountdown()
{
    Form f;
    again.clear();
    f.w.show();
    f.tick(10);
    QTest::mouseClick(f.reconnect, Qt::LeftButton);
    QVERIFY(!f.reconnect->isEnabled());
    emit connector->reconnectFailed(); // before the real attempt is done
    QVERIFY(f.reconnect->isEnabled());
    QCOMPARE(f.label->text(), QStringLiteral("reconnecting..."));
    f.tick(1);
    QCOMPARE(f.label->text(), QStringLiteral("Reconnect in: 59 sec."));
    QTRY_COMPARE(again.count(), 1);
}

void tst_ReconnectWindow::refusedLoginStopsWaiting()
{
    Form f;
    again.clear();
    sim.addAccount(QStringLiteral("demo"), QStringLiteral("changed"));
    f.w.show();
    QTest::mouseClick(f.reconnect, Qt::LeftButton);
    QTRY_COMPARE(f.label->text(), QStringLiteral("Incorrect username or password"));
    QVERIFY(f.reconnect->isEnabled());
    QVERIFY(f.logout->isEnabled());
    QVERIFY(!f.countdown->isActive());

    // A retry against a server that is gone counts down again instead of waiting for ever.
    sim.stopListening();
    QTest::mouseClick(f.reconnect, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(f.countdown->isActive() && f.reconnect->isEnabled(), 30000);

    sim.addAccount(QStringLiteral("demo"), QStringLiteral("demo"));
    QVERIFY(sim.listen());
    QTest::mouseClick(f.reconnect, Qt::LeftButton);
    QTRY_COMPARE(again.count(), 1);
    QVERIFY(!f.w.isVisible());
}

void tst_ReconnectWindow::logoutForgetsPasswordAndRestarts()
{
    const QString key = QStringLiteral("loginDialog/password");
    Settings::instance()->setValueForKey(key, QStringLiteral("secret"));
    Form f;
    QStringList launched;
    int quits = 0;
    f.w.setLauncher([&](const QString &program, const QStringList &arguments) {
        launched = QStringList(program) + arguments;
        return false; // quits all the same
    });
    f.w.setQuitter([&] { ++quits; });
    QTest::mouseClick(f.logout, Qt::LeftButton);

    QCOMPARE(Settings::instance()->getValueForKey(key, QStringLiteral("unset")).toString(), QString());
    QFile file(Settings::instance()->fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(file.readAll()).contains(QRegularExpression(QStringLiteral("(?m)^password=$"))));
    QCOMPARE(quits, 1);
    QCOMPARE(launched, QStringList(QCoreApplication::applicationFilePath()) + QCoreApplication::arguments().mid(1));
    QVERIFY(QDir::isAbsolutePath(launched.first()));
    QVERIFY(launched.mid(1).contains(QLatin1String(restartMarker)));
}

int main(int argc, char *argv[])
{
    QVector<char *> appArgs(argv, argv + argc);
    appArgs.append(const_cast<char *>(restartMarker));
    int appArgc = appArgs.size();
    appArgs.append(nullptr);
    QApplication app(appArgc, appArgs.data());
    tst_ReconnectWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_reconnectwindow.moc"
