#include "click2dialcomponent.h"
#include "cticlient.h"
#include "ctimainwindow.h"
#include "logindialog.h"
#include "numbercanonizer.h"
#include "pbxsimulator.h"
#include "settings.h"
#include "singleinstance.h"
#include "tellink.h"

#include <QApplication>
#include <QClipboard>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

class tst_SingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void linkNumber_data();
    void linkNumber();
    void commandLine_data();
    void commandLine();
    void withoutARuntimeFolder_data();
    void withoutARuntimeFolder();
    void laterStartHandsOver_data();
    void laterStartHandsOver();
    void laterStartRaisesTheWindow();
    void linkBeforeAndAfterTheLoginOpensTheMenu();
    void firstStartOffersItsLink_data();
    void firstStartOffersItsLink();
    void startWaitsForAnEndingInstance();
    void oversizedRequestIsDropped();

private:
    //! Starts the program as the desktop would, in this test's session and settings; with
    //! logged, its click-to-dial log is read from its output instead of passed on.
    static void startProgram(QProcess *program, const QStringList &arguments, bool logged = false);
    static void stop(QProcess *program);
    //! Reads each click-to-dial menu's offer as soon as it is up and closes it with Escape.
    void abortMenus();

    QStringList m_offers;

    PbxSimulator sim{QHostAddress(QStringLiteral("127.0.0.107"))};
};

void tst_SingleInstance::initTestCase()
{
    sim.addAccount(QStringLiteral("demo"), QStringLiteral("demo"));
    QVERIFY2(sim.listen(), qPrintable(sim.errorString()));
}

void tst_SingleInstance::linkNumber_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("dialable");
    QTest::newRow("separators") << "tel:+49-30-1234567" << "0301234567";
    QTest::newRow("scheme in capitals") << "TEL:+49.30.1234567" << "0301234567";
    QTest::newRow("percent-encoded plus and spaces") << "tel:%2B49%20(30)%201234567" << "0301234567";
    QTest::newRow("foreign number") << "tel:+44-20-7946-0018" << "00442079460018";
    QTest::newRow("local with global context") << "tel:1234567;phone-context=+49-30" << "0301234567";
    QTest::newRow("context name in capitals") << "tel:1234567;Phone-Context=%2B49-30" << "0301234567";
    QTest::newRow("local with domain context") << "tel:7042;phone-context=example.com" << "7042";
    QTest::newRow("global ignores context") << "tel:+49-89-123;phone-context=+49-30" << "089123";
    QTest::newRow("extension dropped") << "tel:+49-30-1234567;ext=12" << "0301234567";
    QTest::newRow("callto with slashes") << "callto://+4930123456" << "030123456";
    QTest::newRow("callto without") << "callto:030123456" << "030123456";
    QTest::newRow("sip user part") << "sip:+4930123456@pbx.example.com;user=phone" << "030123456";
    QTest::newRow("sip with password") << "sip:0301234:secret@pbx.example.com" << "0301234";
    QTest::newRow("sip user name") << "sip:alice@example.com" << "";
    QTest::newRow("sip user name with digits") << "sip:alice2@example.com" << "";
    QTest::newRow("sip without user") << "sip:pbx.example.com" << "";
    QTest::newRow("letters") << "tel:1-800-FLOWERS" << "";
    QTest::newRow("service code") << "tel:*31%2301234" << "";
    QTest::newRow("plus inside") << "tel:+49+30123" << "";
    QTest::newRow("encoded semicolon is text") << "tel:0301%3B234" << "";
    QTest::newRow("empty") << "tel:" << "";
    QTest::newRow("separators only") << "tel:--" << "";
    QTest::newRow("other scheme") << "mailto:0301234567@example.com" << "";
    QTest::newRow("other scheme with a number") << "fax:0301234567" << "";
    QTest::newRow("no scheme") << "0301234567" << "";
    QTest::newRow("query dropped") << "sip:030123@pbx?subject=hi" << "030123";
}

void tst_SingleInstance::linkNumber()
{
    QFETCH(QString, link);
    QFETCH(QString, dialable);
    const QString number = TelLink::numberOf(link);
    QCOMPARE(number.isEmpty() ? QString() : NumberCanonizer::convertToDialable(number), dialable);
}

void tst_SingleInstance::startProgram(QProcess *program, const QStringList &arguments, bool logged)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (logged)
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("cti.debug=true"));
    program->setProcessEnvironment(env);
    program->setProcessChannelMode(logged ? QProcess::MergedChannels : QProcess::ForwardedChannels);
    program->start(QStringLiteral(TALVERO_CLIENT_BIN), arguments);
    QVERIFY(program->waitForStarted());
}

