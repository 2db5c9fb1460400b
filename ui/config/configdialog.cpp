#include "configdialog.h"
#include "ui_configdialog.h"

#include "accessiblenames.h"
#include "buildinfo.h"
#include "click2dialcomponent.h"
#include "ctimainwindow.h"
#include "globalshortcut.h"
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
    QString text;
    bool refused = false;
    if (!GlobalShortCut::isAvailable()) {
        text = tr("Click-to-dial is not available on this desktop.");
    } else if (m_clickToDial && m_clickToDial->hotKeyActive()) {
        text = tr("Mark a number in any program and press the hot key to dial it.");
    } else if (m_clickToDial && m_clickToDial->hotKey().isEmpty()) {
        text = tr("No hot key is chosen.");
    } else if (m_clickToDial) {
        refused = true;
        text = tr("%1 is taken by another program. Choose another combination.")
                   .arg(m_clickToDial->hotKey().toString(QKeySequence::NativeText));
    }
    ui->clickToDialStatusLabel->setText(text);
    ui->clickToDialStatusLabel->setProperty("refused", refused);
    // A refusal's red, readable on the theme's window ground.
    const QColor ink =
        PaletteInk::readableOn(QColor(0xc0, 0x39, 0x2b), ui->clickToDialStatusLabel->palette().color(QPalette::Window));
    ui->clickToDialStatusLabel->setStyleSheet(refused ? QStringLiteral("color: %1;").arg(ink.name()) : QString());
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
