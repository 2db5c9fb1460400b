#include "configtab.h"
#include "ui_configtab.h"

#include "accessiblenames.h"
#include "configdialog.h"
#include "configtab_phone.h"
#include "configtab_queue.h"
#include "cticonnector.h"
#include "forwardpreset.h"
#include "iconcache.h"
#include "phone.h"
#include "queue.h"
#include "settings.h"

#include <QAbstractButton>

ConfigTab::ConfigTab(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ConfigTab)
{
    ui->setupUi(this);
    AccessibleNames::fromToolTips(this);
    ui->advancedConfigButton->setIcon(IconCache::glyph(QStringLiteral(":/images/configure.png")));
    ui->advancedConfigButton->setAttribute(Qt::WA_MacShowFocusRect, false);
    // The form's least width fits the English text only.
    ui->advancedConfigButton->setMinimumWidth(ui->advancedConfigButton->sizeHint().width());
    m_noPresetText = ui->callforwardDropDown->itemText(0);
    connect(ui->advancedConfigButton, &QPushButton::clicked, this, &ConfigTab::onAdvancedConfigButtonClicked);
    connect(ui->callforwardDropDown, QOverload<int>::of(&QComboBox::activated), this,
            &ConfigTab::onCallForwardDropDownActivated);
    connect(ui->checkBoxDNDStatus, &QCheckBox::toggled, this, [this](bool on) { dndCheckboxToggled(on); });

    CTIConnector *connector = CTIConnector::instance();
    connect(connector, &CTIConnector::forwardPresetAdded, this, &ConfigTab::forwardPresetAdded);
    connect(connector, &CTIConnector::activeForwardPresetChanged, this, &ConfigTab::activeForwardPresetChanged);
    connect(connector, &CTIConnector::phoneAdded, this, &ConfigTab::phoneAdded);
    connect(connector, &CTIConnector::phoneChanged, this, &ConfigTab::phoneChanged);
    connect(connector, &CTIConnector::queueAdded, this, &ConfigTab::queueAdded);
    connect(connector, &CTIConnector::queueChanged, this, &ConfigTab::queueChanged);
    connect(connector, &CTIConnector::dndStatusChanged, this, &ConfigTab::onDNDStatusChanged);
    connect(connector, &CTIConnector::forwardPresetRemoved, this, &ConfigTab::forwardPresetRemoved);
    connect(connector, &CTIConnector::phoneRemoved, this, &ConfigTab::phoneRemoved);
    connect(connector, &CTIConnector::queueRemoved, this, &ConfigTab::queueRemoved);
}

ConfigTab::~ConfigTab()
{
    delete ui;
}

void ConfigTab::initialise()
{
    CTIConnector::instance()->requestPhoneConfig();
}

