#include "configdialog.h"
#include "ui_configdialog.h"

#include "accessiblenames.h"
#include "buildinfo.h"
#include "click2dialcomponent.h"
#include "ctimainwindow.h"
#include "desktopkeynames.h"
#include "desktopsession.h"
#include "globalshortcut.h"
#include "gnomeshortcutwriter.h"
#include "cticonnector.h"
#include "log.h"
#include "paletteink.h"
#include "passwordstore.h"
#include "registry.h"
#include "settings.h"
#include "stickybuddylist.h"
#include "tellink.h"
#include "user.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QTextDocument>

namespace {
const QString logTag = QStringLiteral("cti");
constexpr int peerKeyRole = Qt::UserRole;
} // namespace

ConfigDialog::ConfigDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ConfigDialog)
    , m_launcher([](const QString &program, const QStringList &arguments) {
        return QProcess::startDetached(program, arguments);
    })
    , m_quitter([] { QCoreApplication::quit(); })
{
    ui->setupUi(this);
    for (QLabel *wrapped : {ui->clickToDialStatusLabel, ui->clickToDialCommandLabel})
        wrapped->installEventFilter(this);
    ui->versionLabel->setText(BuildInfo::version());
    ui->gitReferenceLabel->setText(BuildInfo::reference());
    ui->releaseDateLabel->setText(BuildInfo::releaseDate());
    ui->branchLabel->setText(BuildInfo::branch());
    // Read out by the captions beside them; the hot key's field is a line edit inside the editor.
    ui->listWidget->setAccessibleName(AccessibleNames::captionText(ui->buddiesHintLabel->text()));
    if (auto *field = ui->clickToDialHotKey->findChild<QLineEdit *>()) {
        field->setAccessibleName(AccessibleNames::captionText(ui->clickToDialHotKeyCaptionLabel->text()));
        field->setAccessibleDescription(ui->clickToDialHotKey->toolTip());
    }

    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(this, &QDialog::accepted, this, &ConfigDialog::onAccepted);

    // The dependent widgets follow their switches whether the user or a loaded value flips them.
    for (QAbstractButton *box : {static_cast<QAbstractButton *>(ui->stickyBuddyListEnabled),
                                 static_cast<QAbstractButton *>(ui->stickyBuddyListAutoPosition),
                                 static_cast<QAbstractButton *>(ui->stickyBuddyListHorizontal),
                                 static_cast<QAbstractButton *>(ui->stickyBuddyListHideOnMouseOver)})
        connect(box, &QAbstractButton::toggled, this, &ConfigDialog::updateEnabledStates);
    updateEnabledStates();
}

ConfigDialog::~ConfigDialog()
{
    delete ui;
}

bool ConfigDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
        if (auto *label = qobject_cast<QLabel *>(watched))
            fitWrapped(label);
    }
    return QDialog::eventFilter(watched, event);
}

void ConfigDialog::fitWrapped(QLabel *label)
{
    // A wrapped text takes more lines the narrower it is, and the tabs size their pages without
    // asking: the label claims the height its lines need at the width it has once it is shown
    // (before, its width is a guess, and a window does not shrink back after a guess too high).
    if (!label->isVisible())
        return;
    const int needed = label->text().isEmpty() ? 0 : label->heightForWidth(label->width());
    if (needed >= 0 && needed != label->minimumHeight())
        label->setMinimumHeight(needed);
}

void ConfigDialog::initialise()
{
    using Monitor = StickyBuddyList;
    Settings *settings = Settings::instance();
    ui->buddyListConfigWidget->setEnabled(settings->getValueForKey(Monitor::enabledSetting, Monitor::defaultEnabled).toBool());

    CTIConnector *connector = CTIConnector::instance();
    ui->usernameLabel->setText(connector->getCurrentUsername() + QLatin1Char('@') + connector->getCurrentHost());

    // With nothing stored the dialog shows what the monitor does.
    bindBoolKey(Monitor::enabledSetting, Monitor::defaultEnabled);
    bindBoolKey(Monitor::stayOnTopSetting, Monitor::defaultStayOnTop);
    bindBoolKey(Monitor::hideOnMouseOverSetting, Monitor::defaultHideOnMouseOver);
    bindBoolKey(Monitor::horizontalSetting, Monitor::defaultHorizontal);
    bindBoolKey(Monitor::autoPositionSetting, Monitor::defaultAutoPosition);
    bindIntKey(Monitor::hideMsSetting, Monitor::defaultHideMs, Monitor::minHideMs, Monitor::maxHideMs);
    bindIntKey(Monitor::screenSetting, Monitor::defaultScreen, 1, qMax(1, QGuiApplication::screens().size()));
    bindIntKey(Monitor::columnsSetting, Monitor::defaultColumns, 1, 100);
    bindIntKeyToSlider(Monitor::opacitySetting, Monitor::defaultOpacity, 100);
    bindIntKeyToRadioButtonGroup(Monitor::cornerSetting, Monitor::defaultCorner, 1);

    bindHotKey();

    connect(ui->forgetLoginDataPushButton, &QPushButton::clicked, this, &ConfigDialog::onForgetLoginDataButtonClick,
            Qt::UniqueConnection);
    fillPeers();
}

