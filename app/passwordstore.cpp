#include "passwordstore.h"

#include "log.h"
#include "settings.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <qt5keychain/keychain.h>

#include <memory>

namespace {
const QString logTag = QStringLiteral("PasswordStore");
// What the keyring's own tools show the entry as.
const QString keyringService = QStringLiteral("Talvero CTI Client");
const QString lastUsernameKey = QStringLiteral("loginDialog/lastUsername");
const QString lastHostKey = QStringLiteral("loginDialog/lastHost");
int g_keyringTimeoutMs = 15000;

// One entry per account, so clients with other settings (another server, a demo) keep theirs.
QString keyringKey()
{
    const Settings *settings = Settings::instance();
    return settings->getValueForKey(lastUsernameKey, QString()).toString() + QLatin1Char('@')
        + settings->getValueForKey(lastHostKey, QString()).toString();
}

QString keyringError(const QKeychain::Job *job)
{
    return QString::number(int(job->error())) + QStringLiteral(" (") + job->errorString() + QLatin1Char(')');
}
} // namespace

const QString PasswordStore::settingsKey = QStringLiteral("loginDialog/password");
const QString PasswordStore::keyringAccountsKey = QStringLiteral("loginDialog/keyringAccounts");

PasswordStore::PasswordStore() = default;

PasswordStore *PasswordStore::instance()
{
    static auto *const store = new PasswordStore;
    return store;
}

int PasswordStore::keyringTimeoutMs()
{
    return g_keyringTimeoutMs;
}

void PasswordStore::setKeyringTimeoutMs(int ms)
{
    g_keyringTimeoutMs = ms;
}

bool PasswordStore::keyringAvailable()
{
    if (m_keyring == Keyring::Unknown) {
        m_keyring = Keyring::Absent;
        // Without an address the bus library would try to launch a bus of its own, and an
        // activatable but not running keyring would prompt on a desktop that may have no screen.
        if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
            const QDBusConnection bus = QDBusConnection::sessionBus();
            const QDBusConnectionInterface *names = bus.isConnected() ? bus.interface() : nullptr;
            if (names
                && (names->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")).value()
                    || names->isServiceRegistered(QStringLiteral("org.kde.kwalletd5")).value()))
                m_keyring = Keyring::Available;
        }
    }
    return m_keyring == Keyring::Available;
}

void PasswordStore::forgetKeyringState()
{
    m_keyring = Keyring::Unknown;
    m_fileUseLogged = false;
}

QString PasswordStore::filePassword() const
{
    return Settings::instance()->getValueForKey(settingsKey, QString()).toString();
}

void PasswordStore::removeFileCopy()
{
    // Removing writes the file: only when there is something to remove.
    if (Settings::instance()->getValueForKey(settingsKey).isValid())
        Settings::instance()->removeValueForKey(settingsKey);
}

void PasswordStore::saveToFile(const QString &password, const QString &why)
{
    if (!m_fileUseLogged) {
        m_fileUseLogged = true;
        Log::w(why + QStringLiteral(": the password is kept in the settings file, readable by its owner only"), logTag);
    }
    Settings::instance()->setValueForKey(settingsKey, password);
    emit saved(false);
}

void PasswordStore::read(QObject *context, std::function<void(const QString &)> done)
{
    if (!keyringAvailable()) {
        done(filePassword());
        return;
    }
    auto *job = new QKeychain::ReadPasswordJob(keyringService);
    job->setKey(keyringKey());
    // One answer only: the keyring's, or the file's when the keyring is late.
    auto answered = std::make_shared<bool>(false);
    QPointer<QObject> receiver(context);
    auto answer = [this, receiver, done, answered](const QString &keyringPassword) {
        if (*answered)
            return;
        *answered = true;
        if (receiver)
            done(keyringPassword.isEmpty() ? filePassword() : keyringPassword);
    };
    connect(job, &QKeychain::Job::finished, this, [answer](QKeychain::Job *finished) {
        if (finished->error() != QKeychain::NoError && finished->error() != QKeychain::EntryNotFound)
            Log::w(QStringLiteral("the keyring could not be read: ") + keyringError(finished), logTag);
        answer(static_cast<QKeychain::ReadPasswordJob *>(finished)->textData());
    });
    QTimer::singleShot(g_keyringTimeoutMs, this, [answer, answered] {
        if (!*answered)
            Log::w(QStringLiteral("the keyring did not answer in time; using the settings file"), logTag);
        answer(QString());
    });
    job->start();
}

void PasswordStore::save(const QString &password)
{
    if (!keyringAvailable()) {
        saveToFile(password, QStringLiteral("no keyring runs on the session bus"));
        return;
    }
    auto *job = new QKeychain::WritePasswordJob(keyringService);
    job->setKey(keyringKey());
    job->setTextData(password);
    connect(job, &QKeychain::Job::finished, this, [this, password](QKeychain::Job *finished) {
        if (finished->error() != QKeychain::NoError) {
            saveToFile(password, QStringLiteral("the keyring refused the password: ") + keyringError(finished));
            return;
        }
        // Stored safely: a copy left in the file (saved before there was a keyring) goes.
        removeFileCopy();
        Settings *settings = Settings::instance();
        QStringList accounts = settings->getValueForKey(keyringAccountsKey).toStringList();
        if (!accounts.contains(finished->key())) {
            accounts << finished->key();
            settings->setValueForKey(keyringAccountsKey, accounts);
        }
        emit saved(true);
    });
    job->start();
}

void PasswordStore::clear()
{
    removeFileCopy();
    if (!keyringAvailable())
        return;
    // The user name and host change with each login: every account saved from these settings,
    // and the current one (saved before the accounts were recorded).
    Settings *settings = Settings::instance();
    QStringList accounts = settings->getValueForKey(keyringAccountsKey).toStringList();
    if (!accounts.contains(keyringKey()))
        accounts << keyringKey();
    QEventLoop loop;
    int unanswered = accounts.size();
    for (const QString &account : qAsConst(accounts)) {
        auto *job = new QKeychain::DeletePasswordJob(keyringService);
        job->setKey(account);
        connect(job, &QKeychain::Job::finished, &loop, [&loop, &unanswered](QKeychain::Job *done) {
            if (done->error() != QKeychain::NoError && done->error() != QKeychain::EntryNotFound)
                Log::w(QStringLiteral("the keyring could not forget a password: ") + keyringError(done), logTag);
            if (--unanswered == 0)
                loop.quit();
        });
        job->start();
    }
    QTimer::singleShot(g_keyringTimeoutMs, &loop, &QEventLoop::quit);
    // The user's clicks wait: they would act on a window that is about to go.
    if (unanswered > 0)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (unanswered > 0)
        Log::w(QStringLiteral("the keyring did not answer in time; a password may still be saved there"), logTag);
    if (settings->getValueForKey(keyringAccountsKey).isValid())
        settings->removeValueForKey(keyringAccountsKey);
}
