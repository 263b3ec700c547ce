#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <functional>

// Watches the event loop's pulse with a 10 ms timer: the longest gap between two ticks, less
// the 10 ms, and how much of that gap the thread spent running. A gap the thread did not run
// through was spent waiting: for the disk, or for a core the server and the delay line had
// taken.
class EventLoopPulse {
public:
    // onLonger runs at the tick that ends a new longest gap (to note what was on show).
    explicit EventLoopPulse(std::function<void()> onLonger = {}) : longer(std::move(onLonger)) {
        watch.setInterval(10);
        watch.setTimerType(Qt::PreciseTimer);
        QObject::connect(&watch, &QTimer::timeout, [this] { tick(); });
    }

    void start() {
        longestNs = longestRunningNs = 0;
        runningAtTick = ThreadCpuNs();
        watch.start();
        pulse.start();
    }
    // Ends the watch; the gap still open counts too.
    void stop() {
        tick();
        watch.stop();
    }

    double longestStallMs() const { return std::max(0.0, longestNs / 1e6 - 10.0); }
    // The share of the longest gap between two ticks the thread spent running, in percent.
    double stallRunningPercent() const {
        return longestNs > 0 ? 100.0 * double(longestRunningNs) / double(longestNs) : 0.0;
    }

private:
    // The time the calling thread has spent on a core.
    static qint64 ThreadCpuNs() {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    }

    void tick() {
        const qint64 running = ThreadCpuNs();
        if (pulse.nsecsElapsed() > longestNs) {
            longestNs = pulse.nsecsElapsed();
            longestRunningNs = running - runningAtTick;
            if (longer) {
                longer();
            }
        }
        runningAtTick = running;
        pulse.restart();
    }

    std::function<void()> longer;
    QTimer watch;
    QElapsedTimer pulse;
    qint64 longestNs = 0, longestRunningNs = 0, runningAtTick = 0;
};
