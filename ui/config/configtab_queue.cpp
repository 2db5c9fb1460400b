#include "configtab_queue.h"
#include "ui_configtab_queue.h"

#include "queue.h"

ConfigTab_Queue::ConfigTab_Queue(Queue *queue, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ConfigTab_Queue)
    , m_queue(queue)
{
    ui->setupUi(this);
    connect(ui->checkBox, &QCheckBox::clicked, this, &ConfigTab_Queue::checkBoxClicked);
    updateCheckBox();
}

ConfigTab_Queue::~ConfigTab_Queue()
{
    delete ui;
}

void ConfigTab_Queue::updateCheckBox()
{
    if (!m_queue)
        return;
    if (m_queue->isStatic()) {
        ui->checkBox->setChecked(true);
        ui->checkBox->setEnabled(false);
    } else {
        ui->checkBox->setEnabled(true);
        ui->checkBox->setChecked(m_queue->loggedIn());
    }
    ui->checkBox->setText(QLatin1Char('<') + m_queue->getExtension() + QStringLiteral("> ") + m_queue->getName());
}

void ConfigTab_Queue::queueChanged()
{
    updateCheckBox();
}

void ConfigTab_Queue::checkBoxClicked(bool active)
{
    if (!m_queue)
        return;
    if (active)
        emit loginQueue(m_queue->id());
    else
        emit logoutQueue(m_queue->id());
}
