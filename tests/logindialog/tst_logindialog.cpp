#include "logindialog.h"
#include "settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

namespace {
const QString userKey = QStringLiteral("loginDialog/lastUsername");
const QString hostKey = QStringLiteral("loginDialog/lastHost");
const QString passwordKey = QStringLiteral("loginDialog/password");
const QString errorStyleSheet = QStringLiteral(
    "background-color: #fdf7f7;border-style: outset;border-width: 1px;border-color: #d9534f;");

QString stored(const QString &key)
{
    return Settings::instance()->getValueForKey(key, QString()).toString();
}

int writesTo(const QSignalSpy &spy, const QString &key)
{
    int count = 0;
    for (const QList<QVariant> &args : spy)
        count += args.at(0).toString() == key;
    return count;
}

// The widgets by the object names the form gives them.
struct Form
{
    explicit Form(LoginDialog &dialog)
        : username(dialog.findChild<QLineEdit *>(QStringLiteral("usernameLineEdit")))
        , password(dialog.findChild<QLineEdit *>(QStringLiteral("passwordLineEdit")))
        , host(dialog.findChild<QLineEdit *>(QStringLiteral("hostLineEdit")))
        , saveLogin(dialog.findChild<QCheckBox *>(QStringLiteral("saveLoginCheckBox")))
        , login(dialog.findChild<QPushButton *>(QStringLiteral("loginButton")))
        , message(dialog.findChild<QLabel *>(QStringLiteral("messageLabel")))
    {
    }

    void fill(const QString &user, const QString &pass, const QString &hostName) const
    {
        username->clear();
        password->clear();
        host->clear();
        QTest::keyClicks(username, user);
        QTest::keyClicks(password, pass);
        QTest::keyClicks(host, hostName);
    }

    QLineEdit *username;
    QLineEdit *password;
    QLineEdit *host;
    QCheckBox *saveLogin;
    QPushButton *login;
    QLabel *message;
};

enum class Outcome { Success, LoginFailed, ConnectFailed };
}

Q_DECLARE_METATYPE(Outcome)

class TestLoginDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void initialState();
    void emptyFieldIsRejected_data();
    void emptyFieldIsRejected();
    void returnActsLikeLoginButton_data();
    void returnActsLikeLoginButton();
    void fieldsSentAsTyped_data();
    void fieldsSentAsTyped();
    void execute_data();
    void execute();
    void saveLogin_data();
    void saveLogin();
    void loginFailedMarksFields_data();
    void loginFailedMarksFields();
    void connectFailedFocusesHost_data();
    void connectFailedFocusesHost();
};

void TestLoginDialog::init()
{
    for (const QString &key : {userKey, hostKey, passwordKey})
        Settings::instance()->setValueForKey(key, QString());
}

void TestLoginDialog::initialState()
{
    // Saved data must not leak into the fields.
    Settings::instance()->setValueForKey(userKey, QStringLiteral("saved-user"));
    Settings::instance()->setValueForKey(hostKey, QStringLiteral("saved-host"));

    LoginDialog dialog;
    const Form form(dialog);
    QVERIFY(form.username && form.password && form.host && form.saveLogin && form.login && form.message);

    QCOMPARE(dialog.windowTitle(), QStringLiteral("Talvero CTI Client - Login"));
    QCOMPARE(dialog.size(), QSize(198, 152));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(dialog.pos(), QPoint((screen.width() - 198) / 2, (screen.height() - 152) / 2));

    QVERIFY(form.username->text().isEmpty());
    QVERIFY(form.password->text().isEmpty());
    QVERIFY(form.host->text().isEmpty());
    QVERIFY(form.message->isHidden());
}

