#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <QtTest>

// Installs the build the way the Debian package and `cmake --install` do, into a folder of its
// own, and checks what a desktop and a software centre find there.
class tst_Install : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void installed_data();
    void installed();
    void pngIcon_data();
    void pngIcon();
    void scalableIconStandsAlone();
    void entriesNameWhatIsInstalled();
    void changelogIsTheRelease();
    void validator_data();
    void validator();

private:
    static QString usr(const QString &relative) { return QStringLiteral(TALVERO_DESTDIR "/usr/") + relative; }
    static QString readText(const QString &relative);
    static QString desktopValue(const QString &key);
};

namespace {
const QString appId = QStringLiteral("eu.talvero.CTIClient");
const QString desktopEntry = QStringLiteral("share/applications/eu.talvero.CTIClient.desktop");
const QString metainfo = QStringLiteral("share/metainfo/eu.talvero.CTIClient.metainfo.xml");

QString iconPath(const QString &size, const QString &suffix)
{
    return QStringLiteral("share/icons/hicolor/%1/apps/%2.%3").arg(size, appId, suffix);
}
}

void tst_Install::initTestCase()
{
    QVERIFY(QDir(QStringLiteral(TALVERO_DESTDIR)).removeRecursively());
    QProcess install;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DESTDIR"), QStringLiteral(TALVERO_DESTDIR));
    install.setProcessEnvironment(env);
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(TALVERO_CMAKE),
                  {QStringLiteral("--install"), QStringLiteral(TALVERO_BUILD_DIR), QStringLiteral("--prefix"),
                   QStringLiteral("/usr")});
    QVERIFY(install.waitForFinished(240000));
    QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
             install.readAll().constData());
}

QString tst_Install::readText(const QString &relative)
{
    QFile file(usr(relative));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString tst_Install::desktopValue(const QString &key)
{
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(key), QRegularExpression::MultilineOption);
    return line.match(readText(desktopEntry)).captured(1);
}

void tst_Install::installed_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("executable");
    QTest::newRow("simulator") << "bin/talvero-pbx-sim" << true;
    QTest::newRow("desktop entry") << desktopEntry << false;
    QTest::newRow("metainfo") << metainfo << false;
    for (const char *package : {"talvero-cti-client", "talvero-pbx-sim"}) {
        const QStringList docs = {QStringLiteral("share/man/man1/%1.1.gz"), QStringLiteral("share/doc/%1/copyright"),
                                  QStringLiteral("share/doc/%1/changelog.gz")};
        for (const QString &doc : docs)
            QTest::newRow(qPrintable(doc.arg(QLatin1String(package)))) << doc.arg(QLatin1String(package)) << false;
    }
}

void tst_Install::installed()
{
    QFETCH(QString, path);
    QFETCH(bool, executable);
    const QFileInfo info(usr(path));
    QVERIFY2(info.isFile(), qPrintable(info.filePath()));
    QVERIFY(info.size() > 0);
    QCOMPARE(info.isExecutable(), executable);
}

void tst_Install::pngIcon_data()
{
    QTest::addColumn<int>("side");
    for (int side : {16, 22, 24, 32, 48, 64, 128, 256, 512})
        QTest::newRow(qPrintable(QString::number(side))) << side;
}

void tst_Install::pngIcon()
{
    QFETCH(int, side);
    // The theme finds an icon by its folder's size; a picture of another size shows blurred or cut.
    QImageReader reader(usr(iconPath(QStringLiteral("%1x%1").arg(side), QStringLiteral("png"))));
    QCOMPARE(reader.format(), QByteArray("png"));
    QCOMPARE(reader.size(), QSize(side, side));
    QVERIFY(!reader.read().isNull());
}

void tst_Install::scalableIconStandsAlone()
{
    // Read by other renderers than QtSvg, without the parts folder: one well-formed document.
    const QString svg = readText(iconPath(QStringLiteral("scalable"), QStringLiteral("svg")));
    QXmlStreamReader xml(svg);
    while (!xml.atEnd())
        xml.readNext();
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QVERIFY(QSvgRenderer(svg.toUtf8()).isValid());
}

