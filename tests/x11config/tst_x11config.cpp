#include "x11programs.h"

#include <QSettings>
#include <QtTest>

// The real program against the simulator, on the X server in DISPLAY: the configuration dialog,
// opened from the configure tab, moves the extension monitor while it is open, and Cancel puts
// the monitor back. Clicks land at places of the designed forms, relative to their windows.
class tst_X11Config : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { X11Programs::verifyNothingHung(); }
    void dialogMovesTheMonitorAndCancelPutsItBack();

private:
    QRect monitor() const { return x11.window(QStringLiteral("Extension Monitor")); }
    static void click(const QRect &window, int x, int y);

    X11Programs x11{QStringLiteral("127.0.0.53")};
};

void tst_X11Config::initTestCase()
{
    if (const char *why = X11Programs::missing())
        QSKIP(why);
    QVERIFY(x11.startSimulator());
    // The monitor places itself in rows at the top right; the main window at the top left.
    QVERIFY(x11.startClient("stickyBuddyListAutoPosition=false\nstickyBuddyListCorner=3\n"
                            "stickyBuddyListHorizontal=true\nstickyBuddyListHideOnMouseOver=false\n"));
}

void tst_X11Config::click(const QRect &window, int x, int y)
{
    // Negative offsets count from the right or bottom edge.
    const int atX = x < 0 ? window.right() + x : window.left() + x;
    const int atY = y < 0 ? window.bottom() + y : window.top() + y;
    X11Programs::xdotool({QStringLiteral("mousemove"), QString::number(atX), QString::number(atY)});
    X11Programs::xdotool({QStringLiteral("click"), QStringLiteral("1")});
}

void tst_X11Config::dialogMovesTheMonitorAndCancelPutsItBack()
{
    const QRect drawn = x11.drawnMonitor();
    const QRect screen = x11.screen();
    QCOMPARE(drawn.right(), screen.right());
    QCOMPARE(drawn.top(), 0);

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
    click(dialog, 170, 26);
    QTest::qWait(300);
    click(dialog, 237, 254);
    QTRY_VERIFY_WITH_TIMEOUT(monitor().left() == 0 && monitor().bottom() == screen.bottom(), 10000);
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

QTEST_GUILESS_MAIN(tst_X11Config)
#include "tst_x11config.moc"