void TestLoginDialog::emptyFieldIsRejected_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("message");

    const QString noUser = QStringLiteral("Username is empty!");
    const QString noPassword = QStringLiteral("Password is empty!");
    const QString noHost = QStringLiteral("Host is empty!");

    QTest::newRow("all empty") << "" << "" << "" << noUser;
    QTest::newRow("user only") << "alice" << "" << "" << noPassword;
    QTest::newRow("user and password") << "alice" << "secret" << "" << noHost;
    QTest::newRow("user and host") << "alice" << "" << "pbx" << noPassword;
    QTest::newRow("password and host") << "" << "secret" << "pbx" << noUser;
    QTest::newRow("host only") << "" << "" << "pbx" << noUser;
}

void TestLoginDialog::emptyFieldIsRejected()
{
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(QString, host);
    QFETCH(QString, message);

    LoginDialog dialog;
    const Form form(dialog);
    dialog.show();
    form.fill(username, password, host);
    form.saveLogin->setChecked(true);

    QSignalSpy requested(&dialog, &LoginDialog::loginRequested);
    QSignalSpy written(Settings::instance(), &Settings::settingChanged);
    QTest::mouseClick(form.login, Qt::LeftButton);

    QVERIFY(form.message->isVisible());
    QCOMPARE(form.message->text(), message);
    QCOMPARE(requested.count(), 0);
    QCOMPARE(writesTo(written, userKey) + writesTo(written, hostKey), 0);

    // A ticked box on a rejected attempt must not arm saving for a later success.
    dialog.loginSuccess();
    QCOMPARE(stored(passwordKey), QString());
}

void TestLoginDialog::returnActsLikeLoginButton_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("message");

    QTest::newRow("username") << "usernameLineEdit" << "pbx" << "";
    QTest::newRow("password") << "passwordLineEdit" << "pbx" << "";
    QTest::newRow("host") << "hostLineEdit" << "pbx" << "";
    QTest::newRow("username, host missing") << "usernameLineEdit" << "" << "Host is empty!";
}

void TestLoginDialog::returnActsLikeLoginButton()
{
    QFETCH(QString, field);
    QFETCH(QString, host);
    QFETCH(QString, message);

    LoginDialog dialog;
    const Form form(dialog);
    dialog.show();
    form.fill(QStringLiteral("alice"), QStringLiteral("secret"), host);

    QSignalSpy requested(&dialog, &LoginDialog::loginRequested);
    QLineEdit *edit = dialog.findChild<QLineEdit *>(field);
    QVERIFY(edit);
    QTest::keyClick(edit, Qt::Key_Return);

    if (message.isEmpty()) {
        QCOMPARE(requested.count(), 1);
        QCOMPARE(requested.at(0),
                 (QVariantList{QStringLiteral("alice"), QStringLiteral("secret"), host}));
        QVERIFY(form.message->isHidden());
    } else {
        QCOMPARE(requested.count(), 0);
        QCOMPARE(form.message->text(), message);
    }
}

void TestLoginDialog::fieldsSentAsTyped_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("host");

    QTest::newRow("plain") << "alice" << "secret" << "pbx.example.com";
    QTest::newRow("surrounding spaces") << " alice " << "  se cret " << " pbx ";
    QTest::newRow("blank but not empty") << " " << " " << " ";
    QTest::newRow("markup-like") << "<b>bob</b>" << "p&ss<br>" << "10.0.0.1:8443";
}

void TestLoginDialog::fieldsSentAsTyped()
{
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(QString, host);

    LoginDialog dialog;
    const Form form(dialog);
    dialog.show();
    form.fill(username, password, host);

    QSignalSpy requested(&dialog, &LoginDialog::loginRequested);
    QTest::mouseClick(form.login, Qt::LeftButton);

    QCOMPARE(requested.count(), 1);
    QCOMPARE(requested.at(0), (QVariantList{username, password, host}));
    // Remembered before the server answers.
    QCOMPARE(stored(userKey), username);
    QCOMPARE(stored(hostKey), host);
    QCOMPARE(stored(passwordKey), QString());
}

void TestLoginDialog::execute_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("autoLogin");

    QTest::newRow("saved password") << "alice" << "secret" << "pbx" << true;
    QTest::newRow("saved password only") << "" << "secret" << "" << true;
    QTest::newRow("no password") << "alice" << "" << "pbx" << false;
    QTest::newRow("nothing saved") << "" << "" << "" << false;
}

