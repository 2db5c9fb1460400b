#pragma once

#include <QObject>
#include <QString>

#include <functional>

//! Where the saved login password lives: in the desktop's keyring (a Secret Service or KWallet
//! running on the session bus) when there is one, otherwise in the owner-only settings file.
//! A password found in the file while a keyring runs is moved there by the next save(). The
//! keyring holds one password per account: the last user name and host the login dialog stored.
class PasswordStore final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(PasswordStore)

public:
    static PasswordStore *instance();

    //! The settings key of the file copy.
    static const QString settingsKey;
    //! The settings key of the accounts whose password save() put in the keyring, for clear().
    static const QString keyringAccountsKey;
    //! How long a keyring may take to answer before the file is used (or, on clear, given up on).
    static int keyringTimeoutMs();
    static void setKeyringTimeoutMs(int ms);

    //! Whether a keyring runs on the session bus; asked once, reset by forgetKeyringState().
    bool keyringAvailable();
    //! Asks the bus again on the next use (for tests that start or stop a keyring).
    void forgetKeyringState();

    //! Calls done (unless context is gone) with the saved password, empty when there is none.
    //! Without a keyring the call is made before read() returns; with one, once it answered,
    //! falling back to the file when the keyring has none, fails or times out.
    void read(QObject *context, std::function<void(const QString &)> done);
    //! Saves the password: in the keyring, removing the file copy once it is stored there;
    //! in the file when there is no keyring or it refuses.
    void save(const QString &password);
    //! Forgets the saved passwords everywhere: the file copy and the keyring entry of every
    //! account saved with these settings. Returns once the keyring has forgotten them too (or
    //! did not answer in time), so a process that ends right after leaves none behind.
    void clear();

signals:
    //! After save() stored the password: true in the keyring, false in the settings file.
    void saved(bool inKeyring);

private:
    PasswordStore();

    QString filePassword() const;
    void saveToFile(const QString &password, const QString &why);
    void removeFileCopy();

    enum class Keyring { Unknown, Available, Absent };
    Keyring m_keyring = Keyring::Unknown;
    bool m_fileUseLogged = false;
};
