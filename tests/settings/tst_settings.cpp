#include "settings.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

class tst_Settings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fileIsOwnerOnly();
    void writeIsReadableInsideTheSignal();
    void radioButton_data();
    void radioButton();
    void rollBackRestoresSnapshotAndKeepsNewKeys();
    void keysOfGroupAreRelative();
};

namespace {
const QFileDevice::Permissions notOwner = QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup
    | QFileDevice::WriteOther;
}

void tst_Settings::initTestCase()
{
    // What users meet: a file readable by everyone (left by an older version, or copied over)
    // is there before the first start. Made here whatever an earlier run left behind.
    const QString path =
        QSettings(QStringLiteral("Talvero Europe GmbH"), QStringLiteral("Talvero CTI Client")).fileName();
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[loginDialog]\nusername=anna\n");
    file.close();
    QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                | QFileDevice::ReadOther));
}

void tst_Settings::writeIsReadableInsideTheSignal()
{
    Settings *settings = Settings::instance();
    QVariant seen;
    int calls = 0;
    auto conn = connect(settings, &Settings::settingChanged, this, [&](const QString &key, const QVariant &value) {
        ++calls;
        QCOMPARE(key, QStringLiteral("stickyBuddyListColumns"));
        QCOMPARE(value.toInt(), 3);
        seen = settings->getValueForKey(key);
    });
    settings->setValueForKey(QStringLiteral("stickyBuddyListColumns"), 3);
    disconnect(conn);
    QCOMPARE(calls, 1);
    QCOMPARE(seen.toInt(), 3);
    QCOMPARE(settings->getValueForKey(QStringLiteral("absent"), QStringLiteral("fallback")).toString(),
             QStringLiteral("fallback"));
}

// The file holds the saved password: owner-only from the start, and after the first write.
void tst_Settings::fileIsOwnerOnly()
{
    Settings *settings = Settings::instance();
    const QFileInfo info(settings->fileName());
    // Nothing escaped to the user's real home: tests run with a throw-away one.
    QVERIFY(info.absoluteFilePath().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
    QVERIFY(info.exists());
    QCOMPARE(info.permissions() & notOwner, QFileDevice::Permissions());
    QCOMPARE(settings->getValueForKey(QStringLiteral("loginDialog/username")).toString(), QStringLiteral("anna"));

    settings->setValueForKey(QStringLiteral("loginDialog/password"), QStringLiteral("secret"));
    QCOMPARE(QFileInfo(settings->fileName()).permissions() & notOwner, QFileDevice::Permissions());
    QCOMPARE(QSettings(settings->fileName(), QSettings::IniFormat).value(QStringLiteral("loginDialog/username")).toString(),
             QStringLiteral("anna"));

    // The folder was cleaned up while the program ran: the next write makes the file anew.
    QVERIFY(QFile::remove(settings->fileName()));
    settings->setValueForKey(QStringLiteral("loginDialog/password"), QStringLiteral("secret2"));
    QVERIFY(QFileInfo::exists(settings->fileName()));
    QCOMPARE(QFileInfo(settings->fileName()).permissions() & notOwner, QFileDevice::Permissions());
}

void tst_Settings::radioButton_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("value");
    QTest::newRow("corner") << "stickyBuddyListCorner_2" << "stickyBuddyListCorner" << 2;
    QTest::newRow("underscores kept in key") << "a_b_7" << "a_b" << 7;
    QTest::newRow("no underscore") << "plain" << "" << 0;
    QTest::newRow("non-numeric tail") << "mode_x" << "mode" << 0;
    QTest::newRow("trailing underscore") << "mode_" << "mode" << 0;
}

void tst_Settings::radioButton()
{
    QFETCH(QString, objectName);
    QFETCH(QString, key);
    QFETCH(int, value);

    QWidget parent;
    QRadioButton button(&parent);
    QRadioButton other(&parent);
    button.setObjectName(objectName);
    Settings::instance()->bindRadioButtonToSetting(&button);
    QSignalSpy spy(Settings::instance(), &Settings::settingChanged);

    button.setChecked(true);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), key);
    QCOMPARE(spy.at(0).at(1).toInt(), value);

    other.setChecked(true); // unchecks the bound button: stores nothing
    QCOMPARE(spy.count(), 1);
}

void tst_Settings::rollBackRestoresSnapshotAndKeepsNewKeys()
{
    Settings *settings = Settings::instance();
    settings->setValueForKey(QStringLiteral("b"), 1);
    settings->setValueForKey(QStringLiteral("a"), QStringLiteral("one"));
    settings->setValueForKey(QStringLiteral("c"), true);
    settings->setValueForKey(QStringLiteral("loginDialog/password"), QStringLiteral("secret"));
    settings->setValueForKey(QStringLiteral("loginDialog/keyringAccounts"), QStringList{"anna@pbx"});
    settings->saveSnapshot();

    settings->setValueForKey(QStringLiteral("a"), QStringLiteral("two"));
    settings->setValueForKey(QStringLiteral("b"), 2);
    settings->setValueForKey(QStringLiteral("new"), 9);
    // Moved to the keyring meanwhile: neither written back into the file nor forgotten there.
    settings->removeValueForKey(QStringLiteral("loginDialog/password"));
    settings->setValueForKey(QStringLiteral("loginDialog/keyringAccounts"), QStringList{"anna@pbx", "bob@pbx"});

    QSignalSpy spy(settings, &Settings::settingChanged);
    settings->rollBackToSnapShot();
    QStringList order;
    for (const auto &args : spy)
        order << args.at(0).toString();
    // Every snapshot key once, ascending; the key added later is not touched.
    QVERIFY(std::is_sorted(order.cbegin(), order.cend()));
    QCOMPARE(order.count(QStringLiteral("a")) + order.count(QStringLiteral("b")) + order.count(QStringLiteral("c")), 3);
    QVERIFY(!order.contains(QStringLiteral("new")));
    QCOMPARE(settings->getValueForKey(QStringLiteral("a")).toString(), QStringLiteral("one"));
    QCOMPARE(settings->getValueForKey(QStringLiteral("b")).toInt(), 1);
    QCOMPARE(settings->getValueForKey(QStringLiteral("new")).toInt(), 9);
    QVERIFY(!settings->getValueForKey(QStringLiteral("loginDialog/password")).isValid());
    QCOMPARE(settings->getValueForKey(QStringLiteral("loginDialog/keyringAccounts")).toStringList().size(), 2);

    // The snapshot survives a roll-back: a second one restores the same values.
    settings->setValueForKey(QStringLiteral("a"), QStringLiteral("three"));
    settings->rollBackToSnapShot();
    QCOMPARE(settings->getValueForKey(QStringLiteral("a")).toString(), QStringLiteral("one"));
}

void tst_Settings::keysOfGroupAreRelative()
{
    Settings *settings = Settings::instance();
    settings->setValueForKey(QStringLiteral("peers/201"), true);
    settings->setValueForKey(QStringLiteral("peers/305"), false);
    settings->setValueForKey(QStringLiteral("peer/201"), QStringLiteral("Anna"));
    QStringList keys = settings->getKeysOfGroup(QStringLiteral("peers"));
    keys.sort();
    QCOMPARE(keys, (QStringList{"201", "305"}));
}

QTEST_MAIN(tst_Settings)
#include "tst_settings.moc"
