#include "addressbooktabwidget.h"
#include "callstate.h"
#include "configtab_phone.h"
#include "line.h"
#include "rolloverpopup.h"
#include "runninglineview.h"
#include "stickybuddylist.h"
#include "user.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QToolButton>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
constexpr qreal scale = 2.0;

//! A picture a widget was handed, and the logical size the widget shows it at.
using Handed = std::function<std::pair<QPixmap, QSize>()>;

User *colleague()
{
    static User user;
    user.buildFromVariantMap({{"id", "u-201"}, {"extension", "201"}, {"firstname", "Jonathan"},
                              {"lastname", "Becker"}, {"phone_presence", "free"}, {"dnd", false}});
    return &user;
}

}

Q_DECLARE_METATYPE(Handed)

class tst_Appearance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void crispAtDoubleScale_data();
    void crispAtDoubleScale();

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
