#include "addressbooktabwidget.h"
#include "callstate.h"
#include "configtab_phone.h"
#include "line.h"
#include "logindialog.h"
#include "paletteink.h"
#include "rolloverpopup.h"
#include "runninglineview.h"
#include "stickybuddylist.h"
#include "ucconversationslist.h"
#include "ucitem.h"
#include "user.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
constexpr qreal scale = 2.0;

//! A picture a widget was handed, and the logical size the widget shows it at.
using Handed = std::function<std::pair<QPixmap, QSize>()>;
//! A grab of the region where a text or glyph stands on its ground.
using Region = std::function<QImage()>;

QPalette darkPalette()
{
    // As a desktop's dark theme hands it to Qt.
    QPalette dark;
    const QColor window(0x35, 0x35, 0x35), text(0xee, 0xee, 0xee), muted(0x7f, 0x7f, 0x7f);
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, text);
    dark.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
    dark.setColor(QPalette::AlternateBase, QColor(0x32, 0x32, 0x32));
    dark.setColor(QPalette::Text, text);
    dark.setColor(QPalette::Button, window);
    dark.setColor(QPalette::ButtonText, text);
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::ToolTipBase, window);
    dark.setColor(QPalette::ToolTipText, text);
    dark.setColor(QPalette::PlaceholderText, muted);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, muted);
    return dark;
}

//! The region's most common colour (its ground) and its contrast with the colour that stands
//! out most from it (the ink at a stroke's core).
std::pair<QColor, qreal> inkContrast(const QImage &region)
{
    const QImage image = region.convertToFormat(QImage::Format_RGB32);
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb ground = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            ground = it.key();
        }
    }
    qreal best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = std::max(best, PaletteInk::contrast(QColor(it.key()), QColor(ground)));
    return {QColor(ground), best};
}

QRect rectIn(const QWidget *child, const QWidget *ancestor)
{
    return QRect(child->mapTo(ancestor, QPoint(0, 0)), child->size());
}

User *colleague()
{
    static User user;
    // A short name: the field keeps its drawn width (a longer one widens it).
    user.buildFromVariantMap({{"id", "u-201"}, {"extension", "201"}, {"firstname", "Jo"}, // "201 J"
                              {"lastname", ""}, {"phone_presence", "free"}, {"dnd", false}});
    return &user;
}

//! The conversations list with two ended calls, shown; the newest row selected.
std::unique_ptr<UCConversationsList> conversations()
{
    auto list = std::make_unique<UCConversationsList>();
    for (const char *timestamp : {"2026-12-10T09:15:00", "2026-12-10T10:30:00"}) {
        UCItem item;
        item.buildFromVariantMap({{"remote_number", "+49 711 1234567-890"}, {"firstname", "Jonathan"},
                                  {"lastname", "Becker"}, {"timestamp", timestamp}, {"duration", 125},
                                  {"state", 8}, {"direction", 1}});
        list->ucItemAdded(&item);
    }
    list->resize(420, 300);
    list->show();
    const QAbstractItemModel *rows = list->findChild<QTreeView *>(QStringLiteral("treeView"))->model();
    if (!QTest::qWaitFor([&] { return rows->rowCount() == 2; }) || !QTest::qWaitForWindowExposed(list.get()))
        return nullptr;
    return list;
}

QTreeView *viewOf(UCConversationsList *list)
{
    return list->findChild<QTreeView *>(QStringLiteral("treeView"));
}
}

Q_DECLARE_METATYPE(Handed)
Q_DECLARE_METATYPE(Region)

class tst_Appearance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void crispAtDoubleScale_data();
    void crispAtDoubleScale();
    void readableInDarkTheme_data();
    void readableInDarkTheme();
    void meaningfulColoursKeepReading_data();
    void meaningfulColoursKeepReading();

private:
    std::unique_ptr<StickyBuddyList> m_monitor;
    std::unique_ptr<RollOverPopUp> m_popup;
};

void tst_Appearance::initTestCase()
{
    QCOMPARE(qApp->devicePixelRatio(), scale);
    m_monitor = std::make_unique<StickyBuddyList>();
    m_monitor->addPeer(colleague());
    m_monitor->drawPeers();
    m_popup = std::make_unique<RollOverPopUp>();
    m_popup->setTitle(QStringLiteral("Incoming call!"));
    m_popup->setInnerTextLine1(QStringLiteral("Becker, Jonathan"));
    m_popup->layout()->activate();
}