void tst_SingleInstance::stop(QProcess *program)
{
    if (program->state() == QProcess::NotRunning)
        return;
    program->terminate();
    if (!program->waitForFinished(5000))
        program->kill();
    program->waitForFinished(5000);
}

void tst_SingleInstance::abortMenus()
{
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    if (!menu || menu->actions().isEmpty())
        return;
    m_offers << menu->actions().first()->text();
    QTest::keyClick(menu, Qt::Key_Escape);
}

void tst_SingleInstance::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("display");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    // Help and version are answered without a display.
    QTest::newRow("version") << QStringList{"--version"} << false << 0 << "talvero-cti-client " TALVERO_VERSION;
    QTest::newRow("help") << QStringList{"--help"} << false << 0 << "telephone link";
    QTest::newRow("no link") << QStringList{"0301234567"} << true << 2 << "Not a telephone link: 0301234567";
    QTest::newRow("unknown option") << QStringList{"--dial"} << true << 1 << "Unknown option 'dial'";
    QTest::newRow("marked text and a link") << QStringList{"--dial-selection", "tel:030111"} << true << 2
                                            << "Either a telephone link or --dial-selection";
    // A running client would drop it: refused at once instead of waiting for its answer.
    QTest::newRow("link too long") << QStringList{"tel:" + QString(SingleInstance::maxRequestBytes, QLatin1Char('1'))}
                                   << true << 2 << "too long";
}

void tst_SingleInstance::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, display);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    if (display)
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(TALVERO_CLIENT_BIN), arguments);
    QVERIFY(program.waitForFinished(15000));
    QCOMPARE(program.exitCode(), exitCode);
    const QString printed = QString::fromUtf8(program.readAllStandardOutput() + program.readAllStandardError());
    QVERIFY2(printed.contains(output), qPrintable(printed));
}

void tst_SingleInstance::withoutARuntimeFolder_data()
{
    // What is at the place of the folder in the temporary folder before the client starts.
    QTest::addColumn<QString>("kind"); // nothing, "folder", "file" or "link" (to a folder of ours)
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("owner"); // -1: ours
    QTest::addColumn<bool>("used");
    QTest::newRow("nothing") << "" << 0 << -1 << true;
    QTest::newRow("our folder") << "folder" << 0700 << -1 << true;
    QTest::newRow("another user's folder") << "folder" << 0700 << 4242 << false;
    QTest::newRow("folder open to others") << "folder" << 0777 << -1 << false;
    QTest::newRow("link to our folder") << "link" << 0700 << -1 << false;
    QTest::newRow("file") << "file" << 0600 << -1 << false;
}

void tst_SingleInstance::withoutARuntimeFolder()
{
    QFETCH(QString, kind);
    QFETCH(int, mode);
    QFETCH(int, owner);
    QFETCH(bool, used);
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString own = tmp.filePath(QStringLiteral("talvero-") + QString::number(getuid()));
    const QString made = kind == QLatin1String("link") ? tmp.filePath(QStringLiteral("elsewhere")) : own;
    if (kind == QLatin1String("file"))
        QVERIFY(QFile(made).open(QIODevice::WriteOnly));
    else if (!kind.isEmpty())
        QVERIFY(QDir().mkdir(made));
    if (!kind.isEmpty())
        QCOMPARE(::chmod(QFile::encodeName(made).constData(), mode_t(mode)), 0);
    if (kind == QLatin1String("link"))
        QVERIFY(QFile::link(made, own));
    if (owner >= 0 && ::chown(QFile::encodeName(made).constData(), uid_t(owner), gid_t(owner)) != 0)
        QSKIP("giving a folder to another user needs root");

    // No runtime folder: none is set, and where the toolkit would make one a file is in the way.
    QVERIFY(QFile(tmp.filePath(QStringLiteral("runtime-") + QString::fromLocal8Bit(getpwuid(geteuid())->pw_name)))
                .open(QIODevice::WriteOnly));
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray temp = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    const QString name = SingleInstance::defaultName();
    qputenv("XDG_RUNTIME_DIR", runtime);
    qputenv("TMPDIR", temp);

    struct stat info;
    QCOMPARE(::lstat(QFile::encodeName(own).constData(), &info), 0);
    if (used) {
        QCOMPARE(QFileInfo(name).absolutePath(), own);
        QVERIFY(S_ISDIR(info.st_mode));
        QCOMPARE(int(info.st_mode & 0777), 0700);
    } else {
        // Nothing to squat: this start runs a client of its own, at once.
        QVERIFY2(name.isEmpty(), qPrintable(name));
        QCOMPARE(SingleInstance(name).start({}, 0), SingleInstance::Role::Running);
    }
}

