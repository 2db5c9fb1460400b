#include "clickablelabel.h"
#include "connectedsimulator.h"
#include "cticonnector.h"
#include "registry.h"
#include "settings.h"
#include "simpresence.h"
#include "stickybuddylist.h"
#include "user.h"

#include <QAccessible>
#include <QApplication>
#include <QJsonArray>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QScreen>
#include <QTextDocument>
#include <QTranslator>
#include <QtTest>

#include <memory>
#include <vector>

namespace {
// Colleagues of the simulated PBX: two of them, by extension.
const char *scenarioJson = R"({
    "accounts": [{"user": "anna", "password": "secret"}],
    "colleagues": {"users": [
        {"id": "u201", "extension": "201", "firstname": "Jo", "lastname": "Lee", "phone_presence": "online"},
        {"id": "u202", "extension": "202", "firstname": "Kim", "lastname": "Smith", "phone_presence": "busy"}
    ], "groups": {"All": ["u201", "u202"]}}
})";

// Where the fields stand and how big the window is: "x,y x,y ... WxH".
QString layoutOf(StickyBuddyList &monitor)
{
    QStringList parts;
    for (const QString &extension : monitor.getPeersMap().keys()) {
        if (auto *field = monitor.findChild<QLabel *>(QStringLiteral("fld_") + extension))
            parts << QStringLiteral("%1,%2").arg(field->x()).arg(field->y());
    }
    parts << QStringLiteral("%1x%2").arg(monitor.width()).arg(monitor.height());
    return parts.join(QLatin1Char(' '));
}

// What a screen reader is told about a lamp.
QString spoken(StickyBuddyList &monitor, const QString &extension)
{
    auto *lamp = QAccessible::queryAccessibleInterface(monitor.findChild<QLabel *>(QStringLiteral("fld_") + extension));
    return lamp && lamp->role() == QAccessible::Button ? lamp->text(QAccessible::Name) : QStringLiteral("(no button)");
}

QString focusName()
{
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
}
}

// The monitor with colleagues of its own (owned here) and, for the calls, the simulator's.
class tst_StickyBuddyList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void lamps_data();
    void lamps();
    void peerTexts_data();
    void peerTexts();
    void layout_data();
    void layout();
    void corners_data();
    void corners();
    void screenBeyondTheScreensIsTheFirst();
    void settingsThatRedraw_data();
    void settingsThatRedraw();
    void manyColleaguesOneDrawing();
    void renameByEnterAndByFocusLoss_data();
    void renameByEnterAndByFocusLoss();
    void hideOnMouseOver_data();
    void hideOnMouseOver();
    void switchedOff_data();
    void switchedOff();
    void clickDialsOrPicksUp_data();
    void clickDialsOrPicksUp();
    void keyboard_data();
    void keyboard();
    void colleaguesListedAgainMovedOrGone();

private:
    User *colleague(const QString &id, const QString &extension, const QString &first = QString(),
                    const QString &last = QString(), const QString &presence = QStringLiteral("online"));
    void resetSettings();

    ConnectedSimulator sim{"127.0.0.103"};
    CTIConnector *connector = CTIConnector::instance();
    std::vector<std::unique_ptr<User>> users;
};

void tst_StickyBuddyList::initTestCase()
{
    Scenario scenario;
    QVERIFY(scenario.loadJson(scenarioJson));
    sim.setScenario(scenario);
    sim.logIn(QStringLiteral("anna"), QStringLiteral("secret"));
}

void tst_StickyBuddyList::init()
{
    resetSettings();
}

void tst_StickyBuddyList::cleanup()
{
    users.clear();
    sim.clearReceived();
}

void tst_StickyBuddyList::resetSettings()
{
    Settings *settings = Settings::instance();
    for (const QString &key : {StickyBuddyList::enabledSetting, StickyBuddyList::cornerSetting,
                               StickyBuddyList::stayOnTopSetting, StickyBuddyList::hideOnMouseOverSetting,
                               StickyBuddyList::hideMsSetting, StickyBuddyList::horizontalSetting,
                               StickyBuddyList::columnsSetting, StickyBuddyList::screenSetting,
                               StickyBuddyList::autoPositionSetting, StickyBuddyList::opacitySetting})
        settings->removeValueForKey(key);
    // Placed by the monitor, out of the pointer's way, unless a test says otherwise.
    settings->setValueForKey(StickyBuddyList::autoPositionSetting, false);
    settings->setValueForKey(StickyBuddyList::hideOnMouseOverSetting, false);
}

