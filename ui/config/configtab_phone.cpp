#include "configtab_phone.h"
#include "ui_configtab_phone.h"

#include "phone.h"

#include <QPixmap>

namespace {
QPixmap lamp(const char *path)
{
    return QPixmap(QString::fromLatin1(path)).scaled(15, 15, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}
}

ConfigTab_Phone::ConfigTab_Phone(Phone *phone, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ConfigTab_Phone)
    , m_phone(phone)
{
    ui->setupUi(this);
    connect(ui->pushButton, &QPushButton::clicked, this, &ConfigTab_Phone::buttonPressed);
    ui->label->setText(phone->phoneModelName());
    m_answerTimer.setSingleShot(true);
    m_answerTimer.setInterval(answerTimeoutMs);
    connect(&m_answerTimer, &QTimer::timeout, this, &ConfigTab_Phone::onNoAnswer);
    updateButtonLabel();
}

ConfigTab_Phone::~ConfigTab_Phone()
{
    delete ui;
}

void ConfigTab_Phone::updateButtonLabel()
{
    const bool assigned = m_phone && m_phone->isAssigned();
    ui->pushButton->setText(assigned ? tr("Logout") : tr("Login"));
    ui->statusLabel->setPixmap(lamp(assigned ? ":/images/led_green.png" : ":/images/led_red.png"));
}

void ConfigTab_Phone::buttonPressed()
{
    if (!m_phone)
        return;
    ui->pushButton->setText(tr("waiting..."));
    ui->pushButton->setEnabled(false);
    ui->pushButton->setToolTip(QString());
    m_answerTimer.start();
    if (m_phone->isAssigned())
        emit logoutPhone(m_phone->id());
    else
        emit loginPhone(m_phone->id());
}

void ConfigTab_Phone::phoneChanged()
{
    m_answerTimer.stop();
    ui->pushButton->setToolTip(QString());
    ui->pushButton->setEnabled(true);
    updateButtonLabel();
}

void ConfigTab_Phone::onNoAnswer()
{
    // The server never said: offered again as it was, and the user is told why.
    ui->pushButton->setEnabled(true);
    updateButtonLabel();
    ui->pushButton->setToolTip(tr("The server did not answer. Please try again."));
}
