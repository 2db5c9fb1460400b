#include "cticonnector.h"
#include "connectedsimulator.h"
#include "scenario.h"
#include "simhistory.h"
#include "windowtour.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyleOption>
#include <QTabBar>
#include <QTextDocument>
#include <QToolTip>
#include <QTranslator>
#include <QtTest>

// Every window with long German names, long companies and full-length international numbers, at
// the font in use: a text that does not fit is either elided with a tool tip that shows it in
// full, or it is a fault. A phone number is never elided.
class tst_NothingCut : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyWindow_data();
    void everyWindow();
    void cleanup();

private:
    void check(QWidget *root, const QString &window);

    // A test run at another scale factor runs beside this one: each has its own address.
    ConnectedSimulator sim{qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? "127.0.0.121" : "127.0.0.120"};
    QStringList problems;
    QTranslator translator;
    QFont desktopFont;
};

namespace {
const QString longNumber = QStringLiteral("+49 711 1234567-890");
const QString longCompany = QStringLiteral("Internationale Speditions- und Logistikgesellschaft <mbH> & Co. KG");

bool looksLikeANumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^\\+?[0-9][0-9 ()/-]{4,}$"));
    return number.match(text.trimmed()).hasMatch();
}

QString describe(const QWidget *widget)
{
    QStringList path;
    for (const QWidget *w = widget; w && !w->isWindow(); w = w->parentWidget()) {
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_"))) {
            path.prepend(w->objectName());
            break;
        }
    }
    return (path.isEmpty() ? QString() : path.join('/') + QLatin1Char(' ')) + QLatin1String(widget->metaObject()->className());
}

//! The width a tab needs for its text, measured as the bar measures it.
int tabNeeds(const QTabBar *tabs, int index)
{
    QStyleOptionTab option;
    option.initFrom(tabs);
    option.text = tabs->tabText(index);
    option.shape = tabs->shape();
    const int frame = tabs->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, &option, tabs);
    const QSize text(tabs->fontMetrics().size(Qt::TextShowMnemonic, option.text).width() + frame,
                     tabs->fontMetrics().height());
    return tabs->style()->sizeFromContents(QStyle::CT_TabBarTab, &option, text, tabs).width();
}

//! The width a button has for its text, beside its icon and inside the style's margins.
int textRoom(QAbstractButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    int beside = 0;
    if (qobject_cast<QCheckBox *>(button)) {
        contents = QStyle::SE_CheckBoxContents;
    } else if (qobject_cast<QRadioButton *>(button)) {
        contents = QStyle::SE_RadioButtonContents;
    } else if (!qobject_cast<QPushButton *>(button)) {
        return button->width() - (button->sizeHint().width() - button->fontMetrics().horizontalAdvance(button->text()));
    } else if (!button->icon().isNull()) {
        beside = button->iconSize().width() + 4;
    }
    return button->style()->subElementRect(contents, &option, button).width() - beside;
}

//! The tool tip an item view would show over that index, or nothing.
QString toolTipOver(QAbstractItemView *view, const QModelIndex &index, const QStyleOptionViewItem &option)
{
    // hideText() fades out: the last tip would still be there. An empty one goes at once.
    QToolTip::showText(QPoint(), QString());
    const QRect rect = view->visualRect(index);
    QHelpEvent event(QEvent::ToolTip, rect.center(), view->viewport()->mapToGlobal(rect.center()));
    view->itemDelegate(index)->helpEvent(&event, view, option, index);
    const QString text = QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::showText(QPoint(), QString());
    return text;
}
}

void tst_NothingCut::initTestCase()
{
    Scenario scenario;
    QString error;
    QVERIFY2(scenario.loadFile(QStringLiteral(TALVERO_TEST_DATA "/looks.json"), &error), qPrintable(error));
    sim.setScenario(scenario);
    sim.logIn();
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < 20; ++i) {
        sim.history().addItem(QStringLiteral("demo"),
                              {{"callid", QStringLiteral("h%1").arg(i)}, {"remote_number", longNumber},
                               {"firstname", "Anna-Katharina"}, {"lastname", "Schwarzenberger"},
                               {"company", longCompany},
                               {"timestamp", SimHistory::timestamp(now.addSecs(-3600 * i))},
                               {"duration", 36000 + i}, {"state", 7 + i % 2}, {"direction", 1 + i % 2}});
    }
}

