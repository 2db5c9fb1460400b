#include "cticonnector.h"
#include "pbxsimulator.h"
#include "scenario.h"
#include "simhistory.h"
#include "addresslistmodel.h"
#include "focusring.h"
#include "rolloverpopup.h"
#include "runninglineview.h"
#include "stickybuddylist.h"
#include "windowtour.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QTabBar>
#include <QTranslator>
#include <QtTest>

// What a screen reader and a keyboard reach: every control named in the user's language, the
// everyday work done by keys alone, and calls announced.
class tst_Accessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyControlIsNamed_data();
    void everyControlIsNamed();
    void keyboardAlone();
    void callsAreAnnounced();
    void aScreenReaderFindsTheCall();
    void cleanup();

private:
    void checkNames(QWidget *root, const QString &window);
    void walk(QAccessibleInterface *node, const QString &window, const QString &path);
    void endEveryCall(CTIMainWindow &window);

    PbxSimulator sim{QHostAddress(QStringLiteral("127.0.0.130"))};
    QTranslator translator;
    QStringList problems;
    //! The English name of each control, by where it is: a German one that equals it was not translated.
    QHash<QString, QString> englishNames;
    bool german = false;
};

namespace {
bool isInteractive(QAccessibleInterface *node)
{
    static const QSet<QAccessible::Role> roles{
        QAccessible::PushButton, QAccessible::CheckBox,   QAccessible::RadioButton, QAccessible::ComboBox,
        QAccessible::EditableText, QAccessible::SpinBox, QAccessible::Slider,      QAccessible::PageTab,
        QAccessible::ButtonMenu,  QAccessible::ButtonDropDown, QAccessible::List,  QAccessible::Table,
        QAccessible::Tree,        QAccessible::Link};
    // A widget that hands its focus on is reached through the one it hands it to.
    const auto *widget = qobject_cast<QWidget *>(node->object());
    if (widget && widget->focusProxy())
        return false;
    return node->state().focusable || roles.contains(node->role());
}

//! Named by the client itself, not by what the server sent.
bool isOurs(QAccessibleInterface *node)
{
    const auto *widget = qobject_cast<QWidget *>(node->object());
    return widget && node->text(QAccessible::Name).trimmed() == widget->accessibleName().trimmed();
}

const QSet<QString> sameInGerman{QStringLiteral("Homepage")};

//! Keys as the user types them: to the open pop-up, else to the widget with the focus.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *target = QApplication::activePopupWidget() ? QApplication::activePopupWidget() : QApplication::focusWidget();
    QVERIFY2(target, "nothing has the keyboard");
    QTest::keyClick(target, key, modifiers);
}

void type(const QString &text)
{
    QWidget *target = QApplication::focusWidget();
    QVERIFY2(target, "nothing has the keyboard");
    QTest::keyClicks(target, text);
}

//! Tabs on until the keyboard is in a widget of that name: the names passed on the way there, or
//! empty if it never comes.
QStringList tabTo(const QString &objectName)
{
    QStringList passed;
    for (int i = 0; i < 40; ++i) {
        const QString here = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
        passed << here;
        if (here == objectName)
            return passed;
        press(Qt::Key_Tab);
    }
    return {};
}

struct Heard
{
    QAccessible::Event type;
    QAccessible::Role role;
    QPointer<QObject> object;
    QString name;
    QString description;
};
QList<Heard> heard;

void listen(QAccessibleEvent *event)
{
    QAccessibleInterface *node = event->accessibleInterface();
    heard.append({event->type(), node ? node->role() : QAccessible::NoRole, event->object(), node ? node->text(QAccessible::Name) : QString(),
                  node ? node->text(QAccessible::Description) : QString()});
}

QString where(QAccessibleInterface *node)
{
    QObject *object = node->object();
    return object && !object->objectName().isEmpty() ? object->objectName()
                                                     : QStringLiteral("(%1)").arg(int(node->role()), 0, 16);
}
}

void tst_Accessibility::initTestCase()
{
    Scenario scenario;
    QString error;
    QVERIFY2(scenario.loadFile(QStringLiteral(TALVERO_LOOKS_DATA "/looks.json"), &error), qPrintable(error));
    sim.setScenario(scenario);
    QVERIFY2(sim.listen(), qPrintable(sim.errorString()));
    QSignalSpy ok(CTIConnector::instance(), &CTIConnector::loginSuccess);
    CTIConnector::instance()->login(QStringLiteral("demo"), QStringLiteral("demo"), sim.address().toString());
    QTRY_COMPARE(ok.count(), 1);
    for (int i = 0; i < 3; ++i) {
        sim.history().addItem(QStringLiteral("demo"), {{"callid", QStringLiteral("h%1").arg(i)},
                                                       {"remote_number", "0711 5550123"},
                                                       {"firstname", "Jo"},
                                                       {"lastname", "Lee"},
                                                       {"timestamp", SimHistory::timestamp(QDateTime::currentDateTime())},
                                                       {"duration", 60},
                                                       {"state", 7},
                                                       {"direction", 1}});
    }
}

