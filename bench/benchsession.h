#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QString>

//! Spins the event loop until the condition holds or the time is up; false if it never held.
template<typename Condition>
bool spinUntil(Condition condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

//! Logs the connector in as "bench" (password "bench") at a simulator on that address, which must
//! have the account; false, with a warning naming the benchmark, if that fails within 10 s.
bool logInAsBench(const QString &address, const char *benchmark);

//! Resident memory of the process now, in MB.
double residentMb();
