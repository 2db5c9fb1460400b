#include "cticlient.h"

#include "cticonnector.h"
#include "ctimainwindow.h"
#include "logindialog.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLocale>
#include <QTranslator>

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
    CTIConnector *connector = CTIConnector::instance();
    connect(dialog, &LoginDialog::loginRequested, connector, &CTIConnector::login);
    connect(connector, &CTIConnector::loginSuccess, dialog, &LoginDialog::loginSuccess);
    connect(connector, &CTIConnector::loginFailed, dialog, &LoginDialog::loginFailed);
    connect(connector, &CTIConnector::connectFailed, dialog, &LoginDialog::connectFailed);
    connect(dialog, &LoginDialog::dialogFinishedWithSuccess, this, &CTIClient::onLoginSuccess);
    connect(dialog, &LoginDialog::dialogFinishedWithSuccess, dialog, &QObject::deleteLater);
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
}

void CTIClient::onLoginGiveup()
{
    shutDownApplication();
}

void CTIClient::shutDownApplication()
{
    if (m_mainWindow)
        m_mainWindow->onApplicationShutdown();
    QCoreApplication::quit();
}