void tst_NothingCut::everyWindow_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("fontDelta"); // points over the desktop's font
    QTest::newRow("English") << QString() << 0;
    QTest::newRow("German") << QStringLiteral("de_de") << 0;
    QTest::newRow("English, larger font") << QString() << 2;
    QTest::newRow("German, larger font") << QStringLiteral("de_de") << 2;
}

void tst_NothingCut::everyWindow()
{
    QFETCH(QString, language);
    QFETCH(int, fontDelta);
    if (!language.isEmpty()) {
        QVERIFY(translator.load(language, QStringLiteral(":/tr/"), QString(), QStringLiteral(".qm")));
        QCoreApplication::installTranslator(&translator);
    }
    desktopFont = QApplication::font();
    QFont font = desktopFont;
    font.setPointSizeF(font.pointSizeF() + fontDelta);
    QApplication::setFont(font);
    problems.clear();

    // Longer than the history's rows are made for: the window widens for the call.
    const WindowTour::Caller caller{longNumber + QStringLiteral("1234 5678 9012"), QStringLiteral("Anna-Katharina"),
                                    QStringLiteral("Schwarzenberger"), longCompany};
    WindowTour tour(sim, [this](QWidget *window, const QString &name) { check(window, name); });
    const QString missing = tour.run(caller, QStringLiteral("1-c1"), 29, 2);
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("waited in vain for ") + missing));
    problems.removeDuplicates();
    for (const QString &problem : qAsConst(problems))
        qWarning().noquote() << "cut:" << problem;
    QVERIFY2(problems.isEmpty(), qPrintable(QStringLiteral("%1 texts cut").arg(problems.size())));
}

void tst_NothingCut::cleanup()
{
    QApplication::setFont(desktopFont);
    QCoreApplication::removeTranslator(&translator);
}

