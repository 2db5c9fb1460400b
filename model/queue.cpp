#include "queue.h"

Queue::Queue()
    : Model<Queue>(QStringLiteral("Queue"))
{
}

QString Queue::getExtension()
{
    return valueForKey(QueueKeys::extension).toString();
}

QString Queue::getName()
{
    return valueForKey(QueueKeys::name).toString();
}

bool Queue::loggedIn()
{
    return valueForKey(QueueKeys::loggedIn).toBool();
}

bool Queue::isStatic()
{
    return valueForKey(QueueKeys::staticMember).toBool();
}