void tst_Accessibility::everyControlIsNamed_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << QString();
    QTest::newRow("German") << QStringLiteral("de_de");
}

void tst_Accessibility::everyControlIsNamed()
{
    QFETCH(QString, language);
    german = !language.isEmpty();
    if (german) {
        QVERIFY(translator.load(language, QStringLiteral(":/tr/"), QString(), QStringLiteral(".qm")));
        QCoreApplication::installTranslator(&translator);
    }
    problems.clear();
    WindowTour tour(sim, [this](QWidget *window, const QString &name) { checkNames(window, name); });
    const QString missing = tour.run({QStringLiteral("+49 711 1234567-890"), QStringLiteral("Anna-Katharina"),
                                      QStringLiteral("Schwarzenberger"), QStringLiteral("Beispiel AG")},
                                     QStringLiteral("1-c1"), 29, 2);
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("waited in vain for ") + missing));
    problems.removeDuplicates();
    for (const QString &problem : qAsConst(problems))
        qWarning().noquote() << problem;
    QVERIFY2(problems.isEmpty(), qPrintable(QStringLiteral("%1 controls unnamed").arg(problems.size())));
}

// Log in, dial a contact found by name, find and dial another in the address book, go back,
// hang up, change the forwarding: by keys alone, checked by what reached the server.
void tst_Accessibility::keyboardAlone()
{
    QTRY_VERIFY2(QAccessible::isActive(), "no bridge to screen readers");
    QAccessible::installUpdateHandler(listen);
    heard.clear();
    CTIMainWindow window;
    window.onApplicationStartup();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window);
    auto *field = window.findChild<QLineEdit *>(QStringLiteral("dialerLineEdit"));
    QTRY_COMPARE(QApplication::focusWidget(), field);
    // The digits of the one number dialled since the last look.
    const auto dialled = [this]() -> QString {
        if (!QTest::qWaitFor([this] { return !sim.receivedCommands(QStringLiteral("dialNumber")).isEmpty(); }))
            return QStringLiteral("nothing");
        const QList<QJsonObject> commands = sim.receivedCommands(QStringLiteral("dialNumber"));
        sim.clearReceived();
        if (commands.size() != 1)
            return QStringLiteral("%1 numbers").arg(commands.size());
        return commands.first().value(QStringLiteral("data")).toObject().value(QStringLiteral("number")).toString()
            .remove(QRegularExpression(QStringLiteral("[^0-9]")));
    };

    // A name typed in the dial field, its number chosen from the suggestions, Enter.
    AddressBookWindow *books = window.addressBookWindow();
    QTRY_VERIFY(!books->tabs().isEmpty() && books->tabs().first()->isLoaded());
    // The field suggests from the contacts it has heard of.
    QTRY_VERIFY(window.findChild<QCompleter *>()->model()->rowCount() >= 10);
    // Contacts arriving in the address book nobody looks at do not take the screen reader there.
    const auto toldInList = [] {
        return std::count_if(heard.cbegin(), heard.cend(), [](const Heard &event) {
            return event.type == QAccessible::Focus && event.object
                   && event.object->objectName() == QLatin1String("addessesTreeView");
        });
    };
    QCOMPARE(toldInList(), 0);
    sim.clearReceived();
    type(QStringLiteral("Schwarzenb"));
    QTRY_VERIFY(QApplication::activePopupWidget());
    QCOMPARE(FocusRing::instance()->widget(), field); // the suggestions belong to the field
    // A suggestion is read out when the arrows choose it, not at every key typed.
    QWidget *suggestions = QApplication::activePopupWidget();
    const auto toldInSuggestions = [suggestions] {
        return std::count_if(heard.cbegin(), heard.cend(), [suggestions](const Heard &event) {
            return event.type == QAccessible::Focus && event.object == suggestions;
        });
    };
    QCOMPARE(toldInSuggestions(), 0);
    press(Qt::Key_Down);
    QCOMPARE(toldInSuggestions(), 1);
    press(Qt::Key_Return); // chooses and dials
    QTRY_VERIFY(!QApplication::activePopupWidget());
    const QString first = dialled();
    QVERIFY2(QRegularExpression(QStringLiteral("(1234567891|9876543211)$")).match(first).hasMatch(), qPrintable(first));

    // The address book: its search has the keyboard, the arrows choose, Enter dials the first number.
    press(Qt::Key_B, Qt::ControlModifier);
    QTRY_VERIFY(books->isVisible() && QApplication::activeWindow() == books);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("searchLineEdit"));
    type(QStringLiteral("Hohenzollern"));
    press(Qt::Key_Down);
    QTRY_COMPARE(books->tabs().first()->currentAddressId(), QStringLiteral("1-c2"));
    QVERIFY(toldInList() > 0); // the contact the arrows chose is read out
    press(Qt::Key_Return);
    const QString second = dialled();
    QVERIFY2(second.endsWith(QLatin1String("1234567892")), qPrintable(second));
    // In a book without contacts Enter has nothing to dial.
    QTRY_VERIFY(books->tabs().last()->isLoaded());
    QCOMPARE(books->tabs().last()->listModel()->rowCount(), 0);
    books->tabs().last()->focusSearch();
    press(Qt::Key_Return);
    QCOMPARE(dialled(), QStringLiteral("nothing"));
    // Escape goes back to the dial field.
    press(Qt::Key_Escape);
    QTRY_VERIFY(!books->isVisible());
    QTRY_COMPARE(QApplication::focusWidget(), field);
    // The keyboard's way is marked; a click's is not.
    QCOMPARE(FocusRing::instance()->widget(), field);
    QTest::mouseClick(window.findChild<QAbstractItemView *>(QStringLiteral("treeView"))->viewport(), Qt::LeftButton);
    QVERIFY(!FocusRing::instance()->widget());
    field->setFocus(Qt::TabFocusReason);
    // Another window taking the keyboard takes the ring along, also where nothing in it has the focus.
    QWidget elsewhere;
    elsewhere.show();
    QVERIFY(QTest::qWaitForWindowExposed(&elsewhere));
    QCOMPARE(FocusRing::instance()->widget(), field);
    QApplication::setActiveWindow(&elsewhere);
    QTRY_VERIFY(!FocusRing::instance()->widget());
    elsewhere.hide();
    QApplication::setActiveWindow(&window);

    // A colleague called from the extension monitor: its key, an arrow, Enter; Escape comes back.
    StickyBuddyList *monitor = window.extensionMonitor();
    QTRY_VERIFY(monitor->findChild<QWidget *>(QStringLiteral("fld_201")));
    press(Qt::Key_M, Qt::ControlModifier);
    QTRY_COMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("fld_200"));
    QVERIFY(!FocusRing::instance()->widget()); // the lamp frames itself
    press(Qt::Key_Right);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("fld_201"));
    QCOMPARE(QAccessible::queryAccessibleInterface(QApplication::focusWidget())->text(QAccessible::Name),
             QStringLiteral("Anna-Katharina Brandenburger, 201, ringing"));
    sim.clearReceived();
    press(Qt::Key_Return); // ringing there: picked up
    const QString pickedUp = dialled();
    QCOMPARE(pickedUp, QStringLiteral("81201")); // *81*201
    press(Qt::Key_Escape);
    QTRY_VERIFY(QApplication::activeWindow() == &window);
    endEveryCall(window);
    field->setFocus(Qt::TabFocusReason);

    // The newest call is hung up by its key.
    endEveryCall(window);
    const QStringList calls = sim.calls().startIncomingCall(QStringLiteral("0711 5550123"), QStringLiteral("Jo"),
                                                            QStringLiteral("Lee"), QString(), QStringLiteral("demo"));
    QTRY_COMPARE(window.lineViews().size(), 1);
    QApplication::setActiveWindow(&window);
    // Tab reaches the call where it shows: between the dial field and the history.
    field->setFocus(Qt::TabFocusReason);
    const QStringList toHistory = tabTo(QStringLiteral("qt_tabwidget_tabbar"));
    QVERIFY2(toHistory.contains(QStringLiteral("hangupButton")), qPrintable(toHistory.join(QLatin1Char(' '))));
    // The frame around the calls is no stop of its own: it has nothing to do, and none to show.
    QVERIFY2(!toHistory.contains(QStringLiteral("lineScrollArea")), qPrintable(toHistory.join(QLatin1Char(' '))));
    press(Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_COMPARE(sim.receivedCommands(QStringLiteral("hangup")).size(), 1);
    QCOMPARE(sim.receivedCommands(QStringLiteral("hangup")).first().value(QStringLiteral("data")).toObject()
                 .value(QStringLiteral("callid")).toString(), calls.value(0));
    sim.calls().endCall(calls.value(0));

    // The forwarding, reached by Tab and the tab bar's arrows, changed by an arrow.
    QVERIFY(!tabTo(QStringLiteral("qt_tabwidget_tabbar")).isEmpty());
    press(Qt::Key_Right);
    QVERIFY(!tabTo(QStringLiteral("callforwardDropDown")).isEmpty());
    auto *forwarding = window.findChild<QComboBox *>(QStringLiteral("callforwardDropDown"));
    QTRY_VERIFY(forwarding->isEnabled() && forwarding->count() > 2);
    sim.clearReceived();
    const int before = forwarding->currentIndex();
    press(before + 1 < forwarding->count() ? Qt::Key_Down : Qt::Key_Up);
    QVERIFY2(forwarding->currentIndex() != before, qPrintable(QStringLiteral("%1 of %2").arg(before).arg(forwarding->count())));
    QTRY_COMPARE(sim.receivedCommands(QStringLiteral("setActiveForwardPreset")).size(), 1);
    // On through the phones and the queue one may leave (the other is fixed), as shown, to do-not-disturb.
    const QStringList rows = tabTo(QStringLiteral("checkBoxDNDStatus"));
    QVERIFY2(rows.mid(1, rows.size() - 2)
                 == (QStringList{QStringLiteral("pushButton"), QStringLiteral("pushButton"), QStringLiteral("checkBox")}),
             qPrintable(rows.join(QLatin1Char(' '))));
}

