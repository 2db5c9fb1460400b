#include "configtab_phone.h"
#include "ui_configtab_phone.h"

#include "iconcache.h"
#include "phone.h"

#include <QResizeEvent>
#include <QTextDocument>

namespace {
QPixmap lamp(const char *path)
{
    return IconCache::pixmap(QString::fromLatin1(path), QSize(15, 15));
}
}

ConfigTab_Phone::ConfigTab_Phone(Phone *phone, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ConfigTab_Phone)
    , m_phone(phone)
{
    ui->setupUi(this);
    connect(ui->pushButton, &QPushButton::clicked, this, &ConfigTab_Phone::buttonPressed);
    showModelName();
    m_answerTimer.setSingleShot(true);
    m_answerTimer.setInterval(answerTimeoutMs);
    connect(&m_answerTimer, &QTimer::timeout, this, &ConfigTab_Phone::onNoAnswer);
    updateButtonLabel();
}

ConfigTab_Phone::~ConfigTab_Phone()
{
    delete ui;
}

void ConfigTab_Phone::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    showModelName();
}

void ConfigTab_Phone::showModelName()
{
    if (!m_phone)
        return;
    // A long model name is shortened to the room beside the lamp and the button rather than
    // widening the main window; the tool tip has it whole.
    const QString name = m_phone->phoneModelName();
    const int spacing = layout()->spacing();
    const int room = width() - ui->statusLabel->width() - ui->pushButton->sizeHint().width() - 2 * spacing;
    const QString shown = ui->label->fontMetrics().elidedText(name, Qt::ElideRight, qMax(room, ui->label->minimumWidth()));
    ui->label->setText(shown);
    ui->label->setToolTip(shown == name ? QString() : Qt::convertFromPlainText(name, Qt::WhiteSpaceNoWrap));
}

void ConfigTab_Phone::updateButtonLabel()
{
    const bool assigned = m_phone && m_phone->isAssigned();
    ui->pushButton->setText(assigned ? tr("Logout") : tr("Login"));
    // Beside several phones a bare "Login" says not which.
    if (m_phone)
        ui->pushButton->setAccessibleDescription(assigned ? tr("Phone %1, logged in").arg(m_phone->phoneModelName())
                                                          : tr("Phone %1, logged out").arg(m_phone->phoneModelName()));
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
