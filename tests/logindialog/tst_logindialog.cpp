#include "logindialog.h"
#include "settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

void store(const QString &user, const QString &password, const QString &host)
{
    Settings::instance()->setValueForKey(userKey, user);
    Settings::instance()->setValueForKey(passwordKey, password);
    Settings::instance()->setValueForKey(hostKey, host);
}

// The widgets by the object names the form gives them.
struct Form
{
    explicit Form(LoginDialog &dialog) : d(dialog) {}

    void fill(const QString &user, const QString &pass, const QString &hostName) const
    {
        QTest::keyClicks(username, user);
        QTest::keyClicks(password, pass);
        QTest::keyClicks(host, hostName);
    }

    LoginDialog &d;
    QLineEdit *username = d.findChild<QLineEdit *>(QStringLiteral("usernameLineEdit"));
    QLineEdit *password = d.findChild<QLineEdit *>(QStringLiteral("passwordLineEdit"));
    QLineEdit *host = d.findChild<QLineEdit *>(QStringLiteral("hostLineEdit"));
    QCheckBox *saveLogin = d.findChild<QCheckBox *>(QStringLiteral("saveLoginCheckBox"));
    QPushButton *login = d.findChild<QPushButton *>(QStringLiteral("loginButton"));
    QLabel *message = d.findChild<QLabel *>(QStringLiteral("messageLabel"));
};
}

class TestLoginDialog : public QObject
{
    Q_OBJECT

private slots:
    void init() { store(QString(), QString(), QString()); }
    void submit_data();
    void submit();
    void saveLogin_data();
    void saveLogin();
    void untickedRetryForgetsTheTickedAttempt();
    void loginFailedMarksFields();
    void connectFailedFocusesHost();
};

void TestLoginDialog::submit_data()
{
    // Sent by the button or by Return in any field; an empty message means the attempt goes out.
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("message");

    QTest::newRow("all empty") << "loginButton" << "" << "" << "" << "Username is empty!";
    QTest::newRow("no username") << "loginButton" << "" << "secret" << "pbx" << "Username is empty!";
    QTest::newRow("no password") << "loginButton" << "alice" << "" << "pbx" << "Password is empty!";
    QTest::newRow("no host") << "loginButton" << "alice" << "secret" << "" << "Host is empty!";
    QTest::newRow("button, plain") << "loginButton" << "alice" << "secret" << "pbx.example.com" << "";
    QTest::newRow("button, markup-like") << "loginButton" << "<b>bob</b>" << "p&ss<br>" << "10.0.0.1:8443" << "";
    QTest::newRow("Return in username, spaces") << "usernameLineEdit" << " alice " << "  se cret " << " pbx " << "";
    QTest::newRow("Return in password, blanks") << "passwordLineEdit" << " " << " " << " " << "";
    QTest::newRow("Return in host") << "hostLineEdit" << "alice" << "secret" << "pbx" << "";
}

void TestLoginDialog::submit()
{
    QFETCH(QString, trigger);
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(QString, host);
    QFETCH(QString, message);

    LoginDialog dialog;
    const Form form(dialog);
    dialog.show();
    form.fill(username, password, host);
    QSignalSpy requested(&dialog, &LoginDialog::loginRequested);
    if (auto *edit = dialog.findChild<QLineEdit *>(trigger))
        QTest::keyClick(edit, Qt::Key_Return);
    else
        QTest::mouseClick(form.login, Qt::LeftButton);

    QCOMPARE(form.message->isVisible(), !message.isEmpty());
    QCOMPARE(form.message->text(), message);
    QCOMPARE(requested.count(), message.isEmpty() ? 1 : 0);
    if (message.isEmpty())
        QCOMPARE(requested.at(0), (QVariantList{username, password, host}));
    // Remembered unaltered before the server answers; a rejected attempt remembers nothing.
    QCOMPARE(stored(userKey), message.isEmpty() ? username : QString());
    QCOMPARE(stored(hostKey), message.isEmpty() ? host : QString());
}