void tst_NothingCut::check(QWidget *root, const QString &window)
{
    // Painted, as what elides does so when painted; kept for a look where asked for.
    const QPixmap shot = root->grab();
    const QString shots = qEnvironmentVariable("TALVERO_LOOKS_DIR");
    if (!shots.isEmpty())
        shot.save(QStringLiteral("%1/%2 %3.png").arg(shots, QTest::currentDataTag(), window));
    const auto cut = [&](const QWidget *widget, const QString &text) {
        problems << window + QLatin1String(": ") + describe(widget) + QLatin1String(" \"") + text + QLatin1Char('"');
    };
    // An elided text must show in full in a tool tip; a number must not be elided at all.
    const auto elidedOrCut = [&](const QWidget *widget, const QString &text, const QString &toolTip) {
        // The tool tip shows the whole text as typed (rich text, so escaped).
        QTextDocument shown;
        shown.setHtml(toolTip);
        const QString whole = shown.toPlainText();
        const bool full = text.endsWith(QChar(0x2026)) ? whole.startsWith(text.chopped(1)) : whole == text;
        if (toolTip.isEmpty() || !full || looksLikeANumber(text))
            cut(widget, text);
    };
    // Every window whole on its screen: lamps or fields past its edge are out of reach. (A
    // pop-up slides in and out past the edge.)
    const QWidget *top = root->window();
    const QScreen *screen = top->screen();
    if (window != QLatin1String("pop-up") && screen && !screen->availableGeometry().contains(top->frameGeometry())) {
        problems << window + QStringLiteral(": off the screen at %1,%2 %3x%4")
                                 .arg(top->frameGeometry().x()).arg(top->frameGeometry().y())
                                 .arg(top->frameGeometry().width()).arg(top->frameGeometry().height());
    }
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *widget : qAsConst(widgets)) {
        if (!widget->isVisible() || widget->size().isEmpty())
            continue;
        // What of it its parents let show: a scroll area's content can be wider than its view.
        // One scrolled out of sight is seen when scrolled to.
        const QRect shown = widget->visibleRegion().boundingRect();
        const int shownWidth = shown.isEmpty() ? widget->width() : shown.width();
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            if (label->text().isEmpty())
                continue;
            // A wrapping label still cuts a word longer than its width (an address, a link).
            const bool fits = label->wordWrap() ? label->heightForWidth(shownWidth) <= label->height()
                                                      && label->minimumSizeHint().width() <= shownWidth
                                                : label->sizeHint().width() <= shownWidth;
            if (!fits)
                elidedOrCut(label, label->text(), label->toolTip());
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            const int room = textRoom(button) - (button->width() - shownWidth);
            if (!button->text().isEmpty() && room < button->fontMetrics().horizontalAdvance(button->text()))
                elidedOrCut(button, button->text(), button->toolTip());
        } else if (auto *box = qobject_cast<QGroupBox *>(widget)) {
            if (box->minimumSizeHint().width() > box->width())
                cut(box, box->title());
        } else if (auto *tabs = qobject_cast<QTabBar *>(widget)) {
            for (int i = 0; i < tabs->count(); ++i) {
                // A tab behind the bar's scroll buttons shows no "…": cut, whatever its tool tip.
                if (!tabs->rect().contains(tabs->tabRect(i)))
                    cut(tabs, tabs->tabText(i));
                else if (tabs->tabRect(i).width() < tabNeeds(tabs, i))
                    elidedOrCut(tabs, tabs->tabText(i), tabs->tabToolTip(i));
            }
        } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
            QStyleOptionComboBox option;
            option.initFrom(combo);
            const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                               QStyle::SC_ComboBoxEditField, combo);
            if (combo->fontMetrics().horizontalAdvance(combo->currentText()) > field.width())
                elidedOrCut(combo, combo->currentText(), combo->toolTip());
        } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            // A field the user types in scrolls; one that only shows must show it all.
            const int room = edit->contentsRect().width() - 2 * 2 - edit->textMargins().left() - edit->textMargins().right();
            if (edit->isReadOnly() && edit->fontMetrics().horizontalAdvance(edit->text()) > room)
                cut(edit, edit->text());
        } else if (auto *header = qobject_cast<QHeaderView *>(widget)) {
            for (int section = 0; section < header->count(); ++section) {
                if (header->isSectionHidden(section) || header->sectionSize(section) == 0)
                    continue;
                const int size = header->sectionSize(section);
                const int need = header->sectionSizeHint(section);
                if (need > size)
                    cut(header, header->model()->headerData(section, header->orientation()).toString()
                                    + QStringLiteral("\" needs %1, has %2").arg(need).arg(size));
            }
        } else if (auto *view = qobject_cast<QAbstractItemView *>(widget)) {
            const QAbstractItemModel *model = view->model();
            if (!model)
                continue;
            const QRect shown = view->viewport()->rect();
            for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
                for (int column = 0; column < model->columnCount(view->rootIndex()); ++column) {
                    const QModelIndex index = model->index(row, column, view->rootIndex());
                    const QRect rect = view->visualRect(index);
                    if (rect.isEmpty() || !shown.intersects(rect))
                        continue;
                    if (rect.right() > shown.right()) { // beyond the view's edge, to be scrolled to
                        cut(view, index.data().toString());
                        continue;
                    }
                    QStyleOptionViewItem option;
                    option.initFrom(view->viewport());
                    option.font = view->font();
                    option.fontMetrics = view->fontMetrics();
                    option.rect = rect;
                    option.features |= QStyleOptionViewItem::HasDisplay;
                    if (view->itemDelegate(index)->sizeHint(option, index).width() <= rect.width())
                        continue;
                    const QString tip = toolTipOver(view, index, option);
                    if (tip.isEmpty() || looksLikeANumber(index.data().toString()))
                        cut(view, index.data().toString());
                }
            }
        }
    }
}

QTEST_MAIN(tst_NothingCut)
#include "tst_nothingcut.moc"
