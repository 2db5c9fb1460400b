#include "settings.h"

#include "passwordstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {
const QString organisationName = QStringLiteral("Talvero Europe GmbH");
const QString applicationName = QStringLiteral("Talvero CTI Client");
}

Settings *Settings::instance()
{
    static Settings settings;
    return &settings;
}

Settings::Settings()
    : m_store(new QSettings(QSettings::NativeFormat, QSettings::UserScope, organisationName, applicationName))
{
    // The file holds the saved password. Create it owner-only before QSettings first writes:
    // its atomic save keeps the permissions of an existing file.
    const QString path = m_store->fileName();
    if (!path.isEmpty() && QFileInfo(path).isAbsolute()) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!QFileInfo::exists(path)) {
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.close();
        }
        restrictPermissions();
    }
}

Settings::~Settings()
{
    delete m_store;
}

QString Settings::fileName() const
{
    return m_store->fileName();
}

void Settings::restrictPermissions() const
{
    const QString path = m_store->fileName();
    if (QFileInfo::exists(path))
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QVariant Settings::getValueForKey(const QString &key, const QVariant &defaultValue) const
{
    return m_store->value(key, defaultValue);
}

void Settings::setValueForKey(const QString &key, const QVariant &value)
{
    m_store->setValue(key, value);
    emit settingChanged(key, value);
    m_store->sync();
    restrictPermissions();
}

void Settings::removeValueForKey(const QString &key)
{
    m_store->remove(key);
    emit settingChanged(key, QVariant());
    m_store->sync();
    restrictPermissions();
}

void Settings::setValuesForKeys(const QMap<QString, QVariant> &values)
{
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        m_store->setValue(it.key(), it.value());
        emit settingChanged(it.key(), it.value());
    }
    m_store->sync();
    restrictPermissions();
}

QStringList Settings::getKeysOfGroup(const QString &group) const
{
    m_store->beginGroup(group);
    const QStringList keys = m_store->allKeys();
    m_store->endGroup();
    return keys;
}

void Settings::saveSnapshot()
{
    m_snapshot.clear();
    m_optionsStored.clear();
    const QStringList keys = m_store->allKeys();
    for (const QString &key : keys) {
        // The password store's, no option: it moves the password to the keyring at any time,
        // and a roll-back would write it back into the file.
        if (key == PasswordStore::settingsKey || key == PasswordStore::keyringAccountsKey)
            continue;
        m_snapshot.insert(key, m_store->value(key));
    }
}

void Settings::rollBackToSnapShot()
{
    // QMap iterates in ascending key order.
    for (auto it = m_snapshot.cbegin(); it != m_snapshot.cend(); ++it)
        setValueForKey(it.key(), it.value());
    // An option nobody had set before (its default applied) goes back to its default, while
    // other keys added meanwhile (colleagues seen, window places) are not the dialog's to undo.
    const QSet<QString> stored = m_optionsStored;
    for (const QString &key : stored) {
        if (!m_snapshot.contains(key))
            removeValueForKey(key);
    }
}

void Settings::storeOption(const QString &key, const QVariant &value)
{
    m_optionsStored.insert(key);
    setValueForKey(key, value);
}

void Settings::checkBoxToggled(bool state)
{
    if (sender())
        storeOption(sender()->objectName(), state);
}

void Settings::intValueChanged(int value)
{
    if (sender())
        storeOption(sender()->objectName(), value);
}

void Settings::radioButtonToggled(bool checked)
{
    if (sender())
        storeRadioButton(sender()->objectName(), checked);
}

void Settings::storeRadioButton(const QString &objectName, bool checked)
{
    if (!checked)
        return;
    // "stickyBuddyListCorner_2" stores 2 under "stickyBuddyListCorner".
    QStringList parts = objectName.split(QLatin1Char('_'));
    const int value = parts.takeLast().toInt();
    storeOption(parts.join(QLatin1Char('_')), value);
}
