#include "announcer.h"

#include <QAccessible>
#include <QTimer>

Announcer::Announcer(QWidget *parent)
    : QWidget(parent)
{
    // Never shown, only said to show: shown with its window, it would be read out empty.
    hide();
}

void Announcer::announce(const QString &text)
{
    if (m_pending.isEmpty())
        QTimer::singleShot(0, this, &Announcer::tell);
    m_pending = text;
}

void Announcer::tell()
{
    setAccessibleName(std::exchange(m_pending, QString()));
    // A screen reader reads a notification as it shows: said to show again for each text.
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}