void tst_Install::entriesNameWhatIsInstalled()
{
    // Renaming one of these without the others leaves a launcher that starts nothing or shows no icon.
    const QString exec = desktopValue(QStringLiteral("Exec"));
    QCOMPARE(exec.section(QLatin1Char(' '), 0, 0), QStringLiteral("talvero-cti-client"));
    QVERIFY(QFileInfo(usr(QStringLiteral("bin/") + exec.section(QLatin1Char(' '), 0, 0))).isExecutable());
    QCOMPARE(desktopValue(QStringLiteral("Icon")), appId);

    const QString info = readText(metainfo);
    QVERIFY(info.contains(QStringLiteral("<id>%1</id>").arg(appId)));
    QVERIFY(info.contains(QStringLiteral("<launchable type=\"desktop-id\">%1.desktop</launchable>").arg(appId)));
    const QString binary = QRegularExpression(QStringLiteral("<binary>([^<]+)</binary>")).match(info).captured(1);
    QVERIFY(QFileInfo(usr(QStringLiteral("bin/") + binary)).isExecutable());
}

void tst_Install::changelogIsTheRelease()
{
    // Debian reads the package's release from the changelog, software centres from the metainfo.
    for (const char *package : {"talvero-cti-client", "talvero-pbx-sim"}) {
        QFile file(usr(QStringLiteral("share/doc/%1/changelog.gz").arg(QLatin1String(package))));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray header = file.peek(10);
        QCOMPARE(header.left(2), QByteArray("\x1f\x8b"));
        // gzip -n: no file name, no time stamp, so rebuilt packages compare equal.
        QCOMPARE(header.at(3) & 0x08, 0);
        QCOMPARE(header.mid(4, 4), QByteArray(4, '\0'));

        QProcess gzip;
        gzip.start(QStringLiteral("gzip"), {QStringLiteral("-dc"), file.fileName()});
        QVERIFY(gzip.waitForFinished());
        const QString head = QString::fromUtf8(gzip.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0);
        QCOMPARE(head.section(QLatin1Char(' '), 1, 1), QStringLiteral("(" TALVERO_VERSION ")"));
    }
    QVERIFY2(readText(metainfo).contains(QStringLiteral("<release version=\"" TALVERO_VERSION "\" date=\"")),
             qPrintable(readText(metainfo)));
}

void tst_Install::validator_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::newRow("desktop entry") << QStringList{QStringLiteral("desktop-file-validate"), usr(desktopEntry)};
    QTest::newRow("metainfo") << QStringList{QStringLiteral("appstreamcli"), QStringLiteral("validate"),
                                             QStringLiteral("--no-net"), QStringLiteral("--strict"), usr(metainfo)};
    // The tree as a whole: the launchable desktop entry and the icons next to the metainfo.
    QTest::newRow("installed tree") << QStringList{QStringLiteral("appstreamcli"), QStringLiteral("validate-tree"),
                                                   QStringLiteral("--no-net"), QStringLiteral(TALVERO_DESTDIR)};
}

void tst_Install::validator()
{
    QFETCH(QStringList, command);
    const QString program = QStandardPaths::findExecutable(command.first());
    if (program.isEmpty())
        QSKIP(qPrintable(command.first() + QStringLiteral(" missing (Debian: desktop-file-utils, appstream)")));
    QProcess validator;
    validator.setProcessChannelMode(QProcess::MergedChannels);
    validator.start(program, command.mid(1));
    QVERIFY(validator.waitForFinished(60000));
    const QString output = QString::fromUtf8(validator.readAll());
    QVERIFY2(validator.exitStatus() == QProcess::NormalExit && validator.exitCode() == 0, qPrintable(output));
    // desktop-file-validate passes with warnings; they are printed, and not wanted either.
    if (command.first() == QLatin1String("desktop-file-validate"))
        QVERIFY2(output.trimmed().isEmpty(), qPrintable(output));
}

QTEST_MAIN(tst_Install)
#include "tst_install.moc"