void TestLoginDialog::execute()
{
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(QString, host);
    QFETCH(bool, autoLogin);

    Settings::instance()->setValueForKey(userKey, username);
    Settings::instance()->setValueForKey(passwordKey, password);
    Settings::instance()->setValueForKey(hostKey, host);

    LoginDialog dialog;
    QSignalSpy requested(&dialog, &LoginDialog::loginRequested);
    dialog.execute();

    if (autoLogin) {
        QCOMPARE(requested.count(), 1);
        QCOMPARE(requested.at(0), (QVariantList{username, password, host}));
        QVERIFY(!dialog.isVisible());
    } else {
        QCOMPARE(requested.count(), 0);
        QVERIFY(dialog.isVisible());
    }
}

void TestLoginDialog::saveLogin_data()
{
    // Manual attempts type alice/typed/pbx with the box as given; every attempt
    // but the last one is turned down, the last one ends with the outcome.
    QTest::addColumn<QString>("savedPassword");
    QTest::addColumn<bool>("autoLogin");
    QTest::addColumn<QList<bool>>("attemptsTicked");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QString>("expectedPassword");
    QTest::addColumn<int>("passwordWrites");

    const QString none;
    const QString typed = QStringLiteral("typed");
    const QString saved = QStringLiteral("saved");

    QTest::newRow("ticked, success") << none << false << QList<bool>{true} << Outcome::Success
                                     << typed << 1;
    QTest::newRow("unticked, success keeps earlier")
        << saved << false << QList<bool>{false} << Outcome::Success << saved << 0;
    QTest::newRow("ticked, login failed")
        << none << false << QList<bool>{true} << Outcome::LoginFailed << none << 0;
    QTest::newRow("ticked, connect failed")
        << none << false << QList<bool>{true} << Outcome::ConnectFailed << none << 0;
    QTest::newRow("ticked, failed, unticked retry succeeds")
        << none << false << QList<bool>{true, false} << Outcome::Success << none << 0;
    QTest::newRow("unticked, failed, ticked retry succeeds")
        << none << false << QList<bool>{false, true} << Outcome::Success << typed << 1;
    QTest::newRow("auto-login, success") << saved << true << QList<bool>{} << Outcome::Success
                                         << saved << 1;
    QTest::newRow("auto-login failed, unticked retry succeeds")
        << saved << true << QList<bool>{false} << Outcome::Success << saved << 0;
    QTest::newRow("auto-login failed, ticked retry succeeds")
        << saved << true << QList<bool>{true} << Outcome::Success << typed << 1;
}

void TestLoginDialog::saveLogin()
{
    QFETCH(QString, savedPassword);
    QFETCH(bool, autoLogin);
    QFETCH(QList<bool>, attemptsTicked);
    QFETCH(Outcome, outcome);
    QFETCH(QString, expectedPassword);
    QFETCH(int, passwordWrites);

    Settings *settings = Settings::instance();
    settings->setValueForKey(passwordKey, savedPassword);
    settings->setValueForKey(userKey, QStringLiteral("saved-user"));
    settings->setValueForKey(hostKey, QStringLiteral("saved-host"));

    LoginDialog dialog;
    const Form form(dialog);
    QSignalSpy requested(&dialog, &LoginDialog::loginRequested);
    QSignalSpy finished(&dialog, &LoginDialog::dialogFinishedWithSuccess);
    QSignalSpy written(settings, &Settings::settingChanged);

    if (autoLogin) {
        dialog.execute();
        QCOMPARE(requested.count(), 1);
        if (!attemptsTicked.isEmpty())
            dialog.loginFailed();
    } else {
        dialog.show();
    }

    for (int i = 0; i < attemptsTicked.size(); ++i) {
        form.fill(QStringLiteral("alice"), QStringLiteral("typed"), QStringLiteral("pbx"));
        form.saveLogin->setChecked(attemptsTicked.at(i));
        QTest::mouseClick(form.login, Qt::LeftButton);
        QCOMPARE(requested.count(), int(autoLogin) + i + 1);
        if (i + 1 < attemptsTicked.size())
            dialog.loginFailed();
    }

    switch (outcome) {
    case Outcome::Success:
        dialog.loginSuccess();
        break;
    case Outcome::LoginFailed:
        dialog.loginFailed();
        break;
    case Outcome::ConnectFailed:
        dialog.connectFailed();
        break;
    }

    QCOMPARE(stored(passwordKey), expectedPassword);
    QCOMPARE(writesTo(written, passwordKey), passwordWrites);
    const bool typedIn = !attemptsTicked.isEmpty();
    QCOMPARE(stored(userKey), typedIn ? QStringLiteral("alice") : QStringLiteral("saved-user"));
    QCOMPARE(stored(hostKey), typedIn ? QStringLiteral("pbx") : QStringLiteral("saved-host"));

    const bool success = outcome == Outcome::Success;
    QCOMPARE(finished.count(), success ? 1 : 0);
    QCOMPARE(dialog.isVisible(), !success);
}

