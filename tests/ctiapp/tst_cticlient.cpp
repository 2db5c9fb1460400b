#include "cticlient.h"
#include "cticonnector.h"
#include "ctimainwindow.h"
#include "logindialog.h"
#include "pbxsimulator.h"
#include "registry.h"
#include "settings.h"
#include "stickybuddylist.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

class tst_CTIClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void translation_data();
    void translation();
    void autoLoginBuildsTheMainWindowOnce();
    void quitRequestShutsDownAndEndsTheLoop_data();
    void quitRequestShutsDownAndEndsTheLoop();
    void markedTextWaitsForTheLoginOrSaysItCannot();

private:
    PbxSimulator sim{QHostAddress(QStringLiteral("127.0.0.13"))};
};

void tst_CTIClient::initTestCase()
{
    sim.addAccount(QStringLiteral("demo"), QStringLiteral("demo"));
    QVERIFY2(sim.listen(), qPrintable(sim.errorString()));
}

void tst_CTIClient::translation_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("cancel"); // Qt's own text, from Qt's translations
    QTest::newRow("German") << int(QLocale::German) << "de_de" << true << "Benutzername ist leer!" << "Abbrechen";
    // Qt has no Norwegian texts of its own.
    QTest::newRow("Norwegian Bokmal: empty file") << int(QLocale::NorwegianBokmal) << "no" << true << "Username is empty!"
                                                  << "Cancel";
    QTest::newRow("Russian") << int(QLocale::Russian) << "ru" << true << "Username is empty!" << "Отмена";
    QTest::newRow("English") << int(QLocale::English) << "" << false << "Username is empty!" << "Cancel";
    // Without a translation of ours Qt's texts stay English too, so that a window speaks one language.
    QTest::newRow("French") << int(QLocale::French) << "" << false << "Username is empty!" << "Cancel";
    QTest::newRow("Swiss German is another language") << int(QLocale::SwissGerman) << "" << false << "Username is empty!"
                                                      << "Cancel";
}

void tst_CTIClient::translation()
{
    QFETCH(int, language);
    QFETCH(QString, name);
    QFETCH(bool, loads);
    QFETCH(QString, username);
    QFETCH(QString, cancel);
    QCOMPARE(CTIClient::translationNameFor(language), name);

    CTIClient client;
    if (!loads)
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("could not load Translation file: ") + name + ".qm!"));
    QCOMPARE(client.installTranslation(language), loads);
    QCOMPARE(QCoreApplication::translate("LoginDialog", "Username is empty!"), username);
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancel);
}

void tst_CTIClient::autoLoginBuildsTheMainWindowOnce()
{
    QVERIFY(!Registry::instance()->getCTIMainWindow());
    Settings *settings = Settings::instance();
    settings->setValueForKey(QStringLiteral("loginDialog/lastUsername"), QStringLiteral("demo"));
    settings->setValueForKey(QStringLiteral("loginDialog/lastHost"), QStringLiteral("127.0.0.13"));
    settings->setValueForKey(QStringLiteral("loginDialog/password"), QStringLiteral("demo"));

    CTIClient client;
    client.exec();
    // No login window: the saved password logs in at once.
    const QList<QWidget *> before = QApplication::topLevelWidgets();
    for (QWidget *widget : before)
        QVERIFY(!widget->isVisible());
    QTRY_VERIFY(client.mainWindow());
    CTIMainWindow *window = client.mainWindow();
    QCOMPARE(Registry::instance()->getCTIMainWindow(), window);
    QTRY_VERIFY(window->isVisible());
    QVERIFY(!window->windowIcon().isNull());
    // The login dialog went away after handing over.
    const auto loginDialogs = [] {
        int count = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            count += qobject_cast<LoginDialog *>(widget) != nullptr;
        return count;
    };
    QTRY_COMPARE(loginDialogs(), 0);

    // A later accepted login (a reconnection) does not build a second window.
    QSignalSpy again(CTIConnector::instance(), &CTIConnector::reconnectSuccess);
    sim.pushResponse(QStringLiteral("login"), QJsonObject{{"status", 200}});
    QTRY_COMPARE(again.count(), 1);
    QCOMPARE(client.mainWindow(), window);
}

void tst_CTIClient::quitRequestShutsDownAndEndsTheLoop_data()
{
    QTest::addColumn<bool>("byClosing");
    QTest::newRow("quit action") << false;
    // Without the tray, and with the extension monitor a titled window as it is by default.
    QTest::newRow("main window closed") << true;
}

void tst_CTIClient::quitRequestShutsDownAndEndsTheLoop()
{
    QFETCH(bool, byClosing);
    CTIClient client;
    client.onLoginSuccess();
    CTIMainWindow *window = client.mainWindow();
    QVERIFY(window);
    QTimer::singleShot(0, window, [window, byClosing] {
        QVERIFY(window->extensionMonitor()->isVisible());
        if (byClosing)
            window->close();
        else
            window->quitApplication();
    });
    QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(99); }); // a safety net only
    QCOMPARE(QCoreApplication::exec(), 0);
}

void tst_CTIClient::markedTextWaitsForTheLoginOrSaysItCannot()
{
    CTIClient client;
    // What a desktop's shortcut hands over before the login: kept for after it.
    client.handleRequest(CTIClient::dialSelectionRequest("desktop-7_TIME1"));
    QTRY_VERIFY(client.dialSelectionPending());
    QLoggingCategory::setFilterRules(QStringLiteral("cti.debug=true"));
    const auto quiet = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("not dialled: the login was given up")));
    client.onLoginGiveup();
}

QTEST_MAIN(tst_CTIClient)
#include "tst_cticlient.moc"
