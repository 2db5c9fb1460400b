#include "passbudget.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace {
struct Pass
{
    QElapsedTimer clock;
    bool started = false;
    QAbstractEventDispatcher *watched = nullptr;
};

Pass &pass()
{
    static Pass current;
    return current;
}

// The dispatcher says aboutToBlock before a pass that may wait and awake after it, or awake
// before one that may not: either way, between two passes.
void watchDispatcher()
{
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread());
    if (!dispatcher || dispatcher == pass().watched)
        return;
    pass().watched = dispatcher;
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &PassBudget::endPass);
    QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, &PassBudget::endPass);
    QObject::connect(dispatcher, &QObject::destroyed, [] { pass().watched = nullptr; });
}
} // namespace

bool PassBudget::spent(int budgetMs)
{
    watchDispatcher();
    Pass &current = pass();
    if (!current.started) {
        current.started = true;
        current.clock.start();
        return false;
    }
    return current.clock.elapsed() >= budgetMs;
}

void PassBudget::endPass()
{
    pass().started = false;
}
