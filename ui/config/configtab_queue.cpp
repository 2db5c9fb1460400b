#include "configtab_queue.h"
#include "ui_configtab_queue.h"

#include "queue.h"

#include <QResizeEvent>
#include <QStyleOptionButton>
#include <QTextDocument>

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
    showText();
}

void ConfigTab_Queue::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    showText();
}

void ConfigTab_Queue::showText()
{
    if (!m_queue)
        return;
    // Shortened to the row's width like a phone's name; the tool tip has it whole.
    const QString text = QLatin1Char('<') + m_queue->getExtension() + QStringLiteral("> ") + m_queue->getName();
    QCheckBox *box = ui->checkBox;
    QStyleOptionButton option;
    option.initFrom(box);
    const int indicator = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box).left();
    const QString shown = box->fontMetrics().elidedText(text, Qt::ElideRight, qMax(width() - indicator - 4, 20));
    // As typed: an "&" in the server's name is no keyboard shortcut that joins or leaves the queue.
    box->setText(QString(shown).replace(QLatin1Char('&'), QLatin1String("&&")));
    box->setToolTip(shown == text ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap));
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