void ConfigDialog::bindBoolKey(const QString &key, bool defaultValue)
{
    auto *box = findChild<QCheckBox *>(key);
    if (!box) {
        Log::e(QStringLiteral("Could not set BOOL config for ") + key + QStringLiteral(" checkbox not found!"), logTag);
        return;
    }
    box->setChecked(Settings::instance()->getValueForKey(key, defaultValue).toBool());
    Settings::instance()->bindCheckBoxToSetting(box);
}

void ConfigDialog::bindIntKey(const QString &key, int defaultValue, int min, int max)
{
    auto *box = findChild<QSpinBox *>(key);
    if (!box) {
        Log::e(QStringLiteral("Could not set INT config for ") + key + QStringLiteral(" spinbox not found!"), logTag);
        return;
    }
    // Loaded while the form's range still applies: a stored value outside it is clipped on screen
    // only, nothing is written before the binding.
    box->setValue(Settings::instance()->getValueForKey(key, defaultValue).toInt());
    box->setMaximum(max);
    box->setMinimum(min);
    Settings::instance()->bindSpinBoxToSetting(box);
}

void ConfigDialog::bindIntKeyToSlider(const QString &key, int defaultValue, int max)
{
    auto *slider = findChild<QSlider *>(key);
    if (!slider) {
        Log::e(QStringLiteral("Could not set INT config for ") + key + QStringLiteral(" spinbox not found!"), logTag);
        return;
    }
    slider->setValue(Settings::instance()->getValueForKey(key, defaultValue).toInt());
    slider->setMaximum(max);
    Settings::instance()->bindSliderToSetting(slider);
}

void ConfigDialog::bindIntKeyToRadioButtonGroup(const QString &key, int defaultValue, int first)
{
    const int value = Settings::instance()->getValueForKey(key, defaultValue).toInt();
    for (int n = first;; ++n) {
        auto *button = findChild<QRadioButton *>(key + QLatin1Char('_') + QString::number(n));
        if (!button)
            break;
        // Loaded before bound; an unchecked button stores nothing, so initialising writes nothing.
        button->setChecked(n == value);
        Settings::instance()->bindRadioButtonToSetting(button);
    }
}

void ConfigDialog::bindHotKey()
{
    if (!m_clickToDial) {
        if (CTIMainWindow *window = Registry::instance()->getCTIMainWindow())
            m_clickToDial = window->clickToDial();
    }
    Settings *settings = Settings::instance();
    const QString key = Click2DialComponent::hotKeySetting;
    m_storedHotKey = settings->getValueForKey(key);
    ui->clickToDialHotKey->setKeySequence(Click2DialComponent::storedHotKey());
    connect(ui->clickToDialHotKey, &QKeySequenceEdit::editingFinished, this, &ConfigDialog::onHotKeyEdited,
            Qt::UniqueConnection);
    connect(ui->clickToDialAddShortcutButton, &QPushButton::clicked, this, &ConfigDialog::addDesktopShortcut,
            Qt::UniqueConnection);
    if (m_clickToDial) {
        connect(m_clickToDial, &Click2DialComponent::hotKeyStateChanged, this, &ConfigDialog::showHotKeyState,
                Qt::UniqueConnection);
    }
    // A key chosen here and then cancelled: the one stored before comes back, also when none
    // was stored yet (the snapshot keeps only keys that existed).
    connect(this, &QDialog::rejected, this, [this] {
        Settings *settings = Settings::instance();
        const QString key = Click2DialComponent::hotKeySetting;
        if (settings->getValueForKey(key) == m_storedHotKey)
            return;
        if (m_storedHotKey.isValid())
            settings->setValueForKey(key, m_storedHotKey);
        else
            settings->removeValueForKey(key);
    });
    showHotKeyState();
}

void ConfigDialog::onHotKeyEdited()
{
    const QKeySequence typed = ui->clickToDialHotKey->keySequence();
    const int combination = typed.isEmpty() ? 0 : typed[0];
    const int key = combination & ~int(Qt::KeyboardModifierMask);
    // A grabbed key is lost to every program: a plain letter or Backspace would break typing.
    const bool functionKey = key >= Qt::Key_F1 && key <= Qt::Key_F35;
    const bool held = combination & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (combination == 0 || !(held || functionKey)) {
        ui->clickToDialHotKey->setKeySequence(Click2DialComponent::storedHotKey());
        ui->clickToDialStatusLabel->setText(
            tr("Choose a combination with Ctrl, Alt or Meta, or a function key: other keys are needed for typing."));
        return;
    }
    // Only the first combination counts; the field shows what is used.
    const QKeySequence chosen(combination);
    ui->clickToDialHotKey->setKeySequence(chosen);
    Settings::instance()->setValueForKey(Click2DialComponent::hotKeySetting, chosen.toString(QKeySequence::PortableText));
    showHotKeyState();
}

