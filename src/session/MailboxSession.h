#pragma once

#include "session/Capabilities.h"
#include "session/HeaderList.h"
#include "session/HeaderRow.h"
#include "session/HeaderStore.h"
#include "session/ListingLoop.h"
#include "session/Pop3Engine.h"
#include "session/SaslClient.h"
#include "settings/AccountRecord.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace session {

// What the session asks of the window and the transport, in the order it happened.
struct SessionEvent {
    enum class Kind {
        Write,            // text: bytes for the server
        StartTls,         // start the TLS handshake on this connection
        Close,            // the session has ended: close the connection
        Status,           // text: the status line
        Note,             // text: the note beside it
        BusyNote,         // text: a command was refused while busy; cleared at the next tick
        Pointer,          // flag: the busy pointer on (true) or off
        RowsCleared,      // the header list is empty again
        RowAdded,         // row: appended to the header list
        RowMarked,        // row: its mark changed; it becomes the current row (flag: the
                          // current row and the selection stay as they are)
        Select,           // row: becomes the current row, scrolled into view (flag: the row
                          // shown after it does, or row itself when it is shown last)
        Box,              // text: a message box (flag: a Yes/No question); row: its id for
                          // boxClosed(). The server's replies wait until it is closed.
        DownloadStarting, // RETR is about to go out
        Downloaded,       // text: the RETR reply, dot-unstuffed
        ListingEnded,     // the listing finished or stopped
        Later,            // call resume() from the event loop, after the window has painted
        DebugText,        // text (UTF-8) for the debug buffer; flag: only when enabled
        DebugBytes,       // text: the server's bytes for the debug buffer; flag: as above;
                          // row: a number above 0 on the first bytes of a multi-line reply,
                          // with the size the reply announced in expected (0: unknown)
        DebugCut,         // text: a line for the debug buffer in place of the bytes of the
                          // reply numbered row (0: none came), cut off by the cap; flag: as above
        DebugClear,       // the debug buffer starts afresh
        TokenRefused,     // the server refused the OAuth2 access token: answer tokenRenewed()
    };
    Kind kind = Kind::Status;
    std::string text;
    int row = -1;
    bool flag = false;
    std::size_t expected = 0;
};

// The rules of a POP3 mailbox session, without I/O: which command comes next (CAPA, STLS and
// CAPA again, USER, PASS, LIST with UIDL, the header store, the window of TOPs, RETR, DELE,
// RSET, QUIT, NOOP), what the user may do when, and when the session ends. Inputs are the
// transport's news, the server's bytes, the user's commands and the clock; outputs are
// events, taken with next(). The window shows them and never decides a command itself.
class MailboxSession {
public:
    enum class Stage {
        Closed,       // no connection
        Connecting,   // Get Mail: the connection (and for TLS its handshake) is being made
        Greeting,     // the server's first line is awaited
        Capabilities, // CAPA sent (again after TLS)
        StartingTls,  // STLS sent, or accepted and the handshake runs
        Login,        // USER and PASS, or AUTH and its challenges
        Listing,      // LIST, UIDL, the stored headers and the TOPs
        Mailbox,      // logged in, the listing ended
        Quitting,     // QUIT sent
    };
    enum class ViewMode { DoubleClick, View, ViewSkippingSpam };

    static constexpr int kSilenceLimitSeconds = 60;
    static constexpr int kTopWindow = 4096;      // pipelined TOPs in flight at most
    static constexpr int kRowsPerSlice = 1024;   // rows built before the window paints again
    static constexpr int kStoreReadLimit = 2048; // stored entries read at a time
    static constexpr std::size_t kStoreBatch = 256;

    explicit MailboxSession(HeaderValueDecoder decode = {});
    void setMaxReplyBytes(std::size_t bytes) { engine.setMaxReplyBytes(bytes); }
    // Where header rows are kept between sessions (none: nothing is kept).
    void setHeaderStore(HeaderStore* store) { headerStore = store; }
    // The OAuth2 access token for an account that logs in with it (kept in memory only).
    void setAccessToken(std::string token) { accessToken = std::move(token); }
    // Where SCRAM nonces come from (tests give fixed ones).
    void setNonceSource(std::function<std::string()> source) { nonces = std::move(source); }

    // --- The transport ---------------------------------------------------------------------
    // Get Mail: a connection to the account's server is being made; the rows go.
    void begin(const AccountRecord& account);
    void connected();
    // The connection is encrypted (from the start, or after STLS); summary is for the debug
    // buffer.
    void tlsStarted(std::string summary);
    void received(std::string_view bytes);
    // The connection is gone (no Close event follows).
    void closed();
    // The server ended the connection, unasked: says what was cut short, if anything. Then
    // closed().
    void serverClosed();

    // --- The user ----------------------------------------------------------------------------
    void view(int row, ViewMode mode);
    void remove(int row, bool confirm);
    // Delete rows: one question when confirm, rows marked "D" already passed over, DELE for
    // each of the others (pipelined when the server allows it), each row marked as its "+OK"
    // arrives and the refusals told once at the end. One row is remove(row, confirm).
    void removeRows(std::vector<int> rows, bool confirm);
    void reset();
    // Disconnect: QUIT, or the connection just ends when nothing can be said.
    void disconnect();
    // The box with this id was closed; yes is the answer to a question.
    void boxClosed(int id, bool yes = false);
    // The answer to TokenRefused: a renewed access token, tried once more, or none and the
    // sentence that says why.
    void tokenRenewed(std::string token, const std::string& sentence);

