#include "cticonnector.h"
#include "pbxsimulator.h"
#include "scenario.h"
#include "simhistory.h"
#include "windowtour.h"

#include <QAccessible>
#include <QApplication>
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
    void cleanup();

private:
    void checkNames(QWidget *root, const QString &window);
    void walk(QAccessibleInterface *node, const QString &window, const QString &path);

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

void tst_Accessibility::cleanup()
{
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