void ConfigTab::forwardPresetAdded(ForwardPreset *preset)
{
    QComboBox *dropDown = ui->callforwardDropDown;
    if (!dropDown->isEnabled()) {
        dropDown->setEnabled(true);
        dropDown->removeItem(0);
    }
    // The preset itself is freed with the next configuration: its name and id are copied. A
    // configuration sent again lists the same presets again: one item each.
    const int known = dropDown->findData(preset->id(), Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (known >= 0 && !preset->id().isEmpty())
        dropDown->setItemText(known, preset->presetName());
    else
        dropDown->addItem(preset->presetName(), preset->id());
}

void ConfigTab::forwardPresetRemoved(const QString &presetId)
{
    QComboBox *dropDown = ui->callforwardDropDown;
    if (!dropDown->isEnabled())
        return;
    const int index = dropDown->findData(presetId, Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        return;
    // Taking items out sends nothing: only a choice of the user's does.
    dropDown->removeItem(index);
    if (dropDown->count() == 0) {
        dropDown->addItem(m_noPresetText);
        dropDown->setEnabled(false);
    }
}

void ConfigTab::activeForwardPresetChanged(const QString &presetId)
{
    const int index = ui->callforwardDropDown->findData(presetId, Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0 && !presetId.isEmpty())
        ui->callforwardDropDown->setCurrentIndex(index);
}

void ConfigTab::onCallForwardDropDownActivated(int index)
{
    const QString presetId = ui->callforwardDropDown->itemData(index).toString();
    if (!presetId.isEmpty())
        CTIConnector::instance()->setActiveForwardPreset(presetId);
}

void ConfigTab::onDNDStatusChanged(const bool &dndIsActivated)
{
    ui->checkBoxDNDStatus->setChecked(dndIsActivated);
}

void ConfigTab::dndCheckboxToggled(const bool &dndIsActive)
{
    if (dndIsActive)
        CTIConnector::instance()->setDndOn();
    else
        CTIConnector::instance()->setDndOff();
}

void ConfigTab::phoneAdded(Phone *phone)
{
    // Without an id a phone cannot be logged in or out: no row. A configuration sent again
    // announces the same phones again: one row each.
    if (!phone || phone->id().isEmpty())
        return;
    if (m_phoneRows.contains(phone->id())) {
        phoneChanged(phone);
        return;
    }
    ui->phonesGroupBoxPlaceHolderLabel->hide();
    auto *row = new ConfigTab_Phone(phone, ui->phonesGroupBox);
    connect(row, &ConfigTab_Phone::loginPhone, this, &ConfigTab::loginPhone);
    connect(row, &ConfigTab_Phone::logoutPhone, this, &ConfigTab::logoutPhone);
    row->setObjectName(phone->id());
    m_phoneRows.insert(phone->id(), row);
    // Tab goes through the rows in the order they are shown, the phones after the forwarding.
    QWidget::setTabOrder(lastRow(ui->phonesLayout, ui->callforwardDropDown), row->findChild<QAbstractButton *>());
    ui->phonesLayout->addWidget(row);
}

QWidget *ConfigTab::lastRow(QLayout *rows, QWidget *otherwise)
{
    for (int i = rows->count() - 1; i >= 0; --i) {
        QWidget *row = rows->itemAt(i)->widget();
        if (qobject_cast<ConfigTab_Phone *>(row) || qobject_cast<ConfigTab_Queue *>(row))
            return row->findChild<QAbstractButton *>();
    }
    return otherwise;
}

void ConfigTab::phoneChanged(Phone *phone)
{
    // By id in a map: a look-up by object name would take an empty id for any row, and end
    // another phone's wait without its answer.
    if (ConfigTab_Phone *row = phone ? m_phoneRows.value(phone->id()) : nullptr)
        row->phoneChanged();
}

void ConfigTab::phoneRemoved(Phone *phone)
{
    delete m_phoneRows.take(phone->id());
    ui->phonesGroupBoxPlaceHolderLabel->setVisible(m_phoneRows.isEmpty());
}

void ConfigTab::loginPhone(const QString &phoneId)
{
    CTIConnector::instance()->loginPhone(phoneId);
}

void ConfigTab::logoutPhone(const QString &phoneId)
{
    CTIConnector::instance()->logoutPhone(phoneId);
}

void ConfigTab::queueAdded(Queue *queue)
{
    if (!queue || queue->id().isEmpty())
        return;
    if (m_queueRows.contains(queue->id())) {
        queueChanged(queue);
        return;
    }
    ui->queuesGroupBoxPlaceHolderLabel->hide();
    auto *row = new ConfigTab_Queue(queue, ui->queuesGroupBox);
    connect(row, &ConfigTab_Queue::loginQueue, this, &ConfigTab::loginQueue);
    connect(row, &ConfigTab_Queue::logoutQueue, this, &ConfigTab::logoutQueue);
    row->setObjectName(queue->id());
    m_queueRows.insert(queue->id(), row);
    QWidget::setTabOrder(lastRow(ui->queuesLayout, lastRow(ui->phonesLayout, ui->callforwardDropDown)),
                         row->findChild<QAbstractButton *>());
    ui->queuesLayout->addWidget(row);
}

void ConfigTab::queueChanged(Queue *queue)
{
    if (ConfigTab_Queue *row = queue ? m_queueRows.value(queue->id()) : nullptr)
        row->queueChanged();
}

void ConfigTab::queueRemoved(Queue *queue)
{
    delete m_queueRows.take(queue->id());
    ui->queuesGroupBoxPlaceHolderLabel->setVisible(m_queueRows.isEmpty());
}

void ConfigTab::loginQueue(const QString &queueId)
{
    CTIConnector::instance()->loginQueue(queueId);
}

void ConfigTab::logoutQueue(const QString &queueId)
{
    CTIConnector::instance()->logoutQueue(queueId);
}

void ConfigTab::onAdvancedConfigButtonClicked()
{
    auto *dialog = new ConfigDialog;
    dialog->initialise();
    Settings *settings = Settings::instance();
    settings->saveSnapshot();
    if (dialog->exec() == QDialog::Rejected)
        settings->rollBackToSnapShot();
    delete dialog;
}