// An incoming call is an alert with the caller, the pop-up takes no focus, a new state is told.
void tst_Accessibility::callsAreAnnounced()
{
    QTRY_VERIFY2(QAccessible::isActive(), "no bridge to screen readers");
    QAccessible::installUpdateHandler(listen);
    heard.clear();
    CTIMainWindow window;
    window.onApplicationStartup();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window);
    endEveryCall(window);

    const QStringList calls = sim.calls().startIncomingCall(QStringLiteral("0711 5550123"), QStringLiteral("Jo"),
                                                            QStringLiteral("Lee"), QString(), QStringLiteral("demo"));
    QTRY_VERIFY(window.lineViews().contains(calls.value(0)));
    const auto told = [] {
        QStringList texts;
        for (const Heard &event : qAsConst(heard)) {
            // What a screen reader reads out as it appears: a notification shown.
            if (event.type == QAccessible::ObjectShow && event.role == QAccessible::Notification)
                texts << (event.description.isEmpty() ? event.name : event.name + QLatin1String(" | ") + event.description);
        }
        return texts;
    };
    QTRY_VERIFY(!told().isEmpty());
    QVERIFY2(told() == QStringList{QStringLiteral("Incoming call! | Lee, Jo, 0711 5550123")}, qPrintable(told().join('\n')));
    QCOMPARE(QApplication::activeWindow(), &window);

    // The call's view reads as it is now; answering is told as a change of its description.
    RunningLineView *view = window.lineViews().value(calls.value(0));
    QAccessibleInterface *call = QAccessible::queryAccessibleInterface(view);
    QCOMPARE(call->text(QAccessible::Name), QStringLiteral("Lee, Jo, 0711 5550123"));
    QVERIFY2(call->text(QAccessible::Description).startsWith(QLatin1String("incoming call, ringing")),
             qPrintable(call->text(QAccessible::Description)));
    heard.clear();
    QVERIFY(sim.calls().answerCall(calls.value(0)));
    QTRY_VERIFY(call->text(QAccessible::Description).startsWith(QLatin1String("connected, 00:00:0")));
    QVERIFY(std::any_of(heard.cbegin(), heard.cend(), [view](const Heard &event) {
        return event.type == QAccessible::DescriptionChanged && event.object == view;
    }));
    // Wherever the keyboard is, the new state and the end are read out.
    QTRY_COMPARE(told(), QStringList{QStringLiteral("Lee, Jo, 0711 5550123: connected")});
    sim.calls().endCall(calls.value(0));
    QTRY_COMPARE(told().value(1), QStringLiteral("Lee, Jo, 0711 5550123: call ended"));
    // A call the user starts is read out as it starts.
    heard.clear();
    CTIConnector::instance()->dialNumber(QStringLiteral("0711 5550199"));
    QTRY_COMPARE(told().value(0), QStringLiteral("0711 5550199: outgoing call, ringing"));
    endEveryCall(window);

    // A pop-up replacing one for the same caller is not told again; one for another caller is.
    heard.clear();
    QList<QPointer<RollOverPopUp>> popUps;
    for (const QString &caller : {QStringLiteral("Lee, Jo"), QStringLiteral("Lee, Jo"), QStringLiteral("Roe, Ann")}) {
        popUps << new RollOverPopUp;
        popUps.last()->setTitle(QStringLiteral("Incoming call!"));
        popUps.last()->setInnerTextLine1(caller);
        popUps.last()->rollIn(-1);
    }
    QCOMPARE(told(), (QStringList{QStringLiteral("Incoming call! | Lee, Jo"), QStringLiteral("Incoming call! | Roe, Ann")}));
    // Its labels are not offered again beside its description: the caller would be read twice.
    QCOMPARE(QAccessible::queryAccessibleInterface(popUps.first())->childCount(), 0);
    qDeleteAll(popUps);

    // A conversation reads as its two lines say, not as its bare date.
    auto *history = window.findChild<QAbstractItemView *>(QStringLiteral("treeView"));
    QTRY_VERIFY(history->model()->rowCount() > 0);
    const QRegularExpression added(QStringLiteral("^Jo Lee, 0711 5550123, incoming call, \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d, duration 00:01:00$"));
    QTRY_VERIFY(!history->model()->match(history->model()->index(0, 0), Qt::AccessibleTextRole, added, 1,
                                         Qt::MatchRegularExpression).isEmpty());
    QAccessible::installUpdateHandler(nullptr);
}