void TestLoginDialog::saveLogin_data()
{
    // Manual attempts type alice/typed/pbx; auto-login runs on the saved values.
    QTest::addColumn<QString>("savedPassword");
    QTest::addColumn<bool>("autoLogin");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("expectedPassword");

    QTest::newRow("ticked, success") << "" << false << true << true << "typed";
    QTest::newRow("unticked, success keeps earlier") << "saved" << false << false << true << "saved";
    QTest::newRow("ticked, failure") << "" << false << true << false << "";
    QTest::newRow("auto-login, success") << "saved" << true << false << true << "saved";
}

void TestLoginDialog::saveLogin()
{
    QFETCH(QString, savedPassword);
    QFETCH(bool, autoLogin);
    QFETCH(bool, ticked);
    QFETCH(bool, success);
    QFETCH(QString, expectedPassword);

    store(QStringLiteral("saved-user"), savedPassword, QStringLiteral("saved-host"));
    LoginDialog dialog;
    const Form form(dialog);
    QSignalSpy requested(&dialog, &LoginDialog::loginRequested);
    QSignalSpy finished(&dialog, &LoginDialog::dialogFinishedWithSuccess);

    if (autoLogin) {
        dialog.execute();
    } else {
        dialog.show();
        form.fill(QStringLiteral("alice"), QStringLiteral("typed"), QStringLiteral("pbx"));
        form.saveLogin->setChecked(ticked);
        QTest::mouseClick(form.login, Qt::LeftButton);
    }
    QCOMPARE(requested.count(), 1);
    if (success)
        dialog.loginSuccess();
    else
        dialog.loginFailed();

    QCOMPARE(stored(passwordKey), expectedPassword);
    QCOMPARE(stored(userKey), autoLogin ? QStringLiteral("saved-user") : QStringLiteral("alice"));
    QCOMPARE(stored(hostKey), autoLogin ? QStringLiteral("saved-host") : QStringLiteral("pbx"));
    QCOMPARE(finished.count(), success ? 1 : 0);
    QCOMPARE(dialog.isVisible(), !success);
}

void TestLoginDialog::untickedRetryForgetsTheTickedAttempt()
{
    LoginDialog dialog;
    const Form form(dialog);
    dialog.show();
    form.fill(QStringLiteral("alice"), QStringLiteral("typed"), QStringLiteral("pbx"));
    form.saveLogin->setChecked(true);
    QTest::mouseClick(form.login, Qt::LeftButton);
    dialog.loginFailed();
    form.saveLogin->setChecked(false);
    QTest::mouseClick(form.login, Qt::LeftButton);
    dialog.loginSuccess();
    QCOMPARE(stored(passwordKey), QString());
}

void TestLoginDialog::loginFailedMarksFields()
{
    // Starts hidden, as after an auto-login: the verdict must bring the window up.
    LoginDialog dialog;
    const Form form(dialog);
    dialog.loginFailed();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QVERIFY(form.message->isVisible());
    QCOMPARE(form.message->text(), QStringLiteral("Incorrect username or password"));
    // Checked after showing: a later polish must not have undone the red base.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QBrush base = form.username->palette().brush(group, QPalette::Base);
        QCOMPARE(base.color(), QColor(Qt::red));
        QCOMPARE(base.style(), Qt::SolidPattern);
    }
    QVERIFY(!form.username->hasFrame());
    QCOMPARE(form.username->styleSheet(), errorStyleSheet);
    QCOMPARE(form.password->styleSheet(), errorStyleSheet);
    QVERIFY(form.host->styleSheet().isEmpty());
}

void TestLoginDialog::connectFailedFocusesHost()
{
    LoginDialog dialog;
    const Form form(dialog);
    // Starts hidden, as after an auto-login; shown, focus would land in the user name.
    dialog.connectFailed();
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTRY_VERIFY(form.host->hasFocus());
    QVERIFY(form.message->isVisible());
    QCOMPARE(form.message->text(), QStringLiteral("Can't connect to host"));
    QCOMPARE(form.host->styleSheet(), errorStyleSheet);
}

QTEST_MAIN(TestLoginDialog)
#include "tst_logindialog.moc"
