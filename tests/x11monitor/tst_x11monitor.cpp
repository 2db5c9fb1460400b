#include "x11programs.h"

#include <QSettings>
#include <QtTest>

// The extension monitor of the real program against the simulator, on the X server in DISPLAY:
// placed flush at its corner, out of the pointer's way for the hide time, renamed by typing, and
// moved by the configuration dialog while it is open. Clicks land at places of the designed forms.
class tst_X11Monitor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    // A test that failed half-way leaves no client behind for the next one.
    void cleanup()
    {
        x11.stopClient();
        X11Session::verifyNothingHung();
    }
    void flushAtTheTopRightAndHidesUnderThePointer_data();
    void flushAtTheTopRightAndHidesUnderThePointer();
    void renameByTyping();
    void configurationMovesItAndCancelPutsItBack();

private:
    QRect monitor() const { return x11.window(QStringLiteral("Extension Monitor")); }
    //! The frameless monitor at the top right, unless titled: then where the window manager puts it.
    void startClient(const QByteArray &options, bool titled = false);
    static void pointTo(int x, int y) { X11Session::xdotool({QStringLiteral("mousemove"), QString::number(x), QString::number(y)}); }
    static void click(const QRect &window, int x, int y);

    static constexpr int hideMs = 1500;
    X11Programs x11{QStringLiteral("127.0.0.52")};
    QRect screen;
};

void tst_X11Monitor::initTestCase()
{
    TALVERO_REQUIRE_X11(QStringLiteral("xdotool"));
    QVERIFY(x11.startSimulator());
    screen = x11.screen();
    // The pointer starts away from every window.
    pointTo(screen.width() / 2, screen.height() - 5);
}

void tst_X11Monitor::startClient(const QByteArray &options, bool titled)
{
    QVERIFY(x11.startClient("stickyBuddyListAutoPosition=" + QByteArray(titled ? "true" : "false")
                            + "\nstickyBuddyListCorner=3\nstickyBuddyListHideMs=" + QByteArray::number(hideMs) + '\n'
                            + options));
    QVERIFY(x11.drawnMonitor().isValid());
}

void tst_X11Monitor::flushAtTheTopRightAndHidesUnderThePointer_data()
{
    QTest::addColumn<bool>("titled");
    QTest::newRow("frameless") << false;
    QTest::newRow("titled") << true;
}

void tst_X11Monitor::flushAtTheTopRightAndHidesUnderThePointer()
{
    QFETCH(bool, titled);
    startClient("stickyBuddyListHideOnMouseOver=true\n", titled);
    const QRect geometry = monitor();
    const auto typingInTheMainWindow = [this] {
        return X11Session::xdotool({QStringLiteral("getwindowfocus")}).trimmed()
            == x11.windowId(QStringLiteral("Talvero CTI Client"));
    };
    QTRY_VERIFY_WITH_TIMEOUT(typingInTheMainWindow(), 10000);
    if (!titled) {
        QCOMPARE(geometry.right(), screen.right());
        QCOMPARE(geometry.top(), 0);
    }
    QCOMPARE(geometry.height(), 19); // one row of 20-pixel fields
    pointTo(geometry.center().x(), geometry.center().y());
    QTRY_VERIFY_WITH_TIMEOUT(monitor().isNull(), 5000);
    // The pointer leaves; after the hide time the monitor is back where it was.
    pointTo(screen.width() / 2, screen.height() - 5);
    QElapsedTimer hidden;
    hidden.start();
    QTRY_VERIFY_WITH_TIMEOUT(!monitor().isNull(), hideMs + 5000);
    QVERIFY2(hidden.elapsed() >= hideMs / 2, qPrintable(QString::number(hidden.elapsed())));
    QCOMPARE(monitor(), geometry);
    // Back, it leaves the keyboard where the user types.
    QVERIFY(!QTest::qWaitFor([&] { return !typingInTheMainWindow(); }, 1000));
}

void tst_X11Monitor::renameByTyping()
{
    startClient("stickyBuddyListHideOnMouseOver=false\n");
    const QRect geometry = monitor();
    const QString name = QStringLiteral("Anna <Empfang>");
    const auto stored = [this] {
        return QSettings(x11.settingsFile(), QSettings::IniFormat).value(QStringLiteral("peer/201")).toString();
    };
    // A slow client may open the editor after the first keys, or redraw it away: then again.
    const auto rename = [&] {
        // The lamps run in extension order: 200, 201, ...; the second one's label.
        pointTo(geometry.left() + 100 + 60, geometry.top() + 9);
        X11Session::xdotool({QStringLiteral("click"), QStringLiteral("3")});
        X11Session::press(QStringLiteral("ctrl+a"));
        X11Session::xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), name});
        X11Session::press(QStringLiteral("Return"));
        return QTest::qWaitFor([&] { return stored() == name; }, 3000);
    };
    QTRY_VERIFY_WITH_TIMEOUT(rename(), 30000);
}

void tst_X11Monitor::click(const QRect &window, int x, int y)
{
    // Negative offsets count from the right or bottom edge.
    pointTo(x < 0 ? window.right() + x : window.left() + x, y < 0 ? window.bottom() + y : window.top() + y);
    X11Session::xdotool({QStringLiteral("click"), QStringLiteral("1")});
}

void tst_X11Monitor::configurationMovesItAndCancelPutsItBack()
{
    startClient("stickyBuddyListHorizontal=true\nstickyBuddyListHideOnMouseOver=false\n");
    const QRect drawn = monitor();
    // The "Configure" tab, then its "Advanced Configuration" button at the bottom of the page.
    QRect main;
    QTRY_VERIFY_WITH_TIMEOUT((main = x11.window(QStringLiteral("Talvero CTI Client"))).isValid(), 10000);
    click(main, 168, 60);
    // The page needs a moment to show; the dialog is modal, so a click that lands twice opens it once.
    const QString dialogTitle = QStringLiteral("Configuration");
    QRect dialog;
    QTRY_VERIFY_WITH_TIMEOUT((click(main, main.width() / 2, -30), (dialog = x11.window(dialogTitle)).isValid()), 10000);
    QCOMPARE(dialog.size(), QSize(418, 476));

    // "Sticky Buddy Monitor": the bottom left corner, then columns instead of rows.
    // The client takes the clicks in order: the page is shown and laid out before the second
    // lands. A click lost on a busy server is given again (the corner is an exclusive choice).
    click(dialog, 170, 26);
    QTRY_VERIFY_WITH_TIMEOUT((click(dialog, 237, 254), monitor().left() == 0 && monitor().bottom() == screen.bottom()),
                             10000);
    QVERIFY(monitor().width() > monitor().height());
    click(dialog, 42, 226);
    QTRY_VERIFY_WITH_TIMEOUT(monitor().height() > monitor().width(), 10000);
    QCOMPARE(monitor().left(), 0);
    QCOMPARE(monitor().bottom(), screen.bottom());

    // Cancel: the monitor is back as it was, and so are the stored options.
    click(dialog, -52, -24);
    QTRY_VERIFY_WITH_TIMEOUT(x11.window(dialogTitle).isNull(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(monitor(), drawn, 10000);
    QSettings stored(x11.settingsFile(), QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("stickyBuddyListCorner")).toInt(), 3);
    QCOMPARE(stored.value(QStringLiteral("stickyBuddyListHorizontal")).toBool(), true);
}

TALVERO_X11_TEST_MAIN(tst_X11Monitor, QCoreApplication)
#include "tst_x11monitor.moc"