void tst_Appearance::crispAtDoubleScale_data()
{
    QTest::addColumn<Handed>("handed");
    const auto labelPicture = [](const QWidget *root, const char *name) {
        const QLabel *label = root->findChild<QLabel *>(QLatin1String(name));
        return label ? label->pixmap(Qt::ReturnByValue) : QPixmap();
    };
    const auto logical = [](const QPixmap &picture, QSize size) { return std::make_pair(picture, size); };

    QTest::newRow("call state in a call view") << Handed([=] {
        return logical(CallState::callStateToIcon(CallState::Ringing, CallDirection::Incoming, QSize(25, 25)), {25, 25});
    });
    QTest::newRow("monitor field") << Handed([=] { return logical(labelPicture(m_monitor.get(), "fld_201"), {100, 20}); });
    QTest::newRow("monitor lamp") << Handed([=] { return logical(labelPicture(m_monitor.get(), "led_201"), {16, 16}); });
    QTest::newRow("pop-up placeholder") << Handed([=] {
        return logical(labelPicture(m_popup.get(), "callerPictureLabel"), {64, 64});
    });
    QTest::newRow("pop-up call icon") << Handed([=] {
        m_popup->setIcon(QIcon(QStringLiteral(":/images/call_states/in_ring_yellow.png")));
        // A square icon in the label's room.
        return logical(labelPicture(m_popup.get(), "icon"), QSize(32, 32).scaled(m_popup->iconLabelSize(), Qt::KeepAspectRatio));
    });
    QTest::newRow("pop-up caller frame") << Handed([=] {
        m_popup->setAvatar(QIcon(QStringLiteral(":/images/noAvatar.png")));
        return logical(labelPicture(m_popup.get(), "callerPictureLabel"), m_popup->avatarLabelSize());
    });
    QTest::newRow("call view placeholder") << Handed([=] {
        Line line;
        RunningLineView view(&line);
        return logical(labelPicture(&view, "avatarLabel"), {64, 64});
    });
    QTest::newRow("phone lamp in the configure tab") << Handed([=] {
        ConfigTab_Phone phone(nullptr);
        return logical(labelPicture(&phone, "statusLabel"), {15, 15});
    });
    QTest::newRow("address book placeholder") << Handed([=] {
        AddressBookTabWidget tab;
        return logical(labelPicture(&tab, "iconViewLabel"), {64, 64});
    });
    QTest::newRow("address book toolbar glyph") << Handed([=] {
        AddressBookTabWidget tab;
        const QToolButton *button = tab.findChild<QToolButton *>(QStringLiteral("editButton"));
        return logical(button->icon().pixmap(QSize(24, 24)), {24, 24});
    });
}

void tst_Appearance::crispAtDoubleScale()
{
    QFETCH(Handed, handed);
    const auto [picture, size] = handed();
    QVERIFY(!picture.isNull());
    // Drawn from a rendering with the pixels the screen has, not a bitmap stretched by the painter.
    QCOMPARE(picture.devicePixelRatio(), scale);
    QCOMPARE(picture.size(), size * scale);
}

