#include "gnomeshortcutwriter.h"
#include "privategsettings.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// The writer against the real gsettings tool, on a keyfile in a private home and a test copy of
// GNOME's two schemas. Broken tools are shell scripts put first on PATH.
class tst_GnomeShortcutWriter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void addsAndKeepsOthers_data();
    void addsAndKeepsOthers();
    void roundTrip_data();
    void roundTrip();
    void askingWritesNothing();
    void missingSchema_data();
    void missingSchema();
    void refusedInput_data();
    void refusedInput();
    void brokenTool_data();
    void brokenTool();
    void unreadableOutput_data();
    void unreadableOutput();
    void failedWrite_data();
    void failedWrite();

private:
    QString gsettings(const QStringList &arguments);
    //! Gives each path an entry of the user's ("run PATH" on <Super>u) and lists them in this order.
    void writeUserEntries(const QStringList &paths);
    //! Puts a gsettings first on PATH that runs this shell script ($REAL is the real tool).
    void fakeTool(const QByteArray &script);
    QByteArray keyfile() const;

    QTemporaryDir home;
    QString realTool;
    QByteArray originalPath;
};

namespace {
const QString listKey = QStringLiteral("custom-keybindings");
const QString ours = QStringLiteral("talvero-cti-client --dial-selection");

QString entry(int n) { return GnomeShortcutWriter::entryPathBase + QStringLiteral("custom%1/").arg(n); }
QString at(const QString &path) { return GnomeShortcutWriter::entrySchema + ':' + path; }
QString printed(const QStringList &paths) { return "['" + paths.join("', '") + "']"; }

} // namespace

void tst_GnomeShortcutWriter::initTestCase()
{
    if (const char *why = PrivateGSettings::missing())
        QSKIP(why);
    realTool = QStandardPaths::findExecutable("gsettings");
    QVERIFY(home.isValid());
    originalPath = qgetenv("PATH");

    using namespace PrivateGSettings;
    const std::pair<const char *, QByteArray> schemaSets[] = {
        {"all", QByteArray(listSchemaXml) + entrySchemaXml}, {"list", listSchemaXml}, {"entry", entrySchemaXml}};
    for (const auto &[name, schemas] : schemaSets)
        QVERIFY(compile(home.filePath(QString("schemas/") + name), schemas));
    use(home.path(), home.filePath("schemas/all"));
    // A locale that is not UTF-8, in which gsettings prints no umlauts unless told to.
    qputenv("LC_ALL", "C");
}

void tst_GnomeShortcutWriter::init()
{
    qputenv("PATH", originalPath);
    qputenv("GSETTINGS_SCHEMA_DIR", QFile::encodeName(home.filePath("schemas/all")));
    QFile::remove(home.filePath("config/glib-2.0/settings/keyfile"));
}

QString tst_GnomeShortcutWriter::gsettings(const QStringList &arguments)
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("CHARSET", "UTF-8");
    tool.setProcessEnvironment(environment);
    tool.start(realTool, arguments);
    tool.waitForFinished();
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

void tst_GnomeShortcutWriter::writeUserEntries(const QStringList &paths)
{
    for (const QString &path : paths) {
        gsettings({"set", at(path), "command", "'run " + path + "'"});
        gsettings({"set", at(path), "binding", "'<Super>u'"});
    }
    gsettings({"set", GnomeShortcutWriter::listSchema, listKey, printed(paths)});
    QCOMPARE(gsettings({"get", GnomeShortcutWriter::listSchema, listKey}), printed(paths));
}

