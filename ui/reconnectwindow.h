#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

class QTimer;

namespace Ui {
class ReconnectWindow;
}

//! Shown by the main window once the connection is lost for good: counts down a minute, then asks
//! the connector to reconnect. The user may reconnect at once, or give up this server, which
//! forgets the saved password and restarts the application with its login dialog.
class ReconnectWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(ReconnectWindow)

public:
    static constexpr int countdownIntervalMs = 1000;
    static constexpr int countdownStart = 60;

    //! Starts the replacement instance; answers whether it started.
    using Launcher = std::function<bool(const QString &program, const QStringList &arguments)>;
    //! Asks the running instance to end.
    using Quitter = std::function<void()>;

    explicit ReconnectWindow(QWidget *parent = nullptr);
    ~ReconnectWindow() override;

    void startCountdown();
    void stopCountdown();
    void requestReconnect();

    //! By default a detached QProcess.
    void setLauncher(Launcher launcher);
    //! By default QCoreApplication::quit().
    void setQuitter(Quitter quitter);

public slots:
    void updateCountdownProgress();
    void reconnectFailed();
    void reconnectSuccess();
    //! The server refused the stored credentials in answer to our reconnection.
    void loginFailed();
    void on_reconnectButton_clicked();
    void on_logoutButton_clicked();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    Ui::ReconnectWindow *ui;
    QTimer *m_countdownTimer;
    int m_remaining = countdownStart;
    //! Between requestReconnect() and the connector's verdict on that attempt.
    bool m_awaitingResult = false;
    Launcher m_launcher;
    Quitter m_quitter;
};
