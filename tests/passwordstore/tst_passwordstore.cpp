#include "passwordstore.h"
#include "settings.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

class tst_PasswordStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void keptInTheKeyringOnly();
    void movedFromTheFileAtTheNextSave();
    void clearForgetsItEverywhere();
    void lateKeyringFallsBackToTheFile();
    void onePasswordPerAccount();
    void withoutABusTheFileIsUsed();

private:
    //! What read() answers, waited for.
    static QString read();
    //! Where save() stored the password, waited for: "keyring", "file" or "nowhere".
    static QString save(const QString &password);
    static QString fileText();
    static void setFilePassword(const QString &password)
    {
        Settings::instance()->setValueForKey(PasswordStore::settingsKey, password);
    }

    QByteArray m_bus;
};

void tst_PasswordStore::initTestCase()
{
    m_bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    QVERIFY2(!m_bus.isEmpty(), "runs on a session bus of its own (with-keyring.sh)");
    // The keyring daemon is started in the background: wait until it is on the bus.
    PasswordStore *store = PasswordStore::instance();
    QTRY_VERIFY_WITH_TIMEOUT((store->forgetKeyringState(), store->keyringAvailable()), 15000);
}

void tst_PasswordStore::init()
{
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus);
    PasswordStore::setKeyringTimeoutMs(15000);
    PasswordStore *store = PasswordStore::instance();
    store->forgetKeyringState();
    QVERIFY(store->keyringAvailable());
    store->clear();
}

QString tst_PasswordStore::read()
{
    QString answer;
    int answers = 0;
    QObject context;
    PasswordStore::instance()->read(&context, [&](const QString &password) {
        answer = password;
        ++answers;
    });
    if (!QTest::qWaitFor([&answers] { return answers > 0; }, 15000))
        return QStringLiteral("<no answer>");
    return answers == 1 ? answer : QStringLiteral("<%1 answers>").arg(answers);
}

QString tst_PasswordStore::save(const QString &password)
{
    QSignalSpy saved(PasswordStore::instance(), &PasswordStore::saved);
    PasswordStore::instance()->save(password);
    if (saved.isEmpty() && !saved.wait(15000))
        return QStringLiteral("nowhere");
    return saved.first().first().toBool() ? QStringLiteral("keyring") : QStringLiteral("file");
}

QString tst_PasswordStore::fileText()
{
    QFile file(Settings::instance()->fileName());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void tst_PasswordStore::keptInTheKeyringOnly()
{
    QCOMPARE(save(QStringLiteral("s3cr=t;ä")), QStringLiteral("keyring"));
    QVERIFY(!fileText().contains(QStringLiteral("password")));
    QCOMPARE(read(), QStringLiteral("s3cr=t;ä"));
}

void tst_PasswordStore::movedFromTheFileAtTheNextSave()
{
    // Saved by a version without a keyring: read from the file until moved.
    setFilePassword(QStringLiteral("old"));
    QCOMPARE(read(), QStringLiteral("old"));

    QCOMPARE(save(QStringLiteral("old")), QStringLiteral("keyring"));
    QVERIFY(!fileText().contains(QStringLiteral("password")));
    QCOMPARE(read(), QStringLiteral("old"));
}

void tst_PasswordStore::clearForgetsItEverywhere()
{
    QCOMPARE(save(QStringLiteral("in the keyring")), QStringLiteral("keyring"));
    setFilePassword(QStringLiteral("in the file"));

    PasswordStore::instance()->clear();
    QVERIFY(!fileText().contains(QStringLiteral("password")));
    QCOMPARE(read(), QString());
}

void tst_PasswordStore::lateKeyringFallsBackToTheFile()
{
    QCOMPARE(save(QStringLiteral("keyring")), QStringLiteral("keyring"));
    setFilePassword(QStringLiteral("file"));

    // No keyring answers within no time: the file's answer, and only that one.
    PasswordStore::setKeyringTimeoutMs(0);
    QCOMPARE(read(), QStringLiteral("file"));
}

void tst_PasswordStore::onePasswordPerAccount()
{
    Settings *settings = Settings::instance();
    const auto account = [settings](const QString &user, const QString &host) {
        settings->setValueForKey(QStringLiteral("loginDialog/lastUsername"), user);
        settings->setValueForKey(QStringLiteral("loginDialog/lastHost"), host);
    };
    account(QStringLiteral("anna"), QStringLiteral("pbx.example.com"));
    QCOMPARE(save(QStringLiteral("annas")), QStringLiteral("keyring"));

    // Another client's settings (a demo, another server) neither read nor replace it.
    account(QStringLiteral("demo"), QStringLiteral("127.0.0.1"));
    QCOMPARE(read(), QString());
    QCOMPARE(save(QStringLiteral("demo")), QStringLiteral("keyring"));
    account(QStringLiteral("anna"), QStringLiteral("pbx.example.com"));
    QCOMPARE(read(), QStringLiteral("annas"));

    // A logout after a login to a third account forgets what these settings saved for each.
    account(QStringLiteral("bob"), QStringLiteral("pbx.example.com"));
    PasswordStore::instance()->clear();
    account(QStringLiteral("anna"), QStringLiteral("pbx.example.com"));
    QCOMPARE(read(), QString());
    account(QStringLiteral("demo"), QStringLiteral("127.0.0.1"));
    QCOMPARE(read(), QString());
}

void tst_PasswordStore::withoutABusTheFileIsUsed()
{
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    PasswordStore *store = PasswordStore::instance();
    store->forgetKeyringState();
    QVERIFY(!store->keyringAvailable());

    QCOMPARE(save(QStringLiteral("plain")), QStringLiteral("file"));
    QCOMPARE(read(), QStringLiteral("plain"));
    QVERIFY(fileText().contains(QStringLiteral("password=plain")));

    store->clear();
    QVERIFY(!fileText().contains(QStringLiteral("password")));
    QCOMPARE(read(), QString());
}

QTEST_GUILESS_MAIN(tst_PasswordStore)
#include "tst_passwordstore.moc"