void tst_Accessibility::aScreenReaderFindsTheCall()
{
    CTIMainWindow window;
    window.onApplicationStartup();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    endEveryCall(window);
    const QStringList calls = sim.calls().startIncomingCall(QStringLiteral("0711 5550123"), QStringLiteral("Jo"),
                                                            QStringLiteral("Lee"), QString(), QStringLiteral("demo"));
    QTRY_VERIFY(window.lineViews().contains(calls.value(0)));

    // Read while this process answers: its event loop runs meanwhile.
    QProcess reader;
    reader.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    reader.start(QStringLiteral(TALVERO_ATSPI_TREE), {QString::number(QCoreApplication::applicationPid())});
    QTRY_VERIFY_WITH_TIMEOUT(reader.state() == QProcess::NotRunning, 60000);
    if (reader.exitCode() == 2)
        QSKIP("AT-SPI cannot be read here");
    QVERIFY2(reader.exitCode() != 1, "this program is not in the accessibility registry");
    QCOMPARE(reader.exitCode(), 0);
    const QString tree = QString::fromUtf8(reader.readAllStandardOutput());
    for (const QString &wanted : {QStringLiteral("|Number to dial|"), QStringLiteral("|Lee, Jo, 0711 5550123|incoming call, ringing")}) {
        if (!tree.contains(wanted))
            qWarning().noquote() << tree;
        QVERIFY2(tree.contains(wanted), qPrintable(wanted));
    }
    sim.calls().endCall(calls.value(0));
}