void tst_SingleInstance::laterStartHandsOver_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("runningDays"); // a lock that old is not stale while its process lives
    QTest::newRow("plain start") << QStringList() << 0;
    QTest::newRow("link") << QStringList{QStringLiteral("tel:+49-30-1234567")} << 0;
    QTest::newRow("running for a day") << QStringList() << 1;
}

void tst_SingleInstance::laterStartHandsOver()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, runningDays);
    SingleInstance running(SingleInstance::defaultName());
    QCOMPARE(running.start({}), SingleInstance::Role::Running);
    QSignalSpy requests(&running, &SingleInstance::requestReceived);
    QFile lock(running.name() + QStringLiteral(".lock"));
    QVERIFY(lock.open(QIODevice::ReadWrite));
    QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addDays(-runningDays), QFileDevice::FileModificationTime));
    lock.close();

    QProcess later;
    startProgram(&later, arguments);
    QVERIFY(requests.wait(15000));
    QCOMPARE(requests.first().first().toStringList(), arguments);
    QVERIFY(later.waitForFinished(5000));
    QCOMPARE(later.exitCode(), 0);
}

void tst_SingleInstance::laterStartRaisesTheWindow()
{
    // Nothing saved: the login dialog is up, behind another window and minimised. A later start
    // without a link brings it to the front; once logged in, the main window.
    SingleInstance running(SingleInstance::defaultName());
    QCOMPARE(running.start({}), SingleInstance::Role::Running);
    CTIClient client;
    connect(&running, &SingleInstance::requestReceived, &client, &CTIClient::handleRequest);
    client.exec();
    LoginDialog *login = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets())
        login = login ? login : qobject_cast<LoginDialog *>(window);
    QVERIFY(login && login->isVisible());

    QWidget other;
    const auto raises = [&](QWidget *window) {
        window->showMinimized();
        other.show();
        other.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &other);
        QProcess later;
        startProgram(&later, {});
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), window, 15000);
        QVERIFY(!window->isMinimized());
        QTRY_COMPARE(later.state(), QProcess::NotRunning);
    };
    raises(login);
    // What the login dialog's success leads to (the connector logs in once per process: the
    // test after this one does).
    client.onLoginSuccess();
    raises(client.mainWindow());
}

void tst_SingleInstance::linkBeforeAndAfterTheLoginOpensTheMenu()
{
    Settings *settings = Settings::instance();
    settings->setValueForKey(QStringLiteral("loginDialog/lastUsername"), QStringLiteral("demo"));
    settings->setValueForKey(QStringLiteral("loginDialog/lastHost"), QStringLiteral("127.0.0.107"));
    settings->setValueForKey(QStringLiteral("loginDialog/password"), QStringLiteral("demo"));

    SingleInstance running(SingleInstance::defaultName());
    QCOMPARE(running.start({}), SingleInstance::Role::Running);
    CTIClient client;
    connect(&running, &SingleInstance::requestReceived, &client, &CTIClient::handleRequest);

    QTimer menuWatch;
    connect(&menuWatch, &QTimer::timeout, this, &tst_SingleInstance::abortMenus);
    menuWatch.start(20);

    // Given at the start, offered once logged in, each in turn.
    client.offerLink(QStringLiteral("tel:%2B49%2030%20999888"));
    client.offerLink(QStringLiteral("tel:030777"));
    QCOMPARE(client.pendingNumbers(), (QStringList{"+49 30 999888", "030777"}));
    client.exec();
    QTRY_VERIFY(client.mainWindow());
    QTRY_COMPARE(m_offers, (QStringList{"Dial: 030999888", "Dial: 030777"}));

    // From a later start; a link naming no number offers nothing.
    QProcess later;
    startProgram(&later, {QStringLiteral("tel:030111"), QStringLiteral("sip:alice@example.com"),
                          QStringLiteral("tel:0301234567;phone-context=+49")});
    QTRY_COMPARE_WITH_TIMEOUT(later.state(), QProcess::NotRunning, 15000);
    QCOMPARE(later.exitCode(), 0);
    QTRY_COMPARE(m_offers.size(), 4);
    QCOMPARE(m_offers.mid(2), (QStringList{"Dial: 030111", "Dial: 0301234567"}));

    // A desktop's shortcut: the marked text is offered as by the hot key, and Enter dials it.
    QGuiApplication::clipboard()->setText(QStringLiteral("Tel. 089 123456"));
    menuWatch.stop();
    QString asked;
    QTimer enter;
    connect(&enter, &QTimer::timeout, this, [&asked] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            asked = menu->activeAction() ? menu->activeAction()->text() : QStringLiteral("no entry chosen");
            QTest::keyClick(menu, Qt::Key_Return);
        }
    });
    enter.start(20);
    QProcess shortcut;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("DESKTOP_STARTUP_ID"), QStringLiteral("desktop-42_TIME1234"));
    shortcut.setProcessEnvironment(env);
    shortcut.setProcessChannelMode(QProcess::ForwardedChannels);
    QSignalSpy offered(client.mainWindow()->clickToDial(), &Click2DialComponent::menuAboutToShow);
    shortcut.start(QStringLiteral(TALVERO_CLIENT_BIN), {QStringLiteral("--dial-selection")});
    QTRY_COMPARE_WITH_TIMEOUT(shortcut.state(), QProcess::NotRunning, 15000);
    QCOMPARE(shortcut.exitCode(), 0);
    QTRY_COMPARE(offered.count(), 1);
    QCOMPARE(offered.first().first().toString(), QStringLiteral("089123456"));
    QTRY_COMPARE(asked, QStringLiteral("Dial: 089123456"));
    QTRY_COMPARE(sim.receivedCommands(QStringLiteral("dialNumber")).size(), 1);
    QVERIFY(QJsonDocument(sim.receivedCommands(QStringLiteral("dialNumber")).first()).toJson().contains("089123456"));
}

