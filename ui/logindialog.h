#pragma once

#include <QString>
#include <QWidget>

namespace Ui {
class LoginDialog;
}

//! First window: collects user, password and CTI host, hands them out by loginRequested
//! and shows the server's verdict. With a saved password it logs in without showing itself.
class LoginDialog final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(LoginDialog)

public:
    explicit LoginDialog(QWidget *parent = nullptr);
    ~LoginDialog() override;

public slots:
    void execute();
    void loginButtonClicked();
    void loginSuccess();
    void loginFailed();
    void connectFailed();
    void showError(const QString &message);

signals:
    void loginRequested(const QString &username, const QString &password, const QString &host);
    void dialogFinishedWithSuccess();

private:
    Ui::LoginDialog *ui;
    //! Written on success only when non-empty; set by a ticked "Save Login" or by auto-login.
    QString passwordToSave;
};