void ConfigDialog::showHotKeyState()
{
    using Route = Click2DialComponent::Route;
    QString text;
    QString why;
    bool refused = false;
    bool command = false;
    bool canAdd = false;
    const Route route = m_clickToDial ? m_clickToDial->route()
                                      : (GlobalShortCut::isAvailable() ? Route::AskingDesktop : Route::Unavailable);
    const QString key = m_clickToDial ? m_clickToDial->hotKey().toString(QKeySequence::NativeText) : QString();
    switch (route) {
    case Route::Unavailable:
        text = tr("Click-to-dial is not available on this desktop.");
        break;
    case Route::X11HotKey:
        text = tr("X11 hot key: %1. Mark a number in any program and press the hot key to dial it.").arg(key);
        break;
    case Route::X11Taken:
        refused = true;
        text = tr("%1 is taken by another program. Choose another combination.").arg(key);
        break;
    case Route::NoHotKey:
        text = tr("No hot key is chosen.");
        break;
    case Route::AskingDesktop:
        text = m_clickToDial ? tr("Asking the desktop for the hot key…") : QString();
        break;
    case Route::DesktopHotKey:
        text = m_clickToDial->desktopTrigger().isEmpty()
            ? tr("Hot key from the desktop: none is assigned yet. Assign one in the desktop's keyboard settings.")
            : tr("Hot key from the desktop: %1. Mark a number in any program and press the hot key to dial it.")
                  .arg(m_clickToDial->desktopTrigger());
        break;
    case Route::DesktopShortcut:
        command = true;
        why = m_clickToDial->portalProblem();
        text = desktopShortcutText(&canAdd);
        break;
    }
    // Before the text that leads on to the command.
    if (!m_shortcutNote.isEmpty() && route == Route::DesktopShortcut)
        text = m_shortcutNote + QLatin1Char('\n') + text;
    ui->clickToDialStatusLabel->setText(text);
    ui->clickToDialStatusLabel->setToolTip(why);
    ui->clickToDialStatusLabel->setProperty("refused", refused);
    ui->clickToDialCommandLabel->setText(command ? Click2DialComponent::dialSelectionCommand() : QString());
    ui->clickToDialCommandLabel->setVisible(command);
    ui->clickToDialAddShortcutButton->setVisible(canAdd);
    fitWrapped(ui->clickToDialStatusLabel);
    fitWrapped(ui->clickToDialCommandLabel);
    // A refusal's red, readable on the theme's window ground.
    const QColor ink =
        PaletteInk::readableOn(QColor(0xc0, 0x39, 0x2b), ui->clickToDialStatusLabel->palette().color(QPalette::Window));
    ui->clickToDialStatusLabel->setStyleSheet(refused ? QStringLiteral("color: %1;").arg(ink.name()) : QString());
}

QString ConfigDialog::desktopShortcutText(bool *canAdd)
{
    switch (DesktopSession::desktop()) {
    case DesktopSession::Desktop::Gnome: {
        // Reading what the desktop has is no change to it; writing waits for the user's click.
        // Read once per dialog: each look runs the settings tool a few times.
        if (!m_gnome.read) {
            m_gnome.read = true;
            m_gnome.available = GnomeShortcutWriter::isAvailable();
            if (m_gnome.available)
                m_gnome.binding = GnomeShortcutWriter::bindingOf(Click2DialComponent::dialSelectionCommand());
        }
        if (!m_gnome.available)
            break;
        *canAdd = true;
        const QString &binding = m_gnome.binding;
        if (!binding.isEmpty()) {
            const QString key = binding == DesktopKeyNames::gtkAccelerator(m_clickToDial->hotKey())
                ? m_clickToDial->hotKey().toString(QKeySequence::NativeText)
                : binding;
            return tr("Desktop shortcut: %1 runs this command:").arg(key);
        }
        return tr("Desktop shortcut: run this command with a key of the desktop's. Add it to the keyboard "
                  "shortcuts with the hot key above:");
    }
    case DesktopSession::Desktop::Kde:
        return tr("Desktop shortcut: run this command with a key of the desktop's. Add it in System Settings, "
                  "Keyboard, Shortcuts (Add New, Command or Script):");
    case DesktopSession::Desktop::Xfce:
        return tr("Desktop shortcut: run this command with a key of the desktop's. Add it in Settings, Keyboard, "
                  "Application Shortcuts:");
    case DesktopSession::Desktop::Other:
        break;
    }
    return tr("Desktop shortcut: run this command with a key of the desktop's. Add it as a custom shortcut in "
              "the desktop's keyboard settings:");
}

