#pragma once

#include <QString>
#include <QWidget>

//! Tells screen readers what the user should hear without the keyboard moving there, such as a
//! call answered or ended: a notification of its own that is never shown. Of several texts in one
//! pass of the event loop only the last is told, so a burst of calls ending is heard once.
class Announcer final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(Announcer)

public:
    explicit Announcer(QWidget *parent = nullptr);

    void announce(const QString &text);

private:
    void tell();

    QString m_pending;
};