void tst_GnomeShortcutWriter::fakeTool(const QByteArray &script)
{
    const QString dir = home.filePath("bin");
    QDir().mkpath(dir);
    QFile tool(dir + "/gsettings");
    QVERIFY(tool.open(QIODevice::WriteOnly));
    tool.write("#!/bin/sh\nREAL='" + QFile::encodeName(realTool) + "'\n" + script + '\n');
    tool.close();
    QVERIFY(tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("PATH", QFile::encodeName(dir) + ':' + originalPath);
}

QByteArray tst_GnomeShortcutWriter::keyfile() const
{
    return PrivateGSettings::keyfile(home.path());
}

void tst_GnomeShortcutWriter::addsAndKeepsOthers_data()
{
    QTest::addColumn<QStringList>("users");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty list") << QStringList() << entry(0);
    QTest::newRow("gap") << QStringList{entry(0), entry(2)} << entry(1);
    QTest::newRow("out of order") << QStringList{entry(1), entry(0)} << entry(2);
    QTest::newRow("another tool's names") << QStringList{GnomeShortcutWriter::entryPathBase + "mine/", entry(3)} << entry(0);
}

void tst_GnomeShortcutWriter::addsAndKeepsOthers()
{
    QFETCH(QStringList, users);
    QFETCH(QString, expected);
    if (!users.isEmpty())
        writeUserEntries(users);

    QCOMPARE(GnomeShortcutWriter::add("Dial", ours, "<Control><Alt>p"), QString());
    QCOMPARE(gsettings({"get", GnomeShortcutWriter::listSchema, listKey}), printed(users + QStringList{expected}));
    QCOMPARE(gsettings({"get", at(expected), "command"}), "'" + ours + "'");
    QCOMPARE(GnomeShortcutWriter::bindingOf(ours), "<Control><Alt>p");
    for (const QString &path : users)
        QCOMPARE(GnomeShortcutWriter::bindingOf("run " + path), "<Super>u");
}

void tst_GnomeShortcutWriter::roundTrip_data()
{
    // As gsettings prints them: in single quotes unless the text holds one.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("printedName");
    QTest::addColumn<QString>("printedCommand");
    QTest::newRow("quotes and backslashes") << R"(say "hi" \o/)" << R"(/home/a "b" 'c'\d\\e/talvero-cti-client)"
                                            << R"('say "hi" \\o/')" << R"("/home/a \"b\" 'c'\\d\\\\e/talvero-cti-client")";
    QTest::newRow("umlauts, spaces, beyond 16 bits")
        << "Wählen ☎ 📞" << "/home/jürgen/Meine Programme/talvero-cti-client --dial-selection"
        << "'Wählen ☎ 📞'" << "'/home/jürgen/Meine Programme/talvero-cti-client --dial-selection'";
    QTest::newRow("control characters") << "tab\there" << "line\nbreak" << R"('tab\there')" << R"('line\nbreak')";
    QTest::newRow("lone surrogate") << QString(QChar(0xd800) + QString(" x")) << ours << "'\uFFFD x'" << QString("'" + ours + "'");
}

void tst_GnomeShortcutWriter::roundTrip()
{
    QFETCH(QString, name);
    QFETCH(QString, command);
    QFETCH(QString, printedName);
    QFETCH(QString, printedCommand);

    // The second add finds the first's entry by its command and changes it in place.
    QCOMPARE(GnomeShortcutWriter::add("first name", command, "<Control><Alt>p"), QString());
    QCOMPARE(GnomeShortcutWriter::add(name, command, "<Super>d"), QString());
    QCOMPARE(gsettings({"get", GnomeShortcutWriter::listSchema, listKey}), printed({entry(0)}));
    QCOMPARE(gsettings({"get", at(entry(0)), "name"}), printedName);
    QCOMPARE(gsettings({"get", at(entry(0)), "command"}), printedCommand);
    QCOMPARE(GnomeShortcutWriter::bindingOf(command), "<Super>d");
    QCOMPARE(GnomeShortcutWriter::bindingOf(command + ' '), QString());
}

void tst_GnomeShortcutWriter::askingWritesNothing()
{
    QVERIFY(GnomeShortcutWriter::isAvailable());
    QCOMPARE(GnomeShortcutWriter::bindingOf(ours), QString());
    QCOMPARE(keyfile(), "(absent)");

    writeUserEntries({entry(0)});
    const QByteArray before = keyfile();
    QVERIFY(GnomeShortcutWriter::isAvailable());
    QCOMPARE(GnomeShortcutWriter::bindingOf("run " + entry(0)), "<Super>u");
    QCOMPARE(keyfile(), before);
}

void tst_GnomeShortcutWriter::missingSchema_data()
{
    QTest::addColumn<QString>("installed");
    QTest::newRow("no list") << "entry";
    QTest::newRow("no entry") << "list";
}

void tst_GnomeShortcutWriter::missingSchema()
{
    QFETCH(QString, installed);
    qputenv("GSETTINGS_SCHEMA_DIR", QFile::encodeName(home.filePath("schemas/" + installed)));
    QVERIFY(!GnomeShortcutWriter::isAvailable());
    QVERIFY(!GnomeShortcutWriter::add("Dial", ours, "<Control><Alt>p").isEmpty());
    QCOMPARE(keyfile(), "(absent)");
}

void tst_GnomeShortcutWriter::refusedInput_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("binding");
    QTest::newRow("no command") << "Dial" << " " << "<Control><Alt>p";
    QTest::newRow("no key") << "Dial" << ours << "";
    QTest::newRow("NUL in the name") << QString::fromUtf8("Di\0al", 5) << ours << "<Control><Alt>p";
    QTest::newRow("NUL in the command") << "Dial" << QString::fromUtf8("talvero\0-cti-client", 19) << "<Control><Alt>p";
}