User *tst_StickyBuddyList::colleague(const QString &id, const QString &extension, const QString &first,
                                     const QString &last, const QString &presence)
{
    auto user = std::make_unique<User>();
    user->buildFromVariantMap({{"id", id}, {"extension", extension}, {"firstname", first}, {"lastname", last},
                               {"phone_presence", presence}, {"dnd", false}});
    users.push_back(std::move(user));
    return users.back().get();
}

void tst_StickyBuddyList::lamps_data()
{
    QTest::addColumn<QString>("presence");
    QTest::addColumn<bool>("dnd");
    QTest::addColumn<QString>("image");
    QTest::addColumn<QString>("state"); // as a screen reader says it, in English and in German
    QTest::addColumn<QString>("zustand");
    QTest::newRow("busy, dnd") << "busy" << true << "phone_red" << "busy" << "besetzt";
    QTest::newRow("hold, dnd") << "hold" << true << "phone_red" << "busy" << "besetzt";
    QTest::newRow("ringing, dnd") << "ringing" << true << "phone_yellow" << "ringing" << "klingelt";
    QTest::newRow("free, dnd") << "free" << true << "phone_magneta" << "do not disturb" << "nicht stören";
    QTest::newRow("unknown, dnd") << "" << true << "phone_magneta" << "do not disturb" << "nicht stören";
    QTest::newRow("online") << "online" << false << "phone_green" << "free" << "frei";
    QTest::newRow("free") << "free" << false << "phone_green" << "free" << "frei";
    QTest::newRow("empty") << "" << false << "phone_dark_gray" << "unavailable" << "nicht erreichbar";
    QTest::newRow("other text") << "away" << false << "phone_dark_gray" << "unavailable" << "nicht erreichbar";
    QTest::newRow("case counts") << "Busy" << false << "phone_dark_gray" << "unavailable" << "nicht erreichbar";
}

// The lamp's colour, and its name for a screen reader, which follows the colleague's state.
void tst_StickyBuddyList::lamps()
{
    QFETCH(QString, presence);
    QFETCH(bool, dnd);
    QFETCH(QString, image);
    QFETCH(QString, state);
    QFETCH(QString, zustand);
    StickyBuddyList monitor;
    QCOMPARE(monitor.getPixMapForPhonePresence(presence, dnd).toImage(),
             QImage(QStringLiteral(":/images/blf/%1.png").arg(image)).convertToFormat(QImage::Format_ARGB32_Premultiplied));
    User *jo = colleague(QStringLiteral("u201"), QStringLiteral("201"), QStringLiteral("Jo"), QStringLiteral("Lee"),
                         state == "busy" ? QStringLiteral("free") : QStringLiteral("busy"));
    monitor.addPeer(jo);
    monitor.drawPeers();
    jo->buildFromVariantMap({{"phone_presence", presence}, {"dnd", dnd}});
    monitor.updatePeerStatus(jo);
    QCOMPARE(spoken(monitor, QStringLiteral("201")), QStringLiteral("Jo Lee, 201, ") + state);
    QTranslator german;
    QVERIFY(german.load(QStringLiteral("de_de"), QStringLiteral(":/tr/"), QString(), QStringLiteral(".qm")));
    QCoreApplication::installTranslator(&german);
    monitor.drawPeers();
    QCoreApplication::removeTranslator(&german);
    QCOMPARE(spoken(monitor, QStringLiteral("201")), QStringLiteral("Jo Lee, 201, ") + zustand);
    QVERIFY(!monitor.findChild<QLabel *>(QStringLiteral("fld_201"))->accessibleDescription().isEmpty());
}

void tst_StickyBuddyList::peerTexts_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("ownLabel");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip"); // the whole name, as typed
    QTest::addColumn<QString>("spoken");
    QTest::newRow("short") << "Jo" << "Lee" << "" << "201 J.Lee" << "Jo Lee (201)" << "Jo Lee, 201, free";
    QTest::newRow("cut at ten") << "Jo" << "Smith" << "" << "201 J.Smit" << "Jo Smith (201)" << "Jo Smith, 201, free";
    QTest::newRow("no first name") << "" << "Lee" << "" << "201 .Lee" << "Lee (201)" << "Lee, 201, free";
    QTest::newRow("no last name") << "Jo" << "" << "" << "201 J" << "Jo (201)" << "Jo, 201, free";
    QTest::newRow("no name") << "" << "" << "" << "201 " << "201" << "201, free";
    QTest::newRow("own label, uncut") << "Jo" << "Lee" << "Jo at the front desk" << "Jo at the front desk"
                                      << "Jo Lee (201)" << "Jo Lee, 201, free";
    QTest::newRow("markup shown as typed") << "<b>%1" << "&Co" << "" << "201 <.&Co" << "<b>%1 &Co (201)"
                                           << "<b>%1 &Co, 201, free";
}

