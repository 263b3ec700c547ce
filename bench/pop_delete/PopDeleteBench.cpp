// Times the reader window marking every row of a listed mailbox for deletion: from the
// Delete key on a list with all rows selected to the last row marked "D", with a 10 ms timer
// watching how long the event loop is ever kept from running. The session ends without
// QUIT, so the server keeps the messages and every run finds the same mailbox.
//
//   bench_pop_delete --port PORT --messages N [--runs R]
//
// Prints one line per run and the median; the exit code is 0 when every run marked N.
#include "platform/ClickableLabel.h"
#include "platform/SettingsStore.h"
#include "reader/ui/frmPOP.h"
#include "session/ui/PopSession.h"
#include "support/EventLoopPulse.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Run {
    double seconds = 0;
    double longestStallMs = 0;
    double stallRunning = 0; // percent of the longest stall the window's thread ran
    int marked = 0;
};

// Runs the event loop until done() or the deadline; done() is asked every millisecond.
void waitFor(const std::function<bool()>& done, int deadlineMs) {
    QEventLoop loop;
    QTimer check;
    check.setInterval(1);
    check.setTimerType(Qt::PreciseTimer);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    QTimer::singleShot(deadlineMs, &loop, &QEventLoop::quit);
    check.start();
    loop.exec();
}

Run deleteOnce(int port, int messages) {
    frmPOP window;
    window.Account.POPAddress = "127.0.0.1:" + std::to_string(port);
    window.Account.EmailUsername = "alice";
    window.Account.EmailPass = "secret";
    window.mnConfirmDelete->setChecked(false);
    window.show();
    window.cmdConnect->click();
    const QString listed = QStringLiteral("%1 Messages listed").arg(messages);
    waitFor([&] { return window.lblStatus->text() == listed; }, 120000);

    const QString done = QStringLiteral("%1 of %1 messages marked deleted").arg(messages);
    EventLoopPulse pulse;

    window.lstHeaders->selectAll();
    window.lstHeaders->setFocus();
    QElapsedTimer clock;
    pulse.start();
    clock.start();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(window.lstHeaders, &press);
    waitFor([&] { return window.lblStatus->text() == done; }, 60000);
    Run run;
    run.seconds = clock.nsecsElapsed() / 1e9;
    pulse.stop();
    run.longestStallMs = pulse.longestStallMs();
    run.stallRunning = pulse.stallRunningPercent();
    for (int i = 0; i < window.lstHeaders->count(); ++i) {
        run.marked += window.lstHeaders->item(i)->text().at(38) == QLatin1Char('D');
    }
    window.session().CloseForUnload(); // no QUIT: nothing is deleted
    return run;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    int port = 0, messages = 0, runs = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--port")) {
            port = args[i + 1].toInt();
        } else if (args[i] == QLatin1String("--messages")) {
            messages = args[i + 1].toInt();
        } else if (args[i] == QLatin1String("--runs")) {
            runs = args[i + 1].toInt();
        }
    }
    if (port <= 0 || messages <= 0) {
        std::fprintf(stderr, "usage: bench_pop_delete --port PORT --messages N [--runs R]\n");
        return 2;
    }
    QTemporaryDir settingsDir;
    platform::SettingsStore store(settingsDir.filePath(QStringLiteral("Corvane.ini")));
    platform::installSettingsStore(&store);

    std::vector<double> times;
    bool allMarked = true;
    for (int r = 0; r < runs; ++r) {
        const Run run = deleteOnce(port, messages);
        std::printf("delete run %d: %d of %d rows marked in %.3f s, longest event-loop stall "
                    "%.1f ms (%.0f%% of it running)\n",
                    r + 1, run.marked, messages, run.seconds, run.longestStallMs, run.stallRunning);
        times.push_back(run.seconds);
        allMarked = allMarked && run.marked == messages;
    }
    std::sort(times.begin(), times.end());
    std::printf("delete median %.3f s for %d rows\n", times[times.size() / 2], messages);
    platform::installSettingsStore(nullptr);
    return allMarked ? 0 : 1;
}