void tst_GnomeShortcutWriter::refusedInput()
{
    QFETCH(QString, name);
    QFETCH(QString, command);
    QFETCH(QString, binding);
    QVERIFY(!GnomeShortcutWriter::add(name, command, binding).isEmpty());
    QCOMPARE(keyfile(), "(absent)");
}

void tst_GnomeShortcutWriter::brokenTool_data()
{
    QTest::addColumn<QByteArray>("script"); // empty: no gsettings on PATH at all
    QTest::addColumn<int>("withinMs");
    const int quick = GnomeShortcutWriter::toolTimeoutMs / 2;
    QTest::newRow("not installed") << QByteArray() << quick;
    QTest::newRow("knows no keys") << QByteArray("exit 0") << quick;
    QTest::newRow("floods") << QByteArray("head -c 33554432 /dev/zero; exec sleep 60") << quick;
    QTest::newRow("hangs") << QByteArray("exec sleep 60") << 2 * GnomeShortcutWriter::toolTimeoutMs;
}

void tst_GnomeShortcutWriter::brokenTool()
{
    QFETCH(QByteArray, script);
    QFETCH(int, withinMs);
    if (script.isEmpty())
        qputenv("PATH", QFile::encodeName(home.filePath("schemas")));
    else
        fakeTool(script);

    QElapsedTimer clock;
    clock.start();
    QVERIFY(!GnomeShortcutWriter::add("Dial", ours, "<Control><Alt>p").isEmpty());
    QVERIFY2(clock.elapsed() < withinMs, qPrintable(QString::number(clock.elapsed()) + " ms"));
    QVERIFY(!GnomeShortcutWriter::isAvailable());
}

void tst_GnomeShortcutWriter::unreadableOutput_data()
{
    QTest::addColumn<QString>("key"); // whose value the tool prints so
    QTest::addColumn<QByteArray>("printed");
    QTest::newRow("garbage") << listKey << QByteArray("Segmentation fault\n");
    QTest::newRow("unclosed list") << listKey << QByteArray("['/a/', '/b/'");
    QTest::newRow("data after the list") << listKey << QByteArray("['/a/'] ['/b/']");
    QTest::newRow("not a hex digit") << listKey << QByteArray(R"(['/a/\u004g/'])");
    QTest::newRow("NUL") << listKey << QByteArray(R"(['/a/\u0000/'])");
    QTest::newRow("escape at the end") << listKey << QByteArray(R"(['/a\)");
    QTest::newRow("data after the command") << "command" << QByteArray("'run' and more");
}

void tst_GnomeShortcutWriter::unreadableOutput()
{
    QFETCH(QString, key);
    QFETCH(QByteArray, printed);
    writeUserEntries({entry(0)});
    const QByteArray before = keyfile();
    QFile output(home.filePath("printed"));
    QVERIFY(output.open(QIODevice::WriteOnly));
    output.write(printed);
    output.close();
    fakeTool("[ \"$1 $3\" = 'get " + key.toUtf8() + "' ] && exec cat '" + QFile::encodeName(output.fileName())
             + "'\nexec \"$REAL\" \"$@\"");

    QVERIFY(GnomeShortcutWriter::isAvailable());
    QVERIFY(!GnomeShortcutWriter::add("Dial", ours, "<Control><Alt>p").isEmpty());
    QCOMPARE(GnomeShortcutWriter::bindingOf("run " + entry(0)), QString());
    QCOMPARE(keyfile(), before);
}

void tst_GnomeShortcutWriter::failedWrite_data()
{
    QTest::addColumn<QByteArray>("set");
    QTest::addColumn<QString>("reason");
    // dconf without a session bus: gsettings warns, exits 0 and the change is lost.
    QTest::newRow("dropped") << QByteArray("echo 'failed to commit changes to dconf' >&2; exit 0") << "";
    QTest::newRow("refused") << QByteArray("echo 'Key is not writable' >&2; exit 1") << "Key is not writable";
}

void tst_GnomeShortcutWriter::failedWrite()
{
    QFETCH(QByteArray, set);
    QFETCH(QString, reason);
    fakeTool("[ \"$1\" = set ] && { " + set + "; }\nexec \"$REAL\" \"$@\"");
    const QString error = GnomeShortcutWriter::add("Dial", ours, "<Control><Alt>p");
    QVERIFY(!error.isEmpty());
    QVERIFY2(error.contains(reason), qPrintable(error));
}

QTEST_GUILESS_MAIN(tst_GnomeShortcutWriter)
#include "tst_gnomeshortcutwriter.moc"