    // --- The clock ---------------------------------------------------------------------------
    // The window's 3-second tick: the keep-alive counts down when enabled.
    void tick(bool keepAlive);
    // Seconds passed; the session ends after kSilenceLimitSeconds without the reply awaited,
    // or without the connection or a TLS handshake (time while a box is open does not count).
    void elapsed(int seconds);
    // The step asked for with a Later event.
    void resume();

    std::optional<SessionEvent> next();

    Stage stage() const { return current; }
    bool isConnected() const { return engine.state() != Pop3State::Closed; }
    bool listing() const { return current == Stage::Listing; }
    // A multi-line reply (LIST, TOP, RETR) is outstanding or the listing runs.
    bool replyInFlight() const;
    // A deletion of several rows has rows not yet answered.
    bool deleting() const { return deletion.total > 0; }
    const HeaderList& rows() const { return headers; }

private:
    enum class AfterBox { Nothing, Quit, Delete, DeleteRows };
    enum class Step { None, ReadStore, MoreRows };

    void emit(SessionEvent::Kind kind, std::string text = {}, int row = -1, bool flag = false);
    void status(std::string text) { emit(SessionEvent::Kind::Status, std::move(text)); }
    void pointer(bool busy) { emit(SessionEvent::Kind::Pointer, {}, -1, busy); }
    void box(std::string text, AfterBox after = AfterBox::Nothing, int row = -1);
    bool send(const Pop3Request& request, std::string_view argument = {});
    void flush();
    void process();
    void handle(Pop3Event& event);
    void end();
    void fail(std::string statusText);
    void onOk(const Pop3Request& request);
    void onErr(const std::optional<Pop3Request>& request, std::string_view line);
    void onPiece(const Pop3Request& request, std::string piece, std::size_t announced);
    void stray(const std::string& line);
    bool pipelining() const { return capabilities.pipelining() && !unpipelined.count(storeKey); }
    void onCapabilities(Capabilities announced);
    void refuseLogin(const std::string& reason);
    void login();
    std::optional<SaslMechanism> saslMechanism() const;
    void onChallenge(const std::string& base64);
    void loggedIn();
    void cancelSignIn(const std::string& sentence);
    std::string capabilitiesText() const;
    bool refuseWhileBusy();
    void select(int from);
    void markRow(int row, char mark, bool keepCurrent = false);
    void onRetrieved(const Pop3Request& request, std::string reply);
    void onDeleted(const Pop3Request& request);
    void startDeletion(std::vector<int> rows);
    void sendDeletes();
    void onRowDeleted(const Pop3Request& request, bool accepted);

    // --- The listing (MailboxListing.cpp)
    void startListing();
    void onList(const std::string& reply);
    void onUidl(); // the ids were read from the pieces as they came
    void readStore();
    void beginRows();
    void advanceListing();
    void sendTops();
    int listReadyRows(int before, int limit);
    void addRow(int number, std::string row, const std::string& uid, std::string sender = {});
    void onTop(const Pop3Request& request, const std::string& reply);
    void onTopRefused(const Pop3Request& request);
    void storeNewSources();
    void endListing();
    void later(Step step);

    HeaderValueDecoder decode;
    HeaderStore* headerStore = nullptr;
    AccountRecord account;
    std::string storeKey;
    std::unordered_set<std::string> unpipelined; // accounts listed one command at a time
    Pop3Engine engine;
    Capabilities capabilities;
    ListingLoop listingLoop;
    HeaderList headers;
    std::deque<SessionEvent> events;
    Stage current = Stage::Closed;

    std::string tlsText;
    bool tlsActive = false;
    std::string accessToken;
    enum class Renewal { None, Awaited, Done };
    Renewal renewal = Renewal::None; // of the access token, once a connection
    std::function<std::string()> nonces = SaslClient::RandomNonce;
    std::optional<SaslClient> sasl; // the SASL exchange of this login
    bool listComplete = false;      // every row of this session is listed: downloads may start
    bool advanceAfterView = false;
    int silence = 0;             // seconds without the reply awaited
    int packetCount = 0;         // TOP reply pieces since Get Mail (debug text only)
    int debugReplies = 0;        // multi-line replies whose bytes went to the debug buffer
    bool debugReplyOpen = false; // the reply being read is the last of those

    bool boxOpen = false;
    bool strayShown = false; // "Response without command" was shown this session
    std::string opening;     // the connection's first two bytes
    int boxId = 0;
    AfterBox afterBox = AfterBox::Nothing;
    int afterBoxRow = -1;
    std::vector<int> afterBoxRows;

    // A deletion of several rows. Its DELEs carry position 1, a single row's 0.
    struct Deletion {
        std::deque<int> waiting; // rows whose DELE has not gone out yet
        int inFlight = 0;
        int total = 0;
        int marked = 0;
        std::vector<int> refused; // message numbers
    };
    Deletion deletion;

    Step pending = Step::None;
    bool uidsAwaited = false;  // the rows wait for the UIDL reply
    bool uidsComplete = false; // every listed message has a unique id
    bool topWorks = false;     // the server answered a TOP of this listing
    HeaderStore::Entries known;
    std::string knownAfter;
    std::vector<std::pair<std::string, std::string>> newSources; // not yet stored
};

} // namespace session
