#include "passbudget.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace {
//! Ends the pass when the dispatcher says so.
class PassEnd : public QObject
{
public:
    void end() { PassBudget::endPass(); }
    void forget();
};

struct Pass
{
    QElapsedTimer clock;
    bool started = false;
    QAbstractEventDispatcher *watched = nullptr;
    PassEnd ends;
};

Pass &pass()
{
    static Pass current;
    return current;
}

void PassEnd::forget()
{
    pass().watched = nullptr;
}

// The dispatcher says aboutToBlock before a pass that may wait and awake after it, or awake
// before one that may not: either way, between two passes. The connections are unique, so a
// dispatcher watched again is never connected twice; the one watched needs no look at them.
void watchDispatcher()
{
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread());
    if (!dispatcher || dispatcher == pass().watched)
        return;
    pass().watched = dispatcher;
    PassEnd *ends = &pass().ends;
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, ends, &PassEnd::end, Qt::UniqueConnection);
    QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, ends, &PassEnd::end, Qt::UniqueConnection);
    QObject::connect(dispatcher, &QObject::destroyed, ends, &PassEnd::forget, Qt::UniqueConnection);
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
