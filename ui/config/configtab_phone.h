#pragma once

#include "phone.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace Ui {
class ConfigTab_Phone;
}

//! One phone on the configure tab: its lamp, model name and a login or logout button. The button
//! waits for the server's word after a click; without it for answerTimeoutMs it is offered again.
class ConfigTab_Phone final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(ConfigTab_Phone)

public:
    //! A click the server does not answer (no change of the phone) by then is given up.
    static constexpr int answerTimeoutMs = 10000;

    //! The phone stays the connector's.
    explicit ConfigTab_Phone(Phone *phone, QWidget *parent = nullptr);
    ~ConfigTab_Phone() override;

    Phone *phone() const { return m_phone; }
    void setAnswerTimeout(int ms) { m_answerTimer.setInterval(ms); }

protected:
    void resizeEvent(QResizeEvent *event) override;

public slots:
    void phoneChanged();
    void buttonPressed();

signals:
    void loginPhone(const QString &phoneId);
    void logoutPhone(const QString &phoneId);

private:
    void updateButtonLabel();
    void showModelName();
    void onNoAnswer();

    Ui::ConfigTab_Phone *ui;
    QPointer<Phone> m_phone;
    QTimer m_answerTimer;
};
