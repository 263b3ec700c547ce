// The memory and speed of downloading one large message with the reader window: the
// process's memory (resident) before, its peak while the message is downloaded and shown,
// while it is shown, and after the next, small message is shown; then the same large
// message once more with the reply cap below its size, and the memory after the cut.
//
//   bench_pop_download --port PORT --cap MB
//
// Below the figures, the holders of the memory at each point.
//
// Message 1 is the large one, message 2 a small one. Exit code 0 when both were shown.
#include "decoding/ui/AttachmentSaver.h"
#include "platform/ClickableLabel.h"
#include "platform/SettingsStore.h"
#include "reader/ui/frmPOP.h"
#include "session/ui/PopSession.h"
#include "session/ui/frmDebug.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <memory>
#include <string>
#include <utility>

namespace {

// Resident memory now, or at its peak since the last reset (VmHWM), in MiB.
double Memory(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) {
            return std::stod(line.substr(std::string(field).size())) / 1024.0;
        }
    }
    return -1;
}

double Resident() {
    malloc_trim(0); // what the process still holds, not what the allocator keeps for later
    return Memory("VmRSS:");
}

void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Runs the event loop until condition holds (checked every 5 ms), for at most 120 s.
bool WaitFor(const std::function<bool()>& condition) {
    QEventLoop loop;
    QTimer check;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition() || clock.elapsed() > 120000) {
            loop.quit();
        }
    });
    check.start(5);
    loop.exec();
    return condition();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    int port = 0;
    double capMb = 0;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--port")) {
            port = args[i + 1].toInt();
        } else if (args[i] == QLatin1String("--cap")) {
            capMb = args[i + 1].toDouble();
        }
    }
    if (port <= 0) {
        std::fprintf(stderr, "usage: bench_pop_download --port PORT [--cap MB]\n");
        return 2;
    }
    QTemporaryDir settingsDir;
    platform::SettingsStore store(settingsDir.filePath(QStringLiteral("Corvane.ini")));
    platform::installSettingsStore(&store);

    frmPOP window;
    window.Account.POPAddress = "127.0.0.1:" + std::to_string(port);
    window.Account.EmailUsername = "alice";
    window.Account.EmailPass = "secret";
    window.show();
    PopSession& session = window.session();
    const auto status = [&] { return window.lblStatus->text(); };
    bool shown = false;
    QObject::connect(&window.view(), &MessageView::shown, [&] { shown = true; });
    double messageMiB = 0; // the largest reply downloaded, as received
    std::shared_ptr<const std::string> large;
    QObject::connect(&session, &PopSession::messageDownloaded,
                     [&](const std::shared_ptr<const std::string>& reply) {
                         messageMiB = std::max(messageMiB, double(reply->size()) / 1048576.0);
                         if (!large) {
                             large = reply;
                         }
                     });

    window.cmdConnect->click();
    if (!WaitFor([&] { return status() == QLatin1String("2 Messages listed"); })) {
        std::fprintf(stderr, "listing failed: %s\n", qPrintable(status()));
        return 1;
    }
    auto view = [&](int row) {
        shown = false;
        window.lstHeaders->setCurrentRow(row);
        session.lstHeaders_DblClick();
        return WaitFor([&] { return shown; });
    };
    // Who holds the memory: what malloc has handed out (capacity included), the debug
    // buffer's text as used / allocated, and the decoded body with the text it views
    // (the downloaded reply itself when nothing had to be decoded) and that text's holders.
    auto holders = [&](const char* when) {
        const struct mallinfo2 heap = mallinfo2();
        const frmDebug* debug = session.debugWindow();
        const decoding::DecodedMessage& decoded = window.view().decoded();
        const std::string* store = decoded.BodyStore.get();
        constexpr double MiB = 1048576.0;
        std::printf(
            "  %-6s allocated %.0f MiB; debug buffer %.1f / %.1f MiB; decoded body %.1f MiB "
            "in a text of %.1f MiB held %ld times\n",
            when, double(heap.uordblks + heap.hblkhd) / MiB,
            debug ? double(debug->text().size()) / MiB : 0.0,
            debug ? double(debug->text().capacity()) / MiB : 0.0,
            double(decoded.MsgBody.size()) / MiB, store ? double(store->capacity()) / MiB : 0.0,
            decoded.BodyStore.use_count());
    };
    const double before = Resident();
    holders("before");
    ResetPeak();
    QElapsedTimer clock;
    clock.start();
    bool ok = view(0);
    const double seconds = clock.nsecsElapsed() / 1e9;
    const double peak = Memory("VmHWM:");
    const double whileShown = Resident();
    holders("shown");
    // The decoding and display alone: the same message shown once more.
    clock.restart();
    window.view().showDownloaded(std::exchange(large, nullptr));
    const double display = clock.nsecsElapsed() / 1e9;
    ok = view(1) && ok;
    const double after = Resident();
    holders("after");
    std::printf("before %.0f MiB, peak while downloading and showing %.0f MiB (+%.0f), while "
                "shown %.0f MiB (+%.0f), after the next message %.0f MiB (+%.0f)\n",
                before, peak, peak - before, whileShown, whileShown - before, after,
                after - before);
    std::printf("download and display %.2f s; decoding and display alone %.2f s, so the "
                "download about %.2f s (%.0f MiB/s)\n",
                seconds, display, seconds - display, messageMiB / (seconds - display));
    // The goals, as multiples of the message: at most 4 at the peak and 3 while shown, and
    // back near the earlier level after the next message.
    std::printf("message %.1f MiB: peak %.2fx, while shown %.2fx, after the next message %+.2fx; "
                "%.0f MiB/s downloaded and shown\n",
                messageMiB, (peak - before) / messageMiB, (whileShown - before) / messageMiB,
                (after - before) / messageMiB, messageMiB / seconds);

    if (capMb > 0) {
        session.setMaxReplyBytes(static_cast<std::size_t>(capMb * 1024 * 1024));
        window.lstHeaders->setCurrentRow(0);
        session.lstHeaders_DblClick();
        WaitFor([&] { return !session.isConnected(); });
        const double cut = Resident();
        holders("cut");
        std::printf("reply cut off at %.0f MiB: %s; memory after %.0f MiB (+%.0f, %+.2fx the "
                    "message)\n",
                    capMb, qPrintable(status()), cut, cut - before, (cut - before) / messageMiB);
    }
    session.CloseForUnload();
    platform::installSettingsStore(nullptr);
    return ok ? 0 : 1;
}
