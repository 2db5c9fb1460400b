#include "connectedsimulator.h"
#include "cticonnector.h"
#include "reconnectwindow.h"
#include "settings.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
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
    void initTestCase()
    {
        sim.logIn();
    }

    void init()
    {
        sim.clearReceived();
        again.clear();
    }

    void countdown_data()
    {
        QTest::addColumn<int>("ticks"); // by hand; none: the window's own timer
        QTest::addColumn<int>("progress");
        QTest::addColumn<QString>("label");
        QTest::newRow("first tick after show") << 0 << 2 << "Reconnect in: 59 sec.";
        QTest::newRow("half way") << 30 << 50 << "Reconnect in: 30 sec.";
        QTest::newRow("one left") << 59 << 99 << "Reconnect in: 1 sec.";
    }

    void countdown()
    {
        QFETCH(int, ticks);
        QFETCH(QString, label);
        Form f;
        f.w.show();
        f.tick(ticks);
        QTRY_COMPARE_WITH_TIMEOUT(f.label->text(), label, 2 * ReconnectWindow::countdownIntervalMs + 500);
        QTEST(f.progress->value(), "progress");
        f.w.hide();
        QVERIFY(!f.countdown->isActive());
    }

    void countdownEndReconnectsOnce()
    {
        Form f;
        f.w.show();
        f.tick(ReconnectWindow::countdownStart);
        QVERIFY(!f.reconnect->isEnabled());
        QTRY_COMPARE(again.count(), 1);
        QVERIFY(!f.w.isVisible());
        QCOMPARE(sim.receivedCommands(QStringLiteral("login")).count(), 1);
    }

    void refusedStopsWaitingUnreachableCountsDownAgain()
    {
        Form f;
        sim.addAccount(QStringLiteral("demo"), QStringLiteral("changed"));
        f.w.show();
        QTest::mouseClick(f.reconnect, Qt::LeftButton);
        QTRY_COMPARE(f.label->text(), QStringLiteral("Incorrect username or password"));
        QVERIFY(f.reconnect->isEnabled());
        QVERIFY(!f.countdown->isActive());

        sim.stopListening();
        QTest::mouseClick(f.reconnect, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(f.countdown->isActive() && f.reconnect->isEnabled(), 30000);
        f.tick(1);
        QCOMPARE(f.label->text(), QStringLiteral("Reconnect in: 59 sec."));
    }

    void logoutForgetsPasswordAndRestartsOnce()
    {
        const QString key = QStringLiteral("loginDialog/password");
        Settings::instance()->setValueForKey(key, QStringLiteral("secret"));
        Form f;
        QList<QStringList> launched;
        int quits = 0;
        f.w.setLauncher([&](const QString &program, const QStringList &arguments) {
            launched << QStringList(program) + arguments;
            return false; // quits all the same
        });
        f.w.setQuitter([&] { ++quits; });
        QTest::mouseClick(f.logout, Qt::LeftButton);
        QTest::mouseClick(f.logout, Qt::LeftButton);

        QVERIFY(!Settings::instance()->getValueForKey(key).isValid());
        QFile file(Settings::instance()->fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!QString::fromUtf8(file.readAll()).contains(QStringLiteral("password")));
        QCOMPARE(quits, 1);
        QCOMPARE(launched, QList<QStringList>{QStringList(QCoreApplication::applicationFilePath())
                                               + QCoreApplication::arguments().mid(1)});
    }

private:
    ConnectedSimulator sim{"127.0.0.80"};
    CTIConnector *connector = CTIConnector::instance();
    QSignalSpy again{connector, &CTIConnector::reconnectSuccess};
};

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
