#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QString>
#include <QTimer>

class PbxSimulator;

//! Runs the event loop until the condition holds or the time is up; false if it never held. The
//! loop sleeps while nothing is to be done, as the program's own does: a loop that polls would take
//! a core from the simulator and the workers and count as the program's stalls.
template<typename Condition>
bool spinUntil(Condition condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QTimer look; // conditions not made true by an event are looked at again this often
    look.start(5);
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

//! Logs the connector in as "bench" (password "bench") at a simulator on that address, which must
//! have the account; false, with a warning naming the benchmark, if that fails within 10 s.
bool logInAsBench(const QString &address, const char *benchmark);

//! Lets the simulator (which must have the "bench" account) listen and logs in at it; false,
//! with a warning naming the benchmark, if either fails.
bool listenAndLogIn(PbxSimulator &sim, const char *benchmark);

//! Resident memory of the process now, in MB.
double residentMb();
//! Peak resident memory of the process so far, in MB; resetPeakResident() starts it anew where the
//! kernel allows.
double peakResidentMb();
void resetPeakResident();

//! For its lifetime the connector handles every received text at once, however long a pass of the
//! event loop has run: for benchmarks that time each text's handling.
class WholeDispatchPasses
{
    Q_DISABLE_COPY(WholeDispatchPasses)

public:
    WholeDispatchPasses();
    ~WholeDispatchPasses();
};