void tst_StickyBuddyList::peerTexts()
{
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(QString, ownLabel);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(QString, spoken);
    if (ownLabel.isEmpty())
        Settings::instance()->removeValueForKey(QStringLiteral("peer/201"));
    else
        Settings::instance()->setValueForKey(QStringLiteral("peer/201"), ownLabel);
    StickyBuddyList monitor;
    monitor.addPeer(colleague(QStringLiteral("u201"), QStringLiteral("201"), first, last));
    monitor.drawPeers();
    QCOMPARE(monitor.getPeerText(QStringLiteral("201")), text);
    QCOMPARE(monitor.findChild<QLabel *>(QStringLiteral("txt_201"))->text(),
             QStringLiteral("<font color = black>") + text.toHtmlEscaped());
    QTextDocument shown;
    shown.setHtml(monitor.findChild<QLabel *>(QStringLiteral("txt_201"))->toolTip());
    QCOMPARE(shown.toPlainText(), toolTip);
    QCOMPARE(::spoken(monitor, QStringLiteral("201")), spoken);
    Settings::instance()->removeValueForKey(QStringLiteral("peer/201"));
}

void tst_StickyBuddyList::layout_data()
{
    QTest::addColumn<int>("peers");
    QTest::addColumn<int>("columns");
    QTest::addColumn<bool>("horizontal");
    QTest::addColumn<QList<int>>("hidden"); // by index
    QTest::addColumn<QString>("layout");
    // Runs of 3, 3, 3 and 1: four rows, the width of the first.
    QTest::newRow("10 in 3 rows") << 10 << 3 << true << QList<int>()
                                  << "0,-5 100,-5 200,-5 0,15 100,15 200,15 0,35 100,35 200,35 0,55 300x79";
    QTest::newRow("10 in 3 columns") << 10 << 3 << false << QList<int>()
                                     << "0,-5 0,15 0,35 100,-5 100,15 100,35 200,-5 200,15 200,35 300,-5 400x60";
    QTest::newRow("1 in 3 rows") << 1 << 3 << true << QList<int>() << "0,-5 100x19";
    QTest::newRow("columns 0 as 1") << 3 << 0 << true << QList<int>() << "0,-5 100,-5 200,-5 300x19";
    // A hidden colleague takes no place, but counts in the run length (4 / 2).
    QTest::newRow("hidden") << 4 << 2 << true << QList<int>{1} << "0,-5 100,-5 0,15 200x39";
}

void tst_StickyBuddyList::layout()
{
    QFETCH(int, peers);
    QFETCH(int, columns);
    QFETCH(bool, horizontal);
    QFETCH(QList<int>, hidden);
    QFETCH(QString, layout);
    Settings *settings = Settings::instance();
    settings->setValueForKey(StickyBuddyList::columnsSetting, columns);
    settings->setValueForKey(StickyBuddyList::horizontalSetting, horizontal);
    StickyBuddyList monitor;
    for (int i = 0; i < peers; ++i) {
        const QString id = QStringLiteral("lay%1").arg(i);
        settings->setValueForKey(QStringLiteral("peers/") + id, !hidden.contains(i));
        monitor.addPeer(colleague(id, QString::number(300 + i), QStringLiteral("F"), QStringLiteral("L")));
    }
    monitor.drawPeers();
    QCOMPARE(layoutOf(monitor), layout);
    for (int i = 0; i < peers; ++i)
        settings->removeValueForKey(QStringLiteral("peers/lay%1").arg(i));
}

void tst_StickyBuddyList::corners_data()
{
    QTest::addColumn<int>("corner");
    QTest::addColumn<QPoint>("position");
    // Screen at (100, 50), 1000 x 800; window 300 x 79.
    QTest::newRow("1 top left") << 1 << QPoint(100, 50);
    QTest::newRow("2 top centre") << 2 << QPoint(450, 50);
    QTest::newRow("3 top right") << 3 << QPoint(800, 50);
    QTest::newRow("4 right middle") << 4 << QPoint(800, 411);
    QTest::newRow("5 bottom right") << 5 << QPoint(800, 771);
    QTest::newRow("6 bottom centre") << 6 << QPoint(450, 771);
    QTest::newRow("7 bottom left") << 7 << QPoint(100, 771);
    QTest::newRow("8 left middle") << 8 << QPoint(100, 411);
    QTest::newRow("0 as top left") << 0 << QPoint(100, 50);
}

void tst_StickyBuddyList::corners()
{
    QFETCH(int, corner);
    QFETCH(QPoint, position);
    QCOMPARE(StickyBuddyList::cornerPosition(corner, QRect(100, 50, 1000, 800), QSize(300, 79)), position);
}

