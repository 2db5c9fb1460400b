#include "logindialog.h"
#include "ui_logindialog.h"

#include "passwordstore.h"
#include "settings.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLineEdit>
#include <QPalette>
#include <QScreen>

namespace {
const QString lastUsernameKey = QStringLiteral("loginDialog/lastUsername");
const QString lastHostKey = QStringLiteral("loginDialog/lastHost");
const QString errorStyleSheet = QStringLiteral(
    "background-color: #fdf7f7;border-style: outset;border-width: 1px;border-color: #d9534f;");
//! The error ground is light in every theme: what is typed on it stays dark.
const QColor errorInk(0x26, 0x32, 0x38);

void markError(QLineEdit *edit)
{
    // Polishing with a style sheet rewrites the palette: polish first, then ink the text.
    edit->setStyleSheet(errorStyleSheet);
    edit->ensurePolished();
    QPalette palette = edit->palette();
    palette.setColor(QPalette::All, QPalette::Text, errorInk);
    edit->setPalette(palette);
}

QString storedString(const QString &key)
{
    return Settings::instance()->getValueForKey(key, QString()).toString();
}
}

LoginDialog::LoginDialog(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::LoginDialog)
{
    ui->setupUi(this);
    ui->messageLabel->hide();
    ui->messageLabel->setWordWrap(true);
    // Server and user texts must never be taken for markup.
    ui->messageLabel->setTextFormat(Qt::PlainText);

    setWindowIcon(QIcon(QStringLiteral(":/images/appicon.png")));
    setWindowTitle(tr("Talvero CTI Client - Login"));

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move((area.width() - width()) / 2, (area.height() - height()) / 2);
    }

    connect(ui->loginButton, &QPushButton::clicked, this, &LoginDialog::loginButtonClicked);
    connect(ui->usernameLineEdit, &QLineEdit::returnPressed, this, &LoginDialog::loginButtonClicked);
    connect(ui->passwordLineEdit, &QLineEdit::returnPressed, this, &LoginDialog::loginButtonClicked);
    connect(ui->hostLineEdit, &QLineEdit::returnPressed, this, &LoginDialog::loginButtonClicked);
}

LoginDialog::~LoginDialog()
{
    delete ui;
}

void LoginDialog::execute()
{
    PasswordStore::instance()->read(this, [this](const QString &password) {
        if (password.isEmpty()) {
            show();
            return;
        }
        // Auto-login stays hidden; the window only appears if the server turns it down.
        passwordToSave = password;
        emit loginRequested(storedString(lastUsernameKey), password, storedString(lastHostKey));
    });
}

void LoginDialog::loginButtonClicked()
{
    const QString username = ui->usernameLineEdit->text();
    const QString password = ui->passwordLineEdit->text();
    const QString host = ui->hostLineEdit->text();

    if (username.isEmpty()) {
        showError(tr("Username is empty!"));
        return;
    }
    if (password.isEmpty()) {
        showError(tr("Password is empty!"));
        return;
    }
    if (host.isEmpty()) {
        showError(tr("Host is empty!"));
        return;
    }

    Settings *settings = Settings::instance();
    settings->setValueForKey(lastUsernameKey, username);
    settings->setValueForKey(lastHostKey, host);

    if (ui->saveLoginCheckBox->isChecked())
        passwordToSave = password;
    else
        passwordToSave.clear();

    emit loginRequested(username, password, host);
}

void LoginDialog::loginSuccess()
{
    close();
    // An unticked box never removes a password saved earlier.
    // Saving again after an auto-login moves a password still in the settings file to the keyring.
    if (!passwordToSave.isEmpty())
        PasswordStore::instance()->save(passwordToSave);
    emit dialogFinishedWithSuccess();
}

void LoginDialog::loginFailed()
{
    showError(tr("Incorrect username or password"));

    markError(ui->usernameLineEdit);
    QPalette palette = ui->usernameLineEdit->palette();
    palette.setBrush(QPalette::All, QPalette::Base, QBrush(Qt::red, Qt::SolidPattern));
    ui->usernameLineEdit->setPalette(palette);
    ui->usernameLineEdit->setFrame(false);
    markError(ui->passwordLineEdit);

    show();
}

void LoginDialog::connectFailed()
{
    markError(ui->hostLineEdit);
    showError(tr("Can't connect to host"));
    ui->hostLineEdit->setFocus(Qt::OtherFocusReason);
    show();
}

void LoginDialog::showError(const QString &message)
{
    ui->messageLabel->setText(message);
    ui->messageLabel->show();
}
