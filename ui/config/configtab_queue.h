#pragma once

#include "queue.h"

#include <QPointer>
#include <QWidget>

namespace Ui {
class ConfigTab_Queue;
}

//! One queue on the configure tab: a check box that logs the user in or out as agent; a static
//! membership shows checked and cannot be changed.
class ConfigTab_Queue final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(ConfigTab_Queue)

public:
    //! The queue stays the connector's.
    explicit ConfigTab_Queue(Queue *queue, QWidget *parent = nullptr);
    ~ConfigTab_Queue() override;

protected:
    void resizeEvent(QResizeEvent *event) override;

public slots:
    void queueChanged();
    void checkBoxClicked(bool active);

signals:
    void loginQueue(const QString &queueId);
    void logoutQueue(const QString &queueId);

private:
    void updateCheckBox();
    void showText();

    Ui::ConfigTab_Queue *ui;
    QPointer<Queue> m_queue;
};