void tst_StickyBuddyList::screenBeyondTheScreensIsTheFirst()
{
    Settings *settings = Settings::instance();
    settings->setValueForKey(StickyBuddyList::screenSetting, QGuiApplication::screens().size() + 2);
    settings->setValueForKey(StickyBuddyList::cornerSetting, 5);
    StickyBuddyList monitor;
    monitor.addPeer(colleague(QStringLiteral("s1"), QStringLiteral("401")));
    monitor.drawPeers();
    const QRect screen = QGuiApplication::screens().first()->geometry();
    QCOMPARE(monitor.pos(), QPoint(screen.right() + 1 - 100, screen.bottom() + 1 - 19));

    // With auto position the program places nothing.
    settings->setValueForKey(StickyBuddyList::autoPositionSetting, true);
    monitor.move(33, 44);
    // (Its frame, once known, is where the window system puts it.)
    const QPoint inside = monitor.geometry().topLeft();
    settings->setValueForKey(StickyBuddyList::cornerSetting, 1);
    QCoreApplication::processEvents();
    QCOMPARE(monitor.geometry().topLeft(), inside);
}

void tst_StickyBuddyList::settingsThatRedraw_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("redraws");
    QTest::newRow("corner") << "stickyBuddyListCorner" << QVariant(5) << true;
    QTest::newRow("columns") << "stickyBuddyListColumns" << QVariant(2) << true;
    QTest::newRow("horizontal") << "stickyBuddyListHorizontal" << QVariant(false) << true;
    QTest::newRow("screen") << "stickyBuddyListScreen" << QVariant(1) << true;
    QTest::newRow("auto position") << "stickyBuddyListAutoPosition" << QVariant(true) << true;
    QTest::newRow("a colleague hidden") << "peers/u9" << QVariant(false) << true;
    QTest::newRow("stay on top") << "stickyBuddyListStayOnTop" << QVariant(false) << false;
    QTest::newRow("hide time") << "stickyBuddyListHideMs" << QVariant(300) << false;
    QTest::newRow("opacity") << "stickyBuddyListOpacity" << QVariant(40) << false;
    QTest::newRow("a lamp's label") << "peer/209" << QVariant("x") << false;
    QTest::newRow("something else") << "MainWindow/x" << QVariant(3) << false;
}

void tst_StickyBuddyList::settingsThatRedraw()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    QFETCH(bool, redraws);
    StickyBuddyList monitor;
    monitor.addPeer(colleague(QStringLiteral("u9"), QStringLiteral("209")));
    QTRY_COMPARE(monitor.drawCount(), 1);
    Settings::instance()->setValueForKey(key, value);
    QCoreApplication::processEvents();
    QCOMPARE(monitor.drawCount(), redraws ? 2 : 1);
    // What the options change shows at once.
    if (key == StickyBuddyList::opacitySetting)
        QCOMPARE(monitor.windowOpacity(), 0.6);
    if (key == StickyBuddyList::stayOnTopSetting)
        QVERIFY(!(monitor.windowFlags() & Qt::WindowStaysOnTopHint));
    if (key == StickyBuddyList::autoPositionSetting)
        QVERIFY(monitor.windowType() == Qt::Window && !(monitor.windowFlags() & Qt::FramelessWindowHint));
    Settings::instance()->removeValueForKey(key);
    // Whatever was rebuilt, a click on the lamp reaches the lamp.
    QTRY_VERIFY(monitor.findChild<QLabel *>(QStringLiteral("led_209")));
    const QWidget *lamp = monitor.findChild<QLabel *>(QStringLiteral("led_209"));
    QVERIFY(qobject_cast<const ClickableLabel *>(monitor.childAt(lamp->geometry().center())));
}

