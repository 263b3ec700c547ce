// Times the reader window listing a mailbox: from "Get Mail" to "<n> Messages listed", with
// a 10 ms timer watching how long the event loop is ever kept from running.
//
//   bench_pop_listing --port PORT --messages N [--runs R] [--label NAME] [--cold]
//
// The header cache is the one in $XDG_CACHE_HOME (give the benchmark a folder of its own);
// --cold empties it before every run. Prints one line per run and a summary with the peak
// memory of the process; the exit code is 0 when every run listed N.
#include "platform/ClickableLabel.h"
#include "platform/HeaderCache.h"
#include "platform/SettingsStore.h"
#include "reader/ui/frmPOP.h"
#include "session/ui/PopSession.h"
#include "support/EventLoopPulse.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

struct Run {
    double seconds = 0;
    double longestStallMs = 0;
    double stallRunning = 0; // percent of the longest stall the window's thread ran
    QString stallStatus;     // the status line just after the longest stall
    bool listed = false;
};

Run listOnce(int port, int messages) {
    frmPOP window;
    window.Account.POPAddress = "127.0.0.1:" + std::to_string(port);
    window.Account.EmailUsername = "alice";
    window.Account.EmailPass = "secret";
    window.show();

    const QString done = QStringLiteral("%1 Messages listed").arg(messages);
    QEventLoop loop;
    QObject::connect(&window.session(), &PopSession::listingEnded, &loop, &QEventLoop::quit);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);

    QString stallStatus;
    EventLoopPulse pulse([&] { stallStatus = window.lblStatus->text(); });

    QElapsedTimer clock;
    pulse.start();
    clock.start();
    deadline.start(600000); // 100,000 messages through a delay line take minutes
    window.cmdConnect->click();
    loop.exec();
    Run run;
    run.seconds = clock.nsecsElapsed() / 1e9;
    pulse.stop();
    run.stallStatus = stallStatus;
    run.stallRunning = pulse.stallRunningPercent();
    run.longestStallMs = pulse.longestStallMs();
    run.listed = window.lblStatus->text() == done;
    window.session().CloseForUnload();
    return run;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    int port = 0, messages = 0, runs = 5;
    bool cold = false;
    std::string label = "corvane";
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--cold")) {
            cold = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            break;
        }
        if (args[i] == QLatin1String("--label")) {
            label = args[++i].toStdString();
        } else if (args[i] == QLatin1String("--port")) {
            port = args[++i].toInt();
        } else if (args[i] == QLatin1String("--messages")) {
            messages = args[++i].toInt();
        } else if (args[i] == QLatin1String("--runs")) {
            runs = args[++i].toInt();
        }
    }
    if (port <= 0 || messages <= 0) {
        std::fprintf(stderr, "usage: bench_pop_listing --port PORT --messages N [--runs R] "
                             "[--label NAME] [--cold]\n");
        return 2;
    }
    // A settings file of our own: the user's accounts and options stay untouched.
    QTemporaryDir settingsDir;
    platform::SettingsStore store(settingsDir.filePath(QStringLiteral("Corvane.ini")));
    platform::installSettingsStore(&store);

    std::vector<double> times;
    double worstStall = 0;
    bool allListed = true;
    for (int r = 0; r < runs; ++r) {
        if (cold) {
            platform::HeaderCache(platform::HeaderCache::defaultPath()).clear();
        }
        const Run run = listOnce(port, messages);
        std::printf("%s run %d: %.3f s, longest event-loop stall %.1f ms (%.0f%% of it "
                    "running; then \"%s\")%s\n",
                    label.c_str(), r + 1, run.seconds, run.longestStallMs, run.stallRunning,
                    qPrintable(run.stallStatus), run.listed ? "" : " (NOT LISTED)");
        times.push_back(run.seconds);
        worstStall = std::max(worstStall, run.longestStallMs);
        allListed = allListed && run.listed;
    }
    std::sort(times.begin(), times.end());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s median %.3f s, best %.3f s, worst stall %.1f ms, peak memory %.0f MiB\n",
                label.c_str(), times[times.size() / 2], times.front(), worstStall,
                usage.ru_maxrss / 1024.0);
    platform::installSettingsStore(nullptr);
    return allListed ? 0 : 1;
}