void tst_SingleInstance::firstStartOffersItsLink_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("said");
    QTest::newRow("link") << QStringList{"tel:030555"} << QStringList{"click-to-dial offers 030555"};
    // Nothing is marked in a display of its own: read once logged in, and said so.
    QTest::newRow("marked text") << QStringList{"--dial-selection"}
                                 << QStringList{"offered after the login", "click-to-dial is off",
                                                "the marked text holds no number"};
}

void tst_SingleInstance::firstStartOffersItsLink()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, said);
    // Logs in by itself with the password saved above, then offers what it was started with.
    QProcess first;
    startProgram(&first, arguments, true);
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += first.readAll()).contains(said.last().toUtf8()), 15000);
    stop(&first);
    int at = 0;
    for (const QString &line : said) {
        at = output.indexOf(line.toUtf8(), at);
        QVERIFY2(at >= 0, qPrintable(line));
    }
}

void tst_SingleInstance::startWaitsForAnEndingInstance()
{
    const QString name = SingleInstance::defaultName();
    QProcess restarted;
    {
        SingleInstance ending(name);
        QCOMPARE(ending.start({}), SingleInstance::Role::Running);
        // What a client does as it quits for its restart.
        ending.stopListening();
        QSignalSpy ended(&restarted, &QProcess::stateChanged);
        startProgram(&restarted, {});
        ended.clear();
        // Neither handed over (nobody takes it) nor given up: it waits.
        QVERIFY(!ended.wait(2000));
    }
    // The old one is gone: the restart runs and takes requests.
    const QLockFile lock(name + QStringLiteral(".lock"));
    qint64 holder = 0;
    QString host;
    QString application;
    QTRY_VERIFY_WITH_TIMEOUT(lock.getLockInfo(&holder, &host, &application) && holder == restarted.processId(), 15000);
    SingleInstance probe(name);
    QCOMPARE(probe.start({QStringLiteral("tel:0301")}, 15000), SingleInstance::Role::HandedOver);
    stop(&restarted);
}

void tst_SingleInstance::oversizedRequestIsDropped()
{
    SingleInstance running(SingleInstance::defaultName());
    QCOMPARE(running.start({}), SingleInstance::Role::Running);
    QSignalSpy requests(&running, &SingleInstance::requestReceived);

    QLocalSocket flood;
    flood.connectToServer(running.name());
    QVERIFY(flood.waitForConnected(5000));
    QSignalSpy gone(&flood, &QLocalSocket::disconnected);
    flood.write(QByteArray(SingleInstance::maxRequestBytes + 4096, 'x'));
    QVERIFY(gone.wait(10000));
    QCOMPARE(requests.count(), 0);
}

QTEST_MAIN(tst_SingleInstance)
#include "tst_singleinstance.moc"