void ConfigDialog::addDesktopShortcut()
{
    if (!m_clickToDial)
        return;
    const QKeySequence key = m_clickToDial->hotKey();
    const QString binding = DesktopKeyNames::gtkAccelerator(key);
    if (binding.isEmpty()) {
        m_shortcutNote = tr("Choose a hot key above first.");
    } else {
        const QString problem = GnomeShortcutWriter::add(tr("Dial the marked number (Talvero CTI Client)"),
                                                         Click2DialComponent::dialSelectionCommand(), binding);
        m_shortcutNote = problem.isEmpty() ? tr("Added: mark a number in any program and press %1 to dial it.")
                                                 .arg(key.toString(QKeySequence::NativeText))
                                           : tr("The shortcut could not be added: %1").arg(problem);
        // The writer read it back: what GNOME keeps now.
        if (problem.isEmpty())
            m_gnome.binding = binding;
    }
    showHotKeyState();
}

void ConfigDialog::fillPeers()
{
    ui->listWidget->clear();
    StickyBuddyList *monitor = Registry::instance()->getStickyBuddyList();
    if (!monitor)
        return;
    Settings *settings = Settings::instance();
    const QMap<QString, User *> peers = monitor->getPeersMap();
    for (auto it = peers.cbegin(); it != peers.cend(); ++it) {
        User *user = it.value();
        if (!user)
            continue;
        const QString settingKey = QStringLiteral("peers/") + user->id();
        // The monitor's text is plain: a name with "<" or "&" reads as typed.
        auto *item = new QListWidgetItem(monitor->getPeerText(it.key()), ui->listWidget);
        // Tool tips guess rich text from the content: as a paragraph of escaped text the name
        // always reads as typed.
        item->setToolTip(Qt::convertFromPlainText(user->getFullname(), Qt::WhiteSpaceNoWrap));
        item->setData(peerKeyRole, settingKey);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(settings->getValueForKey(settingKey, true).toBool() ? Qt::Checked : Qt::Unchecked);
    }
}

void ConfigDialog::onAccepted()
{
    QMap<QString, QVariant> values;
    for (int row = 0; row < ui->listWidget->count(); ++row) {
        const QListWidgetItem *item = ui->listWidget->item(row);
        values.insert(item->data(peerKeyRole).toString(), item->checkState() == Qt::Checked);
    }
    // One write and one redraw of the monitor for the whole list.
    if (!values.isEmpty())
        Settings::instance()->setValuesForKeys(values);
}

void ConfigDialog::onForgetLoginDataButtonClick()
{
    Settings *settings = Settings::instance();
    settings->rollBackToSnapShot();
    PasswordStore::instance()->clear();
    // The opener rolls back again when the dialog ends: the cleared password must survive that.
    settings->saveSnapshot();
    // Clicks already queued must not start a second instance.
    ui->forgetLoginDataPushButton->setEnabled(false);

    m_quitter();
    const QString program = QCoreApplication::applicationFilePath();
    if (!m_launcher(program, TelLink::withoutLinks(QCoreApplication::arguments().mid(1))))
        Log::w(QStringLiteral("could not start a new instance of ") + program, logTag);
}

void ConfigDialog::setLauncher(Launcher launcher)
{
    m_launcher = std::move(launcher);
}

void ConfigDialog::setQuitter(Quitter quitter)
{
    m_quitter = std::move(quitter);
}

void ConfigDialog::updateEnabledStates()
{
    ui->buddyListConfigWidget->setEnabled(ui->stickyBuddyListEnabled->isChecked());
    ui->stickyBuddyListHideMs->setEnabled(ui->stickyBuddyListHideOnMouseOver->isChecked());

    // "Automatic positioning" leaves the monitor where the user drags it; the corner and the
    // screen count only when the monitor places itself, that is with the box unchecked.
    const bool placedByMonitor = !ui->stickyBuddyListAutoPosition->isChecked();
    ui->buddyListDisplayCornerGroup->setEnabled(placedByMonitor);
    ui->stickyBuddyListScreen->setEnabled(placedByMonitor);

    // Rows run along a top or bottom edge, columns along a side: the middle of the other edges
    // has no room for them.
    const bool horizontal = ui->stickyBuddyListHorizontal->isChecked();
    ui->stickyBuddyListCorner_4->setEnabled(!horizontal);
    ui->stickyBuddyListCorner_8->setEnabled(!horizontal);
    ui->stickyBuddyListCorner_2->setEnabled(horizontal);
    ui->stickyBuddyListCorner_6->setEnabled(horizontal);
}
