#include "queue.h"

Queue::Queue()
    : Model<Queue>(QStringLiteral("Queue"))
{
}