void tst_Accessibility::endEveryCall(CTIMainWindow &window)
{
    for (const QString &call : sim.calls().callIds())
        sim.calls().endCall(call);
    QTRY_VERIFY(window.lineViews().isEmpty());
}

void tst_Accessibility::cleanup()
{
    QAccessible::installUpdateHandler(nullptr);
    QCoreApplication::removeTranslator(&translator);
}

void tst_Accessibility::checkNames(QWidget *root, const QString &window)
{
    walk(QAccessible::queryAccessibleInterface(root), window, QString());
}

void tst_Accessibility::walk(QAccessibleInterface *node, const QString &window, const QString &path)
{
    if (!node || !node->isValid() || node->state().invisible)
        return;
    const QString here = path + QLatin1Char('/') + where(node);
    if (isInteractive(node)) {
        const QString name = node->text(QAccessible::Name).trimmed();
        if (name.isEmpty())
            problems << QStringLiteral("%1: %2 has no name").arg(window, here);
        // On Linux a box is read by its current entry: what it chooses must be said as well.
        if (node->role() == QAccessible::ComboBox && node->text(QAccessible::Description).isEmpty())
            problems << QStringLiteral("%1: %2 does not say what it chooses").arg(window, here);
        else if (!german)
            englishNames.insert(here, name);
        else if (englishNames.value(here) == name && isOurs(node) && !sameInGerman.contains(name))
            problems << QStringLiteral("%1: %2 \"%3\" is not translated").arg(window, here, name);
    }
    // The cells of a list are its rows' texts; the list itself must be named.
    const QAccessible::Role role = node->role();
    if (role == QAccessible::List || role == QAccessible::Table || role == QAccessible::Tree)
        return;
    for (int i = 0; i < node->childCount(); ++i)
        walk(node->child(i), window, here);
}

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"
