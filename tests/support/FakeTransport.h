#pragma once

#include "platform/Transport.h"

#include <QString>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

// A transport driven by the test: it records what the client writes, line by
// line, and delivers server bytes synchronously, in whatever pieces the test
// chooses. Nothing touches the network.
class FakeTransport final : public platform::Transport {
    Q_OBJECT
public:
    void connectToHost(const QString& host, std::uint16_t port) override;
    State state() const override { return current; }
    void write(std::string_view bytes) override;
    std::string_view readAll() override;
    void close() override;

    // --- Server side ----------------------------------------------------------
    // The connection is made: state Connected, `connected` emitted.
    void accept();
    // Delivers bytes as one piece (one readyRead), then runs what was posted meanwhile.
    void serverSends(std::string_view bytes);
    // Delivers bytes in pieces of at most `piece` bytes, one readyRead each.
    void serverSendsInPieces(std::string_view bytes, std::size_t piece);
    // The server hangs up.
    void serverCloses();
    // A socket failure: `error`, then the connection is gone.
    void fail(int number, const QString& description);
    // Holds the state at Other after close() (a socket that takes its time to
    // close); release() finishes the close.
    void holdClose(bool hold) { holdingClose = hold; }
    void release();
    // A readyRead handler is running.
    bool reading() const { return inReadyRead; }

    // --- What the client did ------------------------------------------------
    int connects = 0;
    // Complete lines written since the last call, without their CR LF.
    std::vector<std::string> takeLines();

private:
    State current = State::Closed;
    std::string incoming;
    std::string handedOut; // what the last readAll() gave, kept until the next one
    std::string written;   // not yet returned by takeLines()
    bool holdingClose = false;
    bool inReadyRead = false;
};