void tst_Appearance::readableInDarkTheme_data()
{
    QTest::addColumn<Region>("region");
    QTest::addColumn<QColor>("ground"); // invalid: whatever the widget stands on
    QApplication::setPalette(darkPalette());

    QTest::newRow("pop-up texts on their artwork") << Region([=] {
        RollOverPopUp popup;
        popup.setTitle(QStringLiteral("Incoming call!"));
        popup.layout()->activate();
        return popup.grab(rectIn(popup.findChild<QLabel *>(QStringLiteral("titleLabel")), &popup)).toImage();
    }) << QColor();
    QTest::newRow("selected conversation") << Region([] {
        const auto list = conversations();
        if (!list)
            return QImage();
        QTreeView *view = viewOf(list.get());
        view->setCurrentIndex(view->model()->index(0, 0));
        const QRect row = view->visualRect(view->model()->index(0, 0));
        return view->viewport()->grab(QRect(row.left() + 40, row.top() + 4, 200, row.height() / 2 - 4)).toImage();
    }) << QColor();
    QTest::newRow("conversation date line") << Region([] {
        const auto list = conversations();
        if (!list)
            return QImage();
        QTreeView *view = viewOf(list.get());
        view->clearSelection();
        const QRect row = view->visualRect(view->model()->index(1, 0));
        return view->viewport()->grab(QRect(38, row.top() + row.height() / 2, 80, row.height() / 2 - 1)).toImage();
    }) << QColor();
    QTest::newRow("login field marked wrong") << Region([] {
        LoginDialog dialog;
        auto *username = dialog.findChild<QLineEdit *>(QStringLiteral("usernameLineEdit"));
        username->setText(QStringLiteral("anna.becker"));
        dialog.loginFailed();
        return username->grab(username->rect().adjusted(4, 4, -4, -4)).toImage(); // inside the red frame
    }) << QColor();
    QTest::newRow("address book toolbar glyph") << Region([] {
        AddressBookTabWidget tab;
        // The button waits disabled for a contact: its icon as an enabled button draws it.
        const QToolButton *button = tab.findChild<QToolButton *>(QStringLiteral("editButton"));
        QImage image(QSize(32, 32) * scale, QImage::Format_RGB32);
        image.setDevicePixelRatio(scale);
        image.fill(darkPalette().color(QPalette::Button));
        QPainter(&image).drawPixmap(4, 4, button->icon().pixmap(QSize(24, 24), QIcon::Normal));
        return image;
    }) << darkPalette().color(QPalette::Button); // a glyph, not a block of ink
    QTest::newRow("monitor lamp text on its field") << Region([=] {
        const QWidget *text = m_monitor->findChild<QLabel *>(QStringLiteral("txt_201"));
        const QWidget *field = m_monitor->findChild<QLabel *>(QStringLiteral("fld_201"));
        const QRect onField = rectIn(text, m_monitor.get()) & QRect(field->pos() + QPoint(0, 5), QSize(100, 20));
        return m_monitor->grab(onField.adjusted(0, 2, -4, -2)).toImage();
    }) << QColor();
}

void tst_Appearance::readableInDarkTheme()
{
    QFETCH(Region, region);
    QFETCH(QColor, ground);
    const QImage image = region();
    QVERIFY(!image.isNull());
    const QString keep = qEnvironmentVariable("TALVERO_APPEARANCE_GRABS");
    if (!keep.isEmpty())
        image.save(QDir(keep).filePath(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-') + ".png"));
    // Antialiased strokes seldom reach the full ink; 3 : 1 at their core reads.
    const auto [measuredGround, contrast] = inkContrast(image);
    QVERIFY2(contrast >= 3.0, qPrintable(QStringLiteral("contrast %1").arg(contrast)));
    if (ground.isValid())
        QCOMPARE(measuredGround, ground);
}

void tst_Appearance::meaningfulColoursKeepReading_data()
{
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QColor>("ground");
    QTest::addColumn<QColor>("expected"); // invalid: any colour that reads
    const QColor amber(0xb3, 0x5c, 0x00), red(0xc0, 0x39, 0x2b);
    QTest::newRow("refusal on a light window: as designed") << red << QColor(0xef, 0xef, 0xef) << red;
    QTest::newRow("refusal on a dark window") << red << darkPalette().color(QPalette::Window) << QColor();
    QTest::newRow("warning on a dark window") << amber << darkPalette().color(QPalette::Window) << QColor();
    QTest::newRow("warning on a light window") << amber << QColor(0xef, 0xef, 0xef) << QColor();
}

void tst_Appearance::meaningfulColoursKeepReading()
{
    QFETCH(QColor, colour);
    QFETCH(QColor, ground);
    QFETCH(QColor, expected);
    const QColor ink = PaletteInk::readableOn(colour, ground);
    QVERIFY2(PaletteInk::contrast(ink, ground) >= 4.5, qPrintable(ink.name()));
    if (expected.isValid())
        QCOMPARE(ink, expected);
    else // the same meaning: the hue stays
        QVERIFY2(qAbs(ink.hslHue() - colour.hslHue()) <= 3, qPrintable(ink.name()));
}

int main(int argc, char **argv)
{
    qputenv("QT_SCALE_FACTOR", QByteArray::number(scale));
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    tst_Appearance test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_appearance.moc"
