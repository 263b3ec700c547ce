#pragma once

#include "session/ReplyScanner.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace session {

// The commands of a POP3 client session (RFC 1939, CAPA and STLS from RFC 2449 and 2595, AUTH
// from RFC 5034).
// Greeting stands for the server's first line, which answers the connection itself.
enum class Pop3Command {
    Greeting,
    User,
    Pass,
    List,
    Top,
    Retr,
    Dele,
    Rset,
    Noop,
    Quit,
    Capa,
    Stls,
    Uidl,
    Auth
};

// CAPA, LIST, UIDL, TOP and RETR answer "+OK" with a multi-line reply ending in a line ".".
bool IsMultiLine(Pop3Command command);

// A command sent and not answered yet.
struct Pop3Request {
    Pop3Command command = Pop3Command::Noop;
    int number = 0;   // the message number a TOP, RETR or DELE names
    int row = -1;     // the header row a RETR or DELE acts on
    int position = 0; // the listing position (1-based) a TOP's row belongs at
};

// Where the session stands.
enum class Pop3State {
    Closed,        // no connection
    Greeting,      // connected, the server's first line is awaited
    Authorization, // greeted: USER and PASS
    Transaction,   // logged in
    Quitting,      // QUIT sent
    Failed,        // the server sent more than the cap allows: the connection must go
};

// What the server's bytes meant.
struct Pop3Event {
    enum class Kind {
        Ok,       // a "+OK" status line (text, without CR LF)
        Err,      // a "-ERR" status line
        Piece,    // the part of a multi-line reply that has arrived since the last piece
        Reply,    // a multi-line reply is complete: text is all of it, status line and end
                  // mark included; a RETR reply comes dot-unstuffed, LIST and TOP as sent
        Stray,    // a line that answers nothing; one event for a run of such lines
        TooLarge, // a reply or line passed the cap; nothing more is read
        Continue, // a "+ " challenge to AUTH (text: its base64, maybe empty); AUTH is still
                  // awaited and is answered with sendLine()
    };
    Kind kind = Kind::Ok;
    // The command answered; none for a status line that came when nothing was asked.
    std::optional<Pop3Request> request;
    std::string text;
    // TooLarge: how much of the reply or line had been read. The first Piece of a RETR reply:
    // the size its status line announces ("+OK 1234 octets"), at most the cap; 0 for none.
    std::size_t bytes = 0;
};

// A POP3 client session without I/O: the caller feeds it what the server sent, takes the
// bytes it has to write, and asks for events one at a time. Each event is read only when
// asked for, so a command sent in answer to one event already frames the bytes after it.
// Replies are matched to commands in the order the commands were sent; the in-flight queue
// may hold several (a QUIT behind a TOP, later a pipelined window).
class Pop3Engine {
public:
    static constexpr int kTopLines = 10;

    explicit Pop3Engine(std::size_t maxReplyBytes = ReplyScanner::kMaxReplyBytes);
    // A new cap, from the next reply on.
    void setMaxReplyBytes(std::size_t bytes);

    // The transport is connected: the greeting is awaited. Anything left from an earlier
    // connection is dropped.
    void connected();
    // The transport is gone.
    void closed();
    // The TLS handshake that followed the "+OK" to STLS is done: the server's bytes are read
    // again, from a clean start.
    void tlsStarted();
    // STLS was accepted and the handshake has not finished: every byte is dropped, since
    // the server cannot have sent it over the TLS connection yet.
    bool awaitingTls() const { return tlsPending; }

    // Queues a command and its line for takeOutgoing(). USER, PASS and AUTH take their
    // argument from argument. False (nothing queued) when there is no connection.
    bool send(const Pop3Request& request, std::string_view argument = {});
    // A line that answers the server's challenge to AUTH: no command of its own.
    bool sendLine(std::string_view line);
    // The bytes to write, once.
    std::string takeOutgoing();

    // Bytes from the server, in pieces of any size.
    void feed(std::string_view bytes);
    // The next event the bytes fed so far make, or none until more arrive.
    std::optional<Pop3Event> next();

    Pop3State state() const { return current; }
    // The commands sent and not answered, oldest first.
    const std::deque<Pop3Request>& inFlight() const { return queue; }
    bool awaitingReply() const { return !queue.empty(); }
    bool inFlight(Pop3Command command) const;
    // Unread bytes of the server (for a caller that wants to know it is quiet).
    std::size_t buffered() const { return inbox.size() - inboxPos; }

    // Keep-alive: every command sent sets the countdown to kKeepAliveTicks. A tick counts it
    // down and says whether NOOP is due (0 reached, nothing in flight).
    static constexpr int kKeepAliveTicks = 60;
    bool keepAliveTick();

private:
    std::optional<Pop3Event> statusLine();
    std::optional<Pop3Event> multiLine();
    Pop3Event completeReply();
    void resetFraming();
    void compact();
    void releaseBuffers();

    std::size_t maxReplyBytes;
    Pop3State current = Pop3State::Closed;
    std::deque<Pop3Request> queue;
    std::string outgoing;
    std::string inbox;
    std::size_t inboxPos = 0; // start of the unread part of inbox
    std::size_t lineScan = 0; // where the search for the status line's CR LF goes on
    bool collecting = false;  // inside a multi-line reply
    bool replyDone = false;   // its end mark has been read; the Reply event is next
    bool strayRun = false;    // the last line answered nothing
    ReplyScanner scanner;
    std::string reply;         // the multi-line reply collected so far
    std::size_t announced = 0; // the size the reply's status line gave, until its first piece
    int keepAlive = kKeepAliveTicks;
    bool tlsPending = false;
};

} // namespace session
