#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <QTranslator>
#include <QtTest>

namespace {

// Every image the client asks for, with the size its widgets draw it at.
const QList<QPair<QString, QSize>> &expectedImages()
{
    static const QList<QPair<QString, QSize>> images = [] {
        QList<QPair<QString, QSize>> list;
        const auto add = [&list](const QString &path, int w, int h) { list.append({path, QSize(w, h)}); };

        add(QStringLiteral(":/images/appicon.png"), 256, 256);
        for (const char *name : {"in_ring_yellow", "in_call_green", "in_call_yellow", "in_call_red", "out_ring_yellow",
                                 "out_call_green", "out_call_yellow", "out_call_red"})
            add(QStringLiteral(":/images/call_states/%1.png").arg(QLatin1String(name)), 32, 32);
        for (const char *colour :
             {"black", "blue", "dark_gray", "green", "grey", "magneta", "orange", "red", "white", "yellow"})
            add(QStringLiteral(":/images/blf/phone_%1.png").arg(QLatin1String(colour)), 16, 16);
        for (const char *colour :
             {"black", "blue", "dark_gray", "green", "gray", "magneta", "orange", "red", "white", "yellow"})
            add(QStringLiteral(":/images/blf/im_%1.png").arg(QLatin1String(colour)), 16, 16);
        add(QStringLiteral(":/images/blf_field_big.png"), 120, 40);

        for (const char *name : {"abort", "dial_btn", "hangup_btn", "pause_button", "play_btn", "record_btn", "transfer_btn"})
            add(QStringLiteral(":/images/%1.png").arg(QLatin1String(name)), 32, 32);
        for (const char *name : {"cancel_icn_black", "edit_icn_black", "new_icn_black", "save_icn_black",
                                 "trash_icn_black", "addressbook", "configure", "configs_icon", "uclist"})
            add(QStringLiteral(":/images/%1.png").arg(QLatin1String(name)), 24, 24);
        for (const char *name : {"led_blue", "led_dark_blue", "led_dark_red", "led_green", "led_red", "led_yellow", "tiny_timer"})
            add(QStringLiteral(":/images/%1.png").arg(QLatin1String(name)), 12, 12);
        for (const char *name : {"phone_green", "phone_red", "plus", "uclist_icon"})
            add(QStringLiteral(":/images/%1.png").arg(QLatin1String(name)), 16, 16);
        add(QStringLiteral(":/images/dialbutton_label.png"), 48, 16);
        add(QStringLiteral(":/images/noAvatar.png"), 64, 64);
        add(QStringLiteral(":/images/avatar_frame.png"), 64, 64);
        add(QStringLiteral(":/images/rollover_background.png"), 300, 100);
        return list;
    }();
    return images;
}

// Largest difference of any pixel from white once the image is laid on white paper.
int contrastOnWhite(const QImage &image)
{
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    painter.end();
    int best = 0;
    for (int y = 0; y < flat.height(); ++y) {
        for (int x = 0; x < flat.width(); ++x) {
            const QRgb p = flat.pixel(x, y);
            best = std::max({best, 255 - qRed(p), 255 - qGreen(p), 255 - qBlue(p)});
        }
    }
    return best;
}

} // namespace

class TstResources : public QObject
{
    Q_OBJECT

private slots:
    void imagePresent_data();
    void imagePresent();
    void noStrayImages();
    void imageAbsent_data();
    void imageAbsent();
    void translationLoads_data();
    void translationLoads();
    void germanLogin_data();
    void germanLogin();
};

void TstResources::imagePresent_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    for (const auto &image : expectedImages())
        QTest::newRow(qPrintable(image.first)) << image.first << image.second;
}

void TstResources::imagePresent()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());
    // Widgets put these on light backgrounds; a white lamp without its rim would vanish.
    QVERIFY2(contrastOnWhite(image) >= 48, "image is invisible on a white background");
}

void TstResources::noStrayImages()
{
    QSet<QString> expected;
    for (const auto &image : expectedImages())
        expected.insert(image.first);

    QSet<QString> found;
    QDirIterator it(QStringLiteral(":/images"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found.insert(it.next());

    QCOMPARE(found - expected, QSet<QString>());
    QCOMPARE(expected - found, QSet<QString>());
}

void TstResources::imageAbsent_data()
{
    // Referenced by the code, deliberately not in the set: loading them must give nothing.
    QTest::addColumn<QString>("path");
    for (const char *path : {":/images/green.png", ":/images/orange.png", ":/images/red.png", ":/images/gray.png",
                             ":/images/blf/phone_dark_orange.png", ":/images/blf/phone_dark_magneta.png",
                             ":/styles/client.style"})
        QTest::newRow(path) << QString::fromLatin1(path);
}

void TstResources::imageAbsent()
{
    QFETCH(QString, path);
    QVERIFY(!QFile::exists(path));
    QVERIFY(QImage(path).isNull());
}

void TstResources::translationLoads_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("hasMessages");
    QTest::newRow("de_de") << QStringLiteral("de_de") << true;
    QTest::newRow("ru") << QStringLiteral("ru") << false;
    QTest::newRow("no") << QStringLiteral("no") << false;
}

void TstResources::translationLoads()
{
    QFETCH(QString, name);
    QFETCH(bool, hasMessages);

    QTranslator translator;
    QVERIFY(translator.load(name, QStringLiteral(":/tr/"), QString(), QStringLiteral(".qm")));
    QCOMPARE(!translator.isEmpty(), hasMessages);
}

void TstResources::germanLogin_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("german");
    const QList<QPair<const char *, const char *>> pairs = {
        {"Talvero CTI Client - Login", "Talvero CTI Client - Anmeldung"},
        {"Username", "Benutzername"},
        {"Password", "Passwort"},
        {"Host", "Server"},
        {"Save Login", "Anmeldung speichern"},
        {"Login", "Anmelden"},
        {"Username is empty!", "Benutzername ist leer!"},
        {"Password is empty!", "Passwort ist leer!"},
        {"Host is empty!", "Server ist leer!"},
        {"Incorrect username or password", "Benutzername oder Passwort falsch"},
        {"Can't connect to host", "Keine Verbindung zum Server"},
        {"Form", "Formular"},
    };
    for (const auto &pair : pairs)
        QTest::newRow(pair.first) << QString::fromUtf8(pair.first) << QString::fromUtf8(pair.second);
}

void TstResources::germanLogin()
{
    QFETCH(QString, source);
    QFETCH(QString, german);

    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/tr/de_de.qm")));
    QCOMPARE(translator.translate("LoginDialog", source.toUtf8().constData()), german);
}

QTEST_GUILESS_MAIN(TstResources)
#include "tst_resources.moc"
