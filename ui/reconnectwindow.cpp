#include "reconnectwindow.h"
#include "ui_reconnectwindow.h"

#include "cticonnector.h"
#include "log.h"
#include "passwordstore.h"
#include "tellink.h"

#include <QCoreApplication>
#include <QHideEvent>
#include <QProcess>
#include <QShowEvent>
#include <QTimer>

namespace {
const QString logTag = QStringLiteral("ReconnectWindow");
}

ReconnectWindow::ReconnectWindow(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ReconnectWindow)
    , m_countdownTimer(new QTimer(this))
    , m_launcher([](const QString &program, const QStringList &arguments) {
        return QProcess::startDetached(program, arguments);
    })
    , m_quitter([] { QCoreApplication::quit(); })
{
    ui->setupUi(this);
    m_countdownTimer->setObjectName(QStringLiteral("countdownTimer"));
    m_countdownTimer->setInterval(countdownIntervalMs);

    CTIConnector *connector = CTIConnector::instance();
    connect(m_countdownTimer, &QTimer::timeout, this, &ReconnectWindow::updateCountdownProgress);
    connect(connector, &CTIConnector::reconnectFailed, this, &ReconnectWindow::reconnectFailed);
    connect(connector, &CTIConnector::reconnectSuccess, this, &ReconnectWindow::reconnectSuccess);
    connect(connector, &CTIConnector::loginFailed, this, &ReconnectWindow::loginFailed);
}

ReconnectWindow::~ReconnectWindow()
{
    delete ui;
}

void ReconnectWindow::startCountdown()
{
    m_remaining = countdownStart;
    m_countdownTimer->start();
    ui->reconnectButton->setEnabled(true);
}

void ReconnectWindow::stopCountdown()
{
    m_countdownTimer->stop();
}

void ReconnectWindow::updateCountdownProgress()
{
    --m_remaining;
    // Integer arithmetic truncates exactly where a floating quotient may land a hair below.
    ui->progressBar->setValue(100 - m_remaining * 100 / countdownStart);
    ui->label->setText(tr("Reconnect in: ") + QString::number(m_remaining) + QStringLiteral(" ") + tr("sec."));
    if (m_remaining <= 0)
        requestReconnect();
}

void ReconnectWindow::requestReconnect()
{
    stopCountdown();
    ui->progressBar->setValue(0);
    ui->label->setText(tr("reconnecting..."));
    ui->reconnectButton->setEnabled(false);
    m_awaitingResult = true;
    CTIConnector::instance()->reconnect();
}

void ReconnectWindow::reconnectFailed()
{
    m_awaitingResult = false;
    startCountdown();
}

void ReconnectWindow::reconnectSuccess()
{
    m_awaitingResult = false;
    hide();
}

void ReconnectWindow::loginFailed()
{
    // A refusal is not retried by counting down: the same credentials would be refused again.
    if (!m_awaitingResult)
        return;
    m_awaitingResult = false;
    stopCountdown();
    ui->progressBar->setValue(0);
    ui->label->setText(tr("Incorrect username or password"));
    ui->reconnectButton->setEnabled(true);
}

void ReconnectWindow::on_reconnectButton_clicked()
{
    requestReconnect();
}

void ReconnectWindow::on_logoutButton_clicked()
{
    // Gone from the file and the keyring before the process ends.
    PasswordStore::instance()->clear();
    stopCountdown();
    // Clicks already queued must not start a second instance.
    ui->logoutButton->setEnabled(false);

    m_quitter();
    // The absolute path, so a start through a relative path from another directory still works.
    const QString program = QCoreApplication::applicationFilePath();
    const QStringList arguments = TelLink::withoutLinks(QCoreApplication::arguments().mid(1));
    if (!m_launcher(program, arguments))
        Log::w(QStringLiteral("could not start a new instance of ") + program, logTag);
}

void ReconnectWindow::setLauncher(Launcher launcher)
{
    m_launcher = std::move(launcher);
}

void ReconnectWindow::setQuitter(Quitter quitter)
{
    m_quitter = std::move(quitter);
}

void ReconnectWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The window system's own show and hide (restoring, minimising) leave the countdown alone.
    if (!event->spontaneous())
        startCountdown();
}

void ReconnectWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        stopCountdown();
}
