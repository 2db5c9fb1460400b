#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The icon renderer as the build runs it: a manifest line in, a file (or a refusal) out.
class tst_IconGen : public QObject
{
    Q_OBJECT

private slots:
    void entry_data();
    void entry();
};

namespace {
const QByteArray part = "<circle cx=\"8\" cy=\"8\" r=\"6\"/>";
const QByteArray templ = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 16 16\">"
                         "<g fill=\"@COLOR@\">@part:dot@</g></svg>";
}

void tst_IconGen::entry_data()
{
    QTest::addColumn<QString>("resource");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QString>("scales");

    QTest::newRow("png") << "a/icon.png" << templ << true << "2,3";
    QTest::newRow("svg: expanded source") << "scalable/icon.svg" << templ << true << "2,3";
    // QtSvg draws it without a word, other renderers refuse the document.
    const QByteArray undeclaredPrefix = QByteArray(templ).replace("<g ", "<x:g ").replace("</g>", "</x:g>");
    QTest::newRow("svg: undeclared prefix") << "icon.svg" << undeclaredPrefix << false << "2,3";
    QTest::newRow("png: undeclared prefix") << "icon.png" << undeclaredPrefix << true << "2,3";
    QTest::newRow("other type") << "icon.jpg" << templ << false << "2,3";
    // Qt looks for @2x to @9x only.
    QTest::newRow("scale Qt never asks for") << "a/icon.png" << templ << false << "2,10";
}

void tst_IconGen::entry()
{
    QFETCH(QString, resource);
    QFETCH(QByteArray, source);
    QFETCH(bool, written);
    QFETCH(QString, scales);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto write = [&](const QString &name, const QByteArray &data) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
    };
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("parts")));
    QVERIFY(write(QStringLiteral("parts/dot.svgpart"), part));
    QVERIFY(write(QStringLiteral("icon.svg.in"), source));
    QVERIFY(write(QStringLiteral("manifest"), resource.toUtf8() + " icon.svg.in 16x16 COLOR=#2e9d5b\n"));

    QProcess icongen;
    icongen.setProcessChannelMode(QProcess::MergedChannels);
    icongen.start(QStringLiteral(TALVERO_ICONGEN), {QStringLiteral("--manifest"), dir.filePath(QStringLiteral("manifest")),
                                                    QStringLiteral("--out"), dir.filePath(QStringLiteral("out")),
                                                    QStringLiteral("--scales"), scales});
    QVERIFY(icongen.waitForFinished());
    const QByteArray log = icongen.readAll();
    QVERIFY2((icongen.exitCode() == 0) == written, log.constData());

    const QString output = dir.filePath(QStringLiteral("out/") + resource);
    QCOMPARE(QFile::exists(output), written);
    if (!written)
        return;
    if (resource.endsWith(QLatin1String(".svg"))) {
        QFile file(output);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray(source).replace("@COLOR@", "#2e9d5b").replace("@part:dot@", part));
        QVERIFY(!QFile::exists(QString(output).replace(QLatin1String(".svg"), QLatin1String("@2x.svg"))));
    } else {
        for (int scale : {1, 2, 3}) {
            const QString scaled = scale == 1 ? output : QString(output).replace(".png", QStringLiteral("@%1x.png").arg(scale));
            QCOMPARE(QImage(scaled).size(), QSize(16, 16) * scale);
        }
    }
}

QTEST_MAIN(tst_IconGen)
#include "tst_icongen.moc"