void TestLoginDialog::loginFailedMarksFields_data()
{
    QTest::addColumn<bool>("autoLogin");

    QTest::newRow("shown") << false;
    QTest::newRow("hidden auto-login") << true;
}

void TestLoginDialog::loginFailedMarksFields()
{
    QFETCH(bool, autoLogin);

    LoginDialog dialog;
    const Form form(dialog);
    if (autoLogin) {
        Settings::instance()->setValueForKey(passwordKey, QStringLiteral("stale"));
        dialog.execute();
        QVERIFY(!dialog.isVisible());
    } else {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    }

    dialog.loginFailed();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QVERIFY(dialog.isVisible());
    QVERIFY(form.message->isVisible());
    QCOMPARE(form.message->text(), QStringLiteral("Incorrect username or password"));
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QBrush base = form.username->palette().brush(group, QPalette::Base);
        QCOMPARE(base.color(), QColor(Qt::red));
        QCOMPARE(base.style(), Qt::SolidPattern);
    }
    QVERIFY(!form.username->hasFrame());
    QCOMPARE(form.username->styleSheet(), errorStyleSheet);
    QCOMPARE(form.password->styleSheet(), errorStyleSheet);
    QVERIFY(form.host->styleSheet().isEmpty());

    // A new attempt that reaches the server leaves the verdict and the marks in place.
    form.fill(QStringLiteral("alice"), QStringLiteral("secret"), QStringLiteral("pbx"));
    QTest::mouseClick(form.login, Qt::LeftButton);
    QVERIFY(form.message->isVisible());
    QCOMPARE(form.message->text(), QStringLiteral("Incorrect username or password"));
    QCOMPARE(form.username->styleSheet(), errorStyleSheet);
    QVERIFY(!form.username->hasFrame());
}

void TestLoginDialog::connectFailedFocusesHost_data()
{
    QTest::addColumn<bool>("autoLogin");

    QTest::newRow("shown, focus in user name") << false;
    QTest::newRow("hidden auto-login") << true;
}

void TestLoginDialog::connectFailedFocusesHost()
{
    QFETCH(bool, autoLogin);

    LoginDialog dialog;
    const Form form(dialog);
    if (autoLogin) {
        Settings::instance()->setValueForKey(passwordKey, QStringLiteral("secret"));
        dialog.execute();
        QVERIFY(!dialog.isVisible());
    } else {
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        form.username->setFocus();
        QTRY_VERIFY(form.username->hasFocus());
    }

    dialog.connectFailed();

    QVERIFY(dialog.isVisible());
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTRY_VERIFY(form.host->hasFocus());
    QVERIFY(form.message->isVisible());
    QCOMPARE(form.message->text(), QStringLiteral("Can't connect to host"));
    QCOMPARE(form.host->styleSheet(), errorStyleSheet);
    QVERIFY(form.username->styleSheet().isEmpty());
}

QTEST_MAIN(TestLoginDialog)
#include "tst_logindialog.moc"