// A buddy list of a thousand colleagues, and option changes in the same pass: one drawing.
void tst_StickyBuddyList::manyColleaguesOneDrawing()
{
    StickyBuddyList monitor;
    for (int i = 0; i < 1000; ++i)
        monitor.addPeer(colleague(QStringLiteral("m%1").arg(i), QString::number(1000 + i)));
    Settings::instance()->setValueForKey(StickyBuddyList::columnsSetting, 20);
    Settings::instance()->setValueForKey(StickyBuddyList::cornerSetting, 2);
    QCOMPARE(monitor.drawCount(), 0);
    QTRY_COMPARE(monitor.drawCount(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(monitor.drawCount(), 1);
    QCOMPARE(monitor.findChildren<ClickableLabel *>().size(), 3000);
    // Twenty rows of fifty, each wrapped where the screen ends: the last one's field.
    const int perRow = std::min(50, QGuiApplication::primaryScreen()->availableGeometry().width() / 100);
    QCOMPARE(monitor.findChild<QLabel *>(QStringLiteral("fld_1999"))->pos(),
             QPoint(999 % perRow * 100, 999 / perRow * 20 - 5));
    // Every colleague seen got an entry for the configuration dialog.
    QCOMPARE(Settings::instance()->getValueForKey(QStringLiteral("peers/m999")).toBool(), true);
}

void tst_StickyBuddyList::renameByEnterAndByFocusLoss_data()
{
    QTest::addColumn<QString>("finish");
    QTest::newRow("Enter") << "Enter";
    QTest::newRow("focus loss") << "focus loss";
    // A colleague added while the editor's own menu is open (it has taken the focus, so the
    // edit has not finished): what was typed is taken.
    QTest::newRow("a redraw") << "redraw";
    // The program ends with the editor open and focused.
    QTest::newRow("the monitor goes") << "end";
}

void tst_StickyBuddyList::renameByEnterAndByFocusLoss()
{
    QFETCH(QString, finish);
    Settings::instance()->removeValueForKey(QStringLiteral("peer/201"));
    QWidget elsewhere;
    auto *other = new QLineEdit(&elsewhere);
    elsewhere.show();
    auto monitor = std::make_unique<StickyBuddyList>();
    monitor->addPeer(colleague(QStringLiteral("u201"), QStringLiteral("201"), QStringLiteral("Jo"), QStringLiteral("Lee")));
    monitor->drawPeers();
    QTRY_VERIFY(monitor->isVisible());
    QTest::mouseClick(monitor->findChild<QLabel *>(QStringLiteral("txt_201")), Qt::RightButton);
    auto *editor = monitor->findChild<QLineEdit *>(QStringLiteral("edt_201"));
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("201 J.Lee"));
    QTRY_VERIFY(editor->hasFocus());
    QVERIFY(monitor->findChild<QLabel *>(QStringLiteral("txt_201"))->isHidden());
    editor->setText(QStringLiteral("Jo & <Reception>"));
    if (finish == "Enter") {
        QTest::keyClick(editor, Qt::Key_Return);
    } else if (finish == "redraw") {
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(5, 5), editor->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(editor, &menu);
        QTRY_VERIFY(QApplication::activePopupWidget());
        monitor->addPeer(colleague(QStringLiteral("u209"), QStringLiteral("209")));
        QTRY_VERIFY(monitor->findChild<QLabel *>(QStringLiteral("txt_209")));
    } else if (finish == "focus loss") {
        editor->setFocus();
        other->setFocus();
        other->activateWindow();
        emit editor->editingFinished(); // what the lost focus ends in
    }
    if (finish != "end") {
        QCOMPARE(monitor->getPeerText(QStringLiteral("201")), QStringLiteral("Jo & <Reception>"));
        QCOMPARE(monitor->findChild<QLabel *>(QStringLiteral("txt_201"))->text(),
                 QStringLiteral("<font color = black>Jo &amp; &lt;Reception&gt;"));
        QVERIFY(!monitor->findChild<QLabel *>(QStringLiteral("txt_201"))->isHidden());
        QTRY_VERIFY(!monitor->findChild<QLineEdit *>(QStringLiteral("edt_201")));
        monitor->drawPeers(); // kept across a redraw
        QCOMPARE(monitor->findChild<QLabel *>(QStringLiteral("txt_201"))->text(),
                 QStringLiteral("<font color = black>Jo &amp; &lt;Reception&gt;"));
    }
    monitor.reset();
    // And across a restart, whatever the server now calls the colleague.
    StickyBuddyList again;
    again.addPeer(colleague(QStringLiteral("u201"), QStringLiteral("201"), QStringLiteral("Joanna"), QStringLiteral("Li")));
    again.drawPeers();
    QCOMPARE(again.getPeerText(QStringLiteral("201")), QStringLiteral("Jo & <Reception>"));
    Settings::instance()->removeValueForKey(QStringLiteral("peer/201"));
}

void tst_StickyBuddyList::hideOnMouseOver_data()
{
    QTest::addColumn<bool>("hides");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("hiddenMs"); // at least
    QTest::newRow("off") << false << 200 << 0;
    // Longer than the default, which must not be taken instead.
    QTest::newRow("as stored") << true << 1500 << 1500;
    // A time below the dialog's range, as a settings file may hold: the shortest, not for ever.
    QTest::newRow("negative") << true << -5 << 100;
}

void tst_StickyBuddyList::hideOnMouseOver()
{
    QFETCH(bool, hides);
    QFETCH(int, stored);
    QFETCH(int, hiddenMs);
    Settings::instance()->setValueForKey(StickyBuddyList::hideOnMouseOverSetting, hides);
    Settings::instance()->setValueForKey(StickyBuddyList::hideMsSetting, stored);
    StickyBuddyList monitor;
    monitor.addPeer(colleague(QStringLiteral("h1"), QStringLiteral("501")));
    monitor.drawPeers();
    QTRY_VERIFY(monitor.isVisible());
    QElapsedTimer hidden;
    hidden.start();
    monitor.checkHideOrNotHide();
    QCOMPARE(monitor.isHidden(), hides);
    QTRY_VERIFY(monitor.isVisible());
    QVERIFY2(hidden.elapsed() >= hiddenMs, qPrintable(QString::number(hidden.elapsed())));
    // And again, once back.
    monitor.checkHideOrNotHide();
    QCOMPARE(monitor.isHidden(), hides);
    QTRY_VERIFY(monitor.isVisible());

    // Brought back at once for the keyboard from the main window, and kept while it is on the lamps.
    monitor.checkHideOrNotHide();
    QWidget mainWindow;
    mainWindow.show();
    mainWindow.activateWindow();
    QTRY_VERIFY(mainWindow.isActiveWindow());
    monitor.focusLamps();
    QVERIFY(monitor.isVisible());
    QTRY_COMPARE(focusName(), QStringLiteral("fld_501"));
    monitor.checkHideOrNotHide();
    QVERIFY(monitor.isVisible());
    // Nor while a lamp is renamed.
    QTest::keyClick(monitor.windowHandle(), Qt::Key_F2);
    QTRY_COMPARE(focusName(), QStringLiteral("edt_501"));
    monitor.checkHideOrNotHide();
    QVERIFY(monitor.isVisible());
}

void tst_StickyBuddyList::switchedOff_data()
{
    QTest::addColumn<QString>("when");
    QTest::newRow("from the start") << "start";
    QTest::newRow("while it is drawn") << "drawing";
    QTest::newRow("while hidden under the pointer") << "hidden";
}

// Off is off, whatever was under way; colleagues seen meanwhile are listed for the dialog all
// the same, and switching on shows them.
void tst_StickyBuddyList::switchedOff()
{
    QFETCH(QString, when);
    Settings *settings = Settings::instance();
    settings->removeValueForKey(QStringLiteral("peers/off1"));
    settings->setValueForKey(StickyBuddyList::hideOnMouseOverSetting, true);
    settings->setValueForKey(StickyBuddyList::hideMsSetting, 100);
    settings->setValueForKey(StickyBuddyList::enabledSetting, when != "start");
    StickyBuddyList monitor;
    monitor.initialise();
    monitor.addPeer(colleague(QStringLiteral("off1"), QStringLiteral("601")));
    if (when != "start") {
        QTRY_VERIFY(monitor.findChild<QLabel *>(QStringLiteral("led_601")));
        when == "hidden" ? monitor.checkHideOrNotHide() : monitor.drawPeers();
        settings->setValueForKey(StickyBuddyList::enabledSetting, false);
    }
    QTimer pending; // outlasts the hide time and the show after a drawing
    QSignalSpy over(&pending, &QTimer::timeout);
    pending.start(300);
    QVERIFY(over.wait());
    QVERIFY(monitor.isHidden());
    QCOMPARE(monitor.findChild<QLabel *>(QStringLiteral("led_601")) != nullptr, when != "start");
    QCOMPARE(settings->getValueForKey(QStringLiteral("peers/off1")), QVariant(true));

    settings->setValueForKey(StickyBuddyList::enabledSetting, true);
    QTRY_VERIFY(monitor.isVisible() && monitor.findChild<QLabel *>(QStringLiteral("led_601")));
    settings->removeValueForKey(QStringLiteral("peers/off1"));
}

void tst_StickyBuddyList::clickDialsOrPicksUp_data()
{
    QTest::addColumn<int>("key"); // 0: the mouse; the lamp's other keys click as Return does
    QTest::newRow("mouse") << 0;
    QTest::newRow("Return") << int(Qt::Key_Return);
}

void tst_StickyBuddyList::clickDialsOrPicksUp()
{
    QFETCH(int, key);
    StickyBuddyList monitor;
    monitor.initialise();
    QTRY_VERIFY(monitor.findChild<QLabel *>(QStringLiteral("led_201")));
    // From the keyboard alone: the main window's shortcut brings it to the first lamp.
    const auto click = [&](const char *label) {
        if (key)
            QTest::keyClick(monitor.windowHandle(), Qt::Key(key));
        else
            QTest::mouseClick(monitor.findChild<QLabel *>(QLatin1String(label)), Qt::LeftButton);
    };
    if (key) {
        monitor.focusLamps();
        QTRY_COMPARE(focusName(), QStringLiteral("fld_201"));
    }
    QVERIFY(sim.presence().setPhonePresence(QStringLiteral("u201"), QStringLiteral("ringing")));
    QTRY_VERIFY(monitor.isExtensionRinging(QStringLiteral("201")));
    monitor.drawPeers(); // a redraw shows what was last reported
    QCOMPARE(monitor.findChild<QLabel *>(QStringLiteral("led_201"))->pixmap(Qt::ReturnByValue).toImage(),
             monitor.getPixMapForPhonePresence(QStringLiteral("ringing"), false).toImage());
    click("led_201");
    QCOMPARE(sim.sent(QStringLiteral("dialNumber"), QStringLiteral("number")), QStringList{"*81*201"});

    QVERIFY(sim.presence().setPhonePresence(QStringLiteral("u201"), QStringLiteral("busy")));
    QTRY_VERIFY(!monitor.isExtensionRinging(QStringLiteral("201")));
    click("fld_201");
    QCOMPARE(sim.sent(QStringLiteral("dialNumber"), QStringLiteral("number")), QStringList{"201"});
}

void tst_StickyBuddyList::keyboard_data()
{
    QTest::addColumn<bool>("horizontal");
    QTest::addColumn<QString>("keys"); // and what the main window does: "shortcut", "redraw"
    QTest::addColumn<QString>("focus");  // where the keyboard is then
    QTest::addColumn<QString>("label"); // of the second lamp
    // Four lamps in two runs: rows 300 301 / 302 303, or columns 300 301 | 302 303.
    QTest::newRow("right") << true << "Right" << "fld_301" << "";
    QTest::newRow("right at the end") << true << "Right Right" << "fld_301" << "";
    QTest::newRow("down, left") << true << "Right Down Left" << "fld_302" << "";
    QTest::newRow("up at the top") << true << "Up" << "fld_300" << "";
    QTest::newRow("tab") << true << "Tab Tab Tab" << "fld_303" << "";
    QTest::newRow("backtab wraps") << true << "Backtab" << "fld_303" << "";
    QTest::newRow("columns: down") << false << "Down" << "fld_301" << "";
    QTest::newRow("columns: right") << false << "Right" << "fld_302" << "";
    QTest::newRow("columns: tab") << false << "Tab Tab" << "fld_302" << "";
    QTest::newRow("F2") << true << "F2" << "edt_300" << "";
    QTest::newRow("F2, Escape") << true << "Right F2 X Escape" << "fld_301" << "";
    QTest::newRow("menu key, Return") << true << "Right Menu X Return" << "fld_301" << "x";
    // Back to the window the keyboard came from; the monitor stays.
    QTest::newRow("Escape") << true << "Escape" << "elsewhere" << "";
    QTest::newRow("Escape after a move") << true << "Right Escape" << "elsewhere" << "";
    // The main window's shortcut again: the lamp left last.
    QTest::newRow("and back") << true << "Right Escape shortcut" << "fld_301" << "";
    QTest::newRow("a redraw") << true << "Right redraw" << "fld_301" << "";
}

void tst_StickyBuddyList::keyboard()
{
    QFETCH(bool, horizontal);
    QFETCH(QString, keys);
    QFETCH(QString, focus);
    QFETCH(QString, label);
    Settings *settings = Settings::instance();
    settings->setValueForKey(StickyBuddyList::horizontalSetting, horizontal);
    settings->setValueForKey(StickyBuddyList::columnsSetting, 2);
    settings->removeValueForKey(QStringLiteral("peer/301"));
    QLineEdit elsewhere;
    elsewhere.setObjectName(QStringLiteral("elsewhere"));
    elsewhere.show();
    elsewhere.activateWindow();
    QTRY_VERIFY(elsewhere.hasFocus());
    StickyBuddyList monitor;
    for (int i = 0; i < 4; ++i)
        monitor.addPeer(colleague(QStringLiteral("k%1").arg(i), QString::number(300 + i), QStringLiteral("F"), QStringLiteral("L")));
    monitor.drawPeers();
    // Activated other than by the shortcut (here by showing), it puts the keyboard on no lamp.
    QTRY_VERIFY(monitor.isActiveWindow());
    QVERIFY(!focusName().startsWith(QLatin1String("fld_")));
    elsewhere.activateWindow();
    QTRY_VERIFY(elsewhere.hasFocus());
    monitor.focusLamps();
    QTRY_COMPARE(focusName(), QStringLiteral("fld_300"));
    QMetaEnum names = QMetaEnum::fromType<Qt::Key>();
    for (const QString &key : keys.split(QLatin1Char(' '))) {
        if (key == "shortcut") {
            QTRY_VERIFY(elsewhere.isActiveWindow());
            monitor.focusLamps();
            continue;
        }
        if (key == "redraw") {
            monitor.drawPeers();
            continue;
        }
        const int code = names.keyToValue(qPrintable(QStringLiteral("Key_") + key));
        QVERIFY2(code != -1, qPrintable(key));
        QTest::keyClick(monitor.windowHandle(), Qt::Key(code), Qt::NoModifier);
    }
    QTRY_COMPARE(focusName(), focus);
    QVERIFY(monitor.isVisible());
    QCOMPARE(settings->getValueForKey(QStringLiteral("peer/301")).toString(), label);
    settings->removeValueForKey(QStringLiteral("peer/301"));
}

// Records the connector hands out for a colleague listed again are freed later; a colleague
// may move to another extension, or leave. The monitor keeps neither a freed record nor a stale lamp.
void tst_StickyBuddyList::colleaguesListedAgainMovedOrGone()
{
    StickyBuddyList monitor;
    const auto lampShows = [&monitor](const char *extension, const char *presence) {
        return monitor.findChild<QLabel *>(QStringLiteral("led_") + extension)->pixmap(Qt::ReturnByValue).toImage()
            == monitor.getPixMapForPhonePresence(QLatin1String(presence), false).toImage();
    };
    monitor.initialise();
    QTRY_COMPARE(monitor.getPeersMap().keys(), (QStringList{"201", "202"}));
    User *stored = monitor.getPeersMap().value(QStringLiteral("201"));

    // Listed again twice: the first fresh records are freed when the second list comes.
    QVERIFY(sim.presence().setPresence(QStringLiteral("u202"), {{"lastname", "Smythe"}}));
    connector->requestJabberBuddies();
    connector->requestJabberBuddies();
    QSignalSpy changed(connector, &CTIConnector::jabberBuddyChanged);
    QTRY_VERIFY(changed.count() >= 4);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    monitor.drawPeers();
    QCOMPARE(monitor.getPeerText(QStringLiteral("202")), QStringLiteral("202 K.Smyt"));
    QCOMPARE(monitor.getPeersMap().value(QStringLiteral("201")), stored);

    // Moved to another extension: the lamp follows.
    QVERIFY(sim.presence().setPresence(QStringLiteral("u201"), {{"extension", "299"}}));
    QTRY_VERIFY(monitor.findChild<QLabel *>(QStringLiteral("led_299")));
    QVERIFY(!monitor.findChild<QLabel *>(QStringLiteral("led_201")));
    QCOMPARE(monitor.getPeersMap().value(QStringLiteral("299")), stored);
    QVERIFY(sim.presence().setPhonePresence(QStringLiteral("u201"), QStringLiteral("ringing")));
    QTRY_VERIFY(monitor.isExtensionRinging(QStringLiteral("299")));
    QVERIFY(sim.presence().setPresence(QStringLiteral("u201"), {{"extension", "201"}}));
    QTRY_VERIFY(monitor.findChild<QLabel *>(QStringLiteral("led_201")));

    // To an extension another colleague holds, or to none: the lamp stays, and the call shows on
    // the colleague's own lamp only.
    for (const char *taken : {"202", ""}) {
        const int before = changed.count();
        QVERIFY(sim.presence().setPresence(QStringLiteral("u201"), {{"extension", taken}}));
        QTRY_VERIFY(changed.count() > before);
        QCOMPARE(monitor.getPeersMap().value(QStringLiteral("201")), stored);
        QVERIFY(monitor.getPeersMap().value(QStringLiteral("202")) != stored);
        QVERIFY(lampShows("201", "ringing") && lampShows("202", "busy"));
        QVERIFY(!monitor.isExtensionRinging(QStringLiteral("202")));
    }

    // A colleague who left while the link was down: the lamp goes, and the record is freed.
    const QPointer<User> leaving = monitor.getPeersMap().value(QStringLiteral("202"));
    QSignalSpy again(connector, &CTIConnector::reconnectSuccess);
    sim.dropAllConnections();
    QTRY_VERIFY(connector->isReconnecting());
    sim.presence().reset(QJsonObject{{"users", QJsonArray{QJsonObject{{"id", "u201"}, {"extension", "201"}}}}});
    QTRY_COMPARE_WITH_TIMEOUT(again.count(), 1, 12000);
    QTRY_COMPARE(monitor.getPeersMap().keys(), QStringList{"201"});
    QVERIFY(!monitor.findChild<QLabel *>(QStringLiteral("led_202")) && !monitor.findChild<QLabel *>(QStringLiteral("fld_202")));
    QTRY_VERIFY(leaving.isNull());
}

QTEST_MAIN(tst_StickyBuddyList)
#include "tst_stickybuddylist.moc"
