#pragma once

#include "session/ui/PopSession.h"

#include <QEventLoop>
#include <QTimer>
#include <functional>

// Runs the event loop until done() holds, looking again after each event that can change what
// the window shows: data from the server, the session ending, the listing ending. Gives up
// after ms milliseconds and returns whether done() holds.
inline bool WaitForSession(PopSession& session, const std::function<bool()>& done, int ms = 15000) {
    QEventLoop loop;
    auto check = [&] {
        if (done()) {
            loop.quit();
        }
    };
    // The taps go with the loop.
    QObject::connect(&session.transport(), &platform::Transport::readyRead, &loop, check,
                     Qt::QueuedConnection);
    QObject::connect(&session, &PopSession::connectionChanged, &loop, check, Qt::QueuedConnection);
    QObject::connect(&session, &PopSession::listingEnded, &loop, check, Qt::QueuedConnection);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    if (!done()) {
        loop.exec();
    }
    return done();
}
