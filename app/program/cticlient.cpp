#include "cticlient.h"

#include "click2dialcomponent.h"
#include "cticonnector.h"
#include "ctimainwindow.h"
#include "log.h"
#include "logindialog.h"
#include "tellink.h"
#include "wakewatcher.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTimer>
#include <QLocale>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>
#include <utility>

namespace {
const QString logTag = QStringLiteral("CTIClient");
const QString dialSelectionOption = QStringLiteral("--dial-selection");
const QString startupIdPrefix = QStringLiteral("--startup-id=");
}

CTIClient::CTIClient(QObject *parent)
    : QObject(parent)
{
}

CTIClient::~CTIClient()
{
    delete m_mainWindow;
}

QString CTIClient::translationNameFor(int language)
{
    switch (language) {
    case QLocale::German:
        return QStringLiteral("de_de");
    case QLocale::NorwegianBokmal:
        return QStringLiteral("no");
    case QLocale::Russian:
        return QStringLiteral("ru");
    default:
        return QString();
    }
}

void CTIClient::exec()
{
    setupTranslator();

    auto *dialog = new LoginDialog;
    m_loginDialog = dialog;
    CTIConnector *connector = CTIConnector::instance();
    connect(dialog, &LoginDialog::loginRequested, connector, &CTIConnector::login);
    connect(connector, &CTIConnector::loginSuccess, dialog, &LoginDialog::loginSuccess);
    connect(connector, &CTIConnector::loginFailed, dialog, &LoginDialog::loginFailed);
    connect(connector, &CTIConnector::connectFailed, dialog, &LoginDialog::connectFailed);
    connect(dialog, &LoginDialog::dialogFinishedWithSuccess, this, &CTIClient::onLoginSuccess);
    connect(dialog, &LoginDialog::dialogFinishedWithSuccess, dialog, &QObject::deleteLater);

    // After a suspend or a network change the link is checked at once, not when the keep-alive
    // finds it dead.
    auto *wake = new WakeWatcher(this);
    connect(wake, &WakeWatcher::linkCheckWanted, connector, &CTIConnector::checkLinkNow);
    wake->start();

    dialog->execute();
}

void CTIClient::setupTranslator()
{
    installTranslation(QLocale::system().language());
}

bool CTIClient::installTranslation(int language)
{
    const QString name = translationNameFor(language);
    auto *translator = new QTranslator(this);
    const bool loaded = translator->load(name, QStringLiteral(":/tr/"), QString(), QStringLiteral(".qm"));
    if (!loaded)
        qDebug().noquote() << QStringLiteral("could not load Translation file: ") + name + QStringLiteral(".qm!");
    // Installed either way: untranslated texts stay in English.
    QCoreApplication::installTranslator(translator);
    // Qt's own texts (OK, Cancel, a key editor's prompt) in the same language, where Qt's
    // translations are installed; without ours they would mix two languages.
    if (loaded) {
        auto *qtTranslator = new QTranslator(this);
        if (qtTranslator->load(QLocale(QLocale::Language(language)), QStringLiteral("qtbase"), QStringLiteral("_"),
                               QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(qtTranslator);
        else
            delete qtTranslator;
    }
    return loaded;
}

void CTIClient::onLoginSuccess()
{
    if (m_mainWindow)
        return;
    m_mainWindow = new CTIMainWindow;
    connect(m_mainWindow, &CTIMainWindow::applicationQuitRequest, this, &CTIClient::shutDownApplication);
    m_mainWindow->onApplicationStartup();
    m_mainWindow->show();
    for (const QString &number : std::exchange(m_pendingNumbers, QStringList()))
        m_mainWindow->clickToDial()->offerLink(number);
    if (std::exchange(m_dialSelectionPending, false))
        dialSelection();
}

void CTIClient::onLoginGiveup()
{
    if (m_dialSelectionPending) {
        Log::w(QStringLiteral("the marked number is not dialled: the login was given up"), logTag);
        std::fprintf(stderr, "%s\n",
                     qPrintable(tr("The marked number cannot be dialled without logging in.")));
    }
    shutDownApplication();
}

void CTIClient::shutDownApplication()
{
    if (m_mainWindow)
        m_mainWindow->onApplicationShutdown();
    QCoreApplication::quit();
}

QStringList CTIClient::dialSelectionRequest(const QByteArray &startupId)
{
    QStringList request{dialSelectionOption};
    if (!startupId.isEmpty())
        request << startupIdPrefix + QString::fromUtf8(startupId);
    return request;
}

void CTIClient::handleRequest(const QStringList &request)
{
    // Options are no links: a link names its scheme first.
    if (request.contains(dialSelectionOption)) {
        QByteArray startupId;
        for (const QString &item : request) {
            if (item.startsWith(startupIdPrefix))
                startupId = item.mid(startupIdPrefix.size()).toUtf8();
        }
        // The menu runs a loop of its own: not inside the hand-over's handler.
        QTimer::singleShot(0, this, [this, startupId] { dialSelection(startupId); });
        return;
    }
    if (request.isEmpty())
        showWindow();
    for (const QString &link : request)
        offerLink(link);
}

void CTIClient::dialSelection(const QByteArray &startupId)
{
    if (m_mainWindow) {
        m_mainWindow->clickToDial()->dialSelection(startupId);
        return;
    }
    Log::d(QStringLiteral("the marked number is offered after the login"), logTag);
    m_dialSelectionPending = true;
}

void CTIClient::offerLink(const QString &link)
{
    const QString number = TelLink::numberOf(link);
    if (number.isEmpty()) {
        Log::d(QStringLiteral("the link names no number to dial"), logTag);
        return;
    }
    if (m_mainWindow)
        m_mainWindow->clickToDial()->offerLink(number);
    else
        m_pendingNumbers << number;
}

void CTIClient::showWindow()
{
    QWidget *window = m_mainWindow;
    if (!window)
        window = m_loginDialog.data();
    // An automatic login in progress has no window to show yet.
    if (!window || (window == m_loginDialog && !window->isVisible()))
        return;
    if (window->isMinimized())
        window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}
