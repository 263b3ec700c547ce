#include "session/MailboxSession.h"

#include "decoding/Base64.h"
#include "settings/ServerAddress.h"

#include <algorithm>
#include <exception>

namespace session {

namespace {

const char* const kListBusy = "Downloading List, Please Wait";
const char* const kMessageBusy = "Downloading Message, Please Wait";
const char* const kQuitBusy = "Disconnecting, Please Wait";
const char* const kDeleteBusy = "Deleting Messages, Please Wait";
constexpr std::size_t kRefusalsNamed = 20; // message numbers a refusal box lists at most

// The listing's replies reach the debug buffer only when it is enabled.
bool quietDebug(Pop3Command command) {
    return command == Pop3Command::Uidl || command == Pop3Command::Top;
}

// A server's words for a message box: printable ASCII on one line, not too long; whatever
// else a hostile server sends is left out.
std::string ServerWords(std::string_view text) {
    constexpr std::size_t kMost = 200;
    std::string words;
    for (const char c : text) {
        if (words.size() == kMost) {
            words += "...";
            break;
        }
        if (c >= ' ' && c <= '~') {
            words += c;
        }
    }
    const std::size_t first = words.find_first_not_of(' ');
    return first == std::string::npos ? "no reason given" : words.substr(first);
}

} // namespace

MailboxSession::MailboxSession(HeaderValueDecoder decode) : decode(std::move(decode)) {}

void MailboxSession::emit(SessionEvent::Kind kind, std::string text, int row, bool flag) {
    events.push_back(SessionEvent{kind, std::move(text), row, flag});
}

std::optional<SessionEvent> MailboxSession::next() {
    if (events.empty()) {
        return std::nullopt;
    }
    SessionEvent event = std::move(events.front());
    events.pop_front();
    return event;
}

void MailboxSession::box(std::string text, AfterBox after, int row) {
    boxOpen = true;
    afterBox = after;
    afterBoxRow = row;
    emit(SessionEvent::Kind::Box, std::move(text), ++boxId,
         after == AfterBox::Delete || after == AfterBox::DeleteRows);
}

bool MailboxSession::send(const Pop3Request& request, std::string_view argument) {
    if (!engine.send(request, argument)) {
        box("Socket closed");
        return false;
    }
    return true;
}

// Everything one input made the engine say goes out in one write.
void MailboxSession::flush() {
    std::string bytes = engine.takeOutgoing();
    if (!bytes.empty()) {
        silence = 0;
        emit(SessionEvent::Kind::Write, std::move(bytes));
    }
}

bool MailboxSession::replyInFlight() const {
    return listing() || engine.inFlight(Pop3Command::List) || engine.inFlight(Pop3Command::Top) ||
           engine.inFlight(Pop3Command::Retr);
}

// --- The transport -----------------------------------------------------------------------------

void MailboxSession::begin(const AccountRecord& forAccount) {
    closed();
    account = forAccount;
    storeKey = HeaderStore::accountKey(account.POPAddress, account.EmailUsername);
    headers.clear();
    emit(SessionEvent::Kind::RowsCleared);
    listComplete = false;
    tlsActive = false;
    tlsText.clear();
    packetCount = 0;
    current = Stage::Connecting;
    silence = 0;
}

void MailboxSession::connected() {
    engine.connected();
    capabilities = {};
    current = Stage::Greeting;
    silence = 0;
    strayShown = false;
    opening.clear();
    boxOpen = false;
    afterBox = AfterBox::Nothing;
    pending = Step::None;
    renewal = Renewal::None;
    debugReplyOpen = false;
    emit(SessionEvent::Kind::Status, "Connected to server");
    emit(SessionEvent::Kind::Status, "Connected");
}

void MailboxSession::tlsStarted(std::string summary) {
    tlsText = std::move(summary);
    tlsActive = true;
    if (engine.awaitingTls()) {
        // What the server said it can do in clear may have been forged: ask again.
        engine.tlsStarted();
        status("TLS started");
        current = Stage::Capabilities;
        send({Pop3Command::Capa});
        flush();
    }
}

void MailboxSession::received(std::string_view bytes) {
    if (bytes.empty()) {
        return;
    }
    if (current == Stage::Greeting && !tlsActive && opening.size() < 2) {
        opening += bytes.substr(0, 2 - opening.size());
        // A TLS record (handshake 0x16 or alert 0x15, version 3.x) where the greeting should
        // be: the server speaks TLS from the first byte on this port.
        if (opening.size() == 2 && (opening[0] == 0x16 || opening[0] == 0x15) &&
            opening[1] == 0x03) {
            const settings::ServerAddress address =
                settings::parseServerAddress(account.POPAddress, settings::kDefaultPopPort);
            fail("Error: The server expects TLS on this port");
            box("The server at " + address.host + ":" + std::to_string(address.port) +
                " expects a secure connection from the first byte. Choose TLS as the security "
                "in the setup (usually port 995), or the server's port for STARTTLS or no "
                "security (usually 110).");
            return;
        }
    }
    engine.feed(bytes);
    if (engine.awaitingReply()) {
        silence = 0; // the server is alive
    }
    process();
}

void MailboxSession::closed() {
    if (current == Stage::Connecting) {
        current = Stage::Closed;
    }
    if (current == Stage::Closed && engine.state() == Pop3State::Closed) {
        return;
    }
    if (listing()) {
        endListing();
    }
    engine.closed();
    current = Stage::Closed;
    deletion = {};
    boxOpen = false;
    afterBox = AfterBox::Nothing;
    pending = Step::None;
    silence = 0;
}

void MailboxSession::serverClosed() {
    std::string said = "Error: The server closed the connection";
    if (listing() && listingLoop.total() > 0) {
        said += ": " + std::to_string(headers.size()) + " of " +
                std::to_string(listingLoop.total()) + " messages listed";
    } else if (listing()) {
        said += " before the list was complete";
    } else if (engine.inFlight(Pop3Command::Retr)) {
        said += " during the download";
    } else if (deleting()) {
        said += ": " + std::to_string(deletion.marked) + " of " + std::to_string(deletion.total) +
                " messages marked, none deleted (messages go only at Disconnect)";
    } else {
        return; // "Disconnected" says it
    }
    pointer(false);
    status(said);
}

// The session ends from inside: the window closes the connection.
void MailboxSession::end() {
    closed();
    emit(SessionEvent::Kind::Close);
}

void MailboxSession::fail(std::string statusText) {
    pointer(false);
    status(std::move(statusText));
    end();
}

// --- The server ------------------------------------------------------------------------------

void MailboxSession::process() {
    try {
        while (!boxOpen) {
            std::optional<Pop3Event> event = engine.next();
            if (!event) {
                break;
            }
            handle(*event);
        }
    } catch (const std::exception& e) {
        // Out of memory or the like while handling a reply: the session cannot go on.
        fail(std::string("Error: ") + e.what());
    }
    flush();
}

void MailboxSession::handle(Pop3Event& event) {
    switch (event.kind) {
    case Pop3Event::Kind::Ok:
        if (event.request) {
            onOk(*event.request);
        }
        break;
    case Pop3Event::Kind::Err:
        onErr(event.request, event.text);
        break;
    case Pop3Event::Kind::Stray:
        stray(event.text);
        break;
    case Pop3Event::Kind::Piece:
        onPiece(*event.request, std::move(event.text), event.bytes);
        break;
    case Pop3Event::Kind::Reply:
        debugReplyOpen = false;
        switch (event.request->command) {
        case Pop3Command::Capa:
            onCapabilities(Capabilities::FromReply(event.text));
            break;
        case Pop3Command::List:
            onList(event.text);
            break;
        case Pop3Command::Top:
            onTop(*event.request, event.text);
            break;
        case Pop3Command::Uidl:
            onUidl();
            break;
        default:
            onRetrieved(*event.request, std::move(event.text)); // the message, not a copy
            break;
        }
        break;
    case Pop3Event::Kind::TooLarge:
        // What came of the reply goes from the debug buffer too: it may be most of the cap. A
        // TOP reply follows its row's text, which ends without a line break.
        emit(
            SessionEvent::Kind::DebugCut,
            std::string(event.request && event.request->command == Pop3Command::Top ? "\r\n" : "") +
                "The reply passed the size limit and was cut off after " +
                std::to_string(event.bytes) + " bytes, which are not kept.\r\n",
            std::exchange(debugReplyOpen, false) ? debugReplies : 0,
            event.request && quietDebug(event.request->command));
        fail("Error: Server reply too large, connection closed");
        break;
    case Pop3Event::Kind::Continue:
        onChallenge(event.text);
        break;
    }
}

void MailboxSession::onOk(const Pop3Request& request) {
    switch (request.command) {
    case Pop3Command::Greeting:
        current = Stage::Capabilities;
        send({Pop3Command::Capa});
        break;
    case Pop3Command::Stls:
        status("Starting TLS");
        emit(SessionEvent::Kind::StartTls); // the engine drops what came with the "+OK"
        break;
    case Pop3Command::User:
        status("Sending password");
        send({Pop3Command::Pass}, account.EmailPass);
        break;
    case Pop3Command::Pass:
        loggedIn();
        break;
    case Pop3Command::Auth:
        if (sasl && sasl->accept()) {
            sasl.reset();
            loggedIn();
        } else {
            cancelSignIn(sasl ? sasl->error() : "The server accepted a sign-in never made.");
        }
        break;
    case Pop3Command::Dele:
        if (request.position != 0) {
            onRowDeleted(request, true);
        } else {
            onDeleted(request);
        }
        break;
    case Pop3Command::Rset:
        status("Message deletion aborted");
        headers.clear();
        emit(SessionEvent::Kind::RowsCleared);
        startListing();
        break;
    case Pop3Command::Quit:
        status("Logout Successful");
        end();
        break;
    default: // the "+OK" to NOOP needs nothing
        break;
    }
}

void MailboxSession::onErr(const std::optional<Pop3Request>& request, std::string_view line) {
    pointer(false);
    switch (request ? request->command : Pop3Command::Noop) {
    case Pop3Command::Greeting:
        // The server will not serve this session (busy, the mailbox locked, closed to this
        // address): the connection is of no more use, and the server's words say why.
        fail("Error: Server refused the session");
        box("The server refused the session: " +
            ServerWords(line.substr(std::min<std::size_t>(line.size(), 4))));
        break;
    case Pop3Command::User:
        box("Invalid Username. Try Again", AfterBox::Quit);
        break;
    case Pop3Command::Pass:
        box("Invalid Username or Password. Try Again", AfterBox::Quit);
        break;
    case Pop3Command::Auth:
        sasl.reset(); // never a second try in a weaker way
        if (account.POPAuth == settings::PopAuth::OAuth2 && renewal == Renewal::None) {
            // Perhaps only expired: a renewed token is tried once on this connection.
            renewal = Renewal::Awaited;
            status("Renewing the access token");
            emit(SessionEvent::Kind::TokenRefused);
            break;
        }
        box("The server refused the sign-in for " + account.EmailUsername, AfterBox::Quit);
        break;
    case Pop3Command::List:
        endListing();
        box("Error from LIST command");
        break;
    case Pop3Command::Retr:
        box("Failed to retrieve message. Try relogin");
        break;
    case Pop3Command::Top:
        status("Error reading header");
        onTopRefused(*request);
        break;
    case Pop3Command::Uidl:
        if (std::exchange(uidsAwaited, false)) {
            pointer(true); // the listing goes on without ids: every row comes from TOP
            beginRows();
        }
        break;
    case Pop3Command::Dele:
        if (request->position != 0) {
            onRowDeleted(*request, false);
        } else {
            box("Unable to delete message. Try again");
        }
        break;
    case Pop3Command::Rset:
        box("Mailbox Reset Failed. Try Again");
        break;
    case Pop3Command::Capa:
        onCapabilities(Capabilities()); // an old server: go on as without CAPA
        break;
    case Pop3Command::Stls:
        refuseLogin("The server refused STLS");
        break;
    default:
        stray(request ? "-ERR" : "-ERR without a command");
        break;
    }
}

// The box once a session; a server that keeps sending stray lines is noted in the debug
// buffer instead of opening one box per line.
void MailboxSession::stray(const std::string& line) {
    if (std::exchange(strayShown, true)) {
        emit(SessionEvent::Kind::DebugText, "Response without command: " + line + "\r\n");
    } else {
        box("Response without command");
    }
}

void MailboxSession::onPiece(const Pop3Request& request, std::string piece, std::size_t announced) {
    using Kind = SessionEvent::Kind;
    // Numbered from 1 again long before the count could overflow.
    const int reply =
        std::exchange(debugReplyOpen, true) ? -1 : (debugReplies = debugReplies % (1 << 30) + 1);
    const bool quiet = quietDebug(request.command);
    if (request.command == Pop3Command::Uidl) {
        listingLoop.uidPiece(piece);
    }
    if (request.command != Pop3Command::Top) {
        emit(Kind::DebugBytes, std::move(piece), reply, quiet);
        events.back().expected = announced;
    } else {
        ++packetCount;
        emit(Kind::DebugBytes, "\r\n\r\nPacket # " + std::to_string(packetCount) + "\r\n" + piece,
             reply, quiet);
    }
}

// --- The opening: CAPA, STLS and CAPA again, the login ----------------------------------------

void MailboxSession::onCapabilities(Capabilities announced) {
    capabilities = std::move(announced);
    if (account.POPSecurity == settings::Security::StartTls && !tlsActive) {
        if (!capabilities.has("STLS")) {
            refuseLogin("The server does not offer STLS");
        } else if (send({Pop3Command::Stls})) {
            current = Stage::StartingTls;
            status("Asking for TLS");
        }
        return;
    }
    current = Stage::Login;
    login();
}

void MailboxSession::login() {
    sasl.reset();
    if (account.POPAuth == settings::PopAuth::Password) {
        send({Pop3Command::User}, account.EmailUsername);
        status("Sending Username");
        return;
    }
    const std::optional<SaslMechanism> mechanism = saslMechanism();
    const bool oauth = account.POPAuth == settings::PopAuth::OAuth2;
    if (oauth && accessToken.empty()) {
        fail("Error: Not signed in, login not sent");
        box("This account signs in with OAuth2 and has no access token. Please sign in with "
            "\"Sign in…\" in the account's setup.");
        return;
    }
    if (!mechanism) {
        fail("Error: No acceptable sign-in method offered, login not sent");
        box(oauth ? "The server offers neither XOAUTH2 nor OAUTHBEARER, so nothing of the login "
                    "was sent."
                  : std::string("The server offers neither SCRAM-SHA-256 nor PLAIN") +
                        (tlsActive ? "" : " inside TLS") +
                        ". The account asks for a SASL sign-in, so nothing of the login was "
                        "sent; choose \"Password\" in the setup if the server takes USER and "
                        "PASS.");
        return;
    }
    const std::string& user = account.EmailUsername;
    switch (*mechanism) {
    case SaslMechanism::ScramSha256:
        sasl = SaslClient::Scram(user, account.EmailPass, nonces());
        break;
    case SaslMechanism::Plain:
        sasl = SaslClient::Plain(user, account.EmailPass);
        break;
    case SaslMechanism::XOAuth2:
        sasl = SaslClient::XOAuth2(user, accessToken);
        break;
    case SaslMechanism::OAuthBearer:
        sasl = SaslClient::OAuthBearer(user, accessToken);
        break;
    }
    std::string line(SaslName(*mechanism));
    // The initial response goes on the AUTH line where the line stays within 255 octets
    // (RFC 5034 section 4); else it answers the server's first, empty challenge.
    const std::size_t encoded = (sasl->firstMessage().size() + 2) / 3 * 4;
    if (std::string_view("AUTH ").size() + line.size() + 1 + encoded + 2 <= 255) {
        line += " " + modBase64::Base64Encode(sasl->initialResponse());
    }
    send({Pop3Command::Auth}, line);
    status("Signing in with " + std::string(SaslName(*mechanism)));
}

// SASL: SCRAM-SHA-256, else PLAIN only inside TLS. OAuth2: XOAUTH2, else OAUTHBEARER.
std::optional<SaslMechanism> MailboxSession::saslMechanism() const {
    if (account.POPAuth == settings::PopAuth::OAuth2) {
        if (capabilities.offersSasl("XOAUTH2")) {
            return SaslMechanism::XOAuth2;
        }
        if (capabilities.offersSasl("OAUTHBEARER")) {
            return SaslMechanism::OAuthBearer;
        }
        return std::nullopt;
    }
    if (capabilities.offersSasl("SCRAM-SHA-256")) {
        return SaslMechanism::ScramSha256;
    }
    if (tlsActive && capabilities.offersSasl("PLAIN")) {
        return SaslMechanism::Plain;
    }
    return std::nullopt;
}

void MailboxSession::onChallenge(const std::string& base64) {
    std::string response;
    if (!sasl || !sasl->respond(modBase64::Base64Decode(base64), response)) {
        cancelSignIn(sasl ? sasl->error() : "The server sent an unexpected challenge.");
        return;
    }
    engine.sendLine(modBase64::Base64Encode(response));
}

// The exchange cannot be trusted to go on: the connection ends, nothing else is tried.
void MailboxSession::cancelSignIn(const std::string& sentence) {
    sasl.reset();
    fail("Error: Sign-in cancelled, connection closed");
    box(sentence);
}

void MailboxSession::loggedIn() {
    status("Login successful");
    startListing();
    status("Retrieving list");
    emit(SessionEvent::Kind::DebugClear);
    emit(SessionEvent::Kind::DebugText, capabilitiesText());
}

void MailboxSession::refuseLogin(const std::string& reason) {
    fail("Error: " + reason + ", login not sent");
    box(reason + ". The account asks for STARTTLS, so nothing of the login was sent. Choose TLS "
                 "in the setup if the server offers it on its own port.");
}

std::string MailboxSession::capabilitiesText() const {
    if (!capabilities.announced()) {
        return tlsText + "Capabilities: the server did not answer CAPA\r\n";
    }
    std::string text = tlsText + "Capabilities:";
    for (const std::string& line : capabilities.lines()) {
        text += " [" + line + "]";
    }
    return text + "\r\n";
}

// --- The user ----------------------------------------------------------------------------------

bool MailboxSession::refuseWhileBusy() {
    // DELE and NOOP replies are single lines that change nothing a new command depends on;
    // everything else must be answered before the next command goes out.
    const auto& flying = engine.inFlight();
    const bool busy =
        listing() || deleting() || std::any_of(flying.begin(), flying.end(), [](const auto& r) {
            return r.command != Pop3Command::Dele && r.command != Pop3Command::Noop;
        });
    if (busy) {
        emit(SessionEvent::Kind::BusyNote, deleting()                           ? kDeleteBusy
                                           : engine.inFlight(Pop3Command::Retr) ? kMessageBusy
                                           : engine.inFlight(Pop3Command::Quit) ? kQuitBusy
                                                                                : kListBusy);
    }
    return busy;
}

void MailboxSession::view(int row, ViewMode mode) {
    if (mode == ViewMode::DoubleClick || row < 0) {
        // as selected
    } else if (const int target = ViewRow(headers.shown(row), row, headers.size(),
                                          mode == ViewMode::ViewSkippingSpam);
               target != row) {
        row = target;
        emit(SessionEvent::Kind::Select, {}, row);
    }
    if (!isConnected()) {
        box("Connection closed, click Get Mail");
    } else if (!listComplete) {
        emit(SessionEvent::Kind::BusyNote, kListBusy);
    } else if (refuseWhileBusy()) {
    } else if (!headers.has(row)) {
        box("No message selected!");
    } else if (headers.isSexuallyExplicit(row)) {
        box("These messages stay on the server until deleted or Hell freezes over");
    } else {
        emit(SessionEvent::Kind::DebugClear);
        emit(SessionEvent::Kind::DownloadStarting);
        advanceAfterView = mode != ViewMode::DoubleClick;
        pointer(true);
        status("Downloading message");
        if (!send({Pop3Command::Retr, headers.number(row), row})) {
            pointer(false);
        }
    }
    flush();
}

void MailboxSession::onRetrieved(const Pop3Request& request, std::string reply) {
    pointer(false);
    const int row = request.row;
    status("Message # " + std::to_string(row + 1) + " of " + std::to_string(headers.size()) +
           " Complete");
    markRow(row, 'R');
    if (advanceAfterView) {
        select(row);
    }
    emit(SessionEvent::Kind::Downloaded, std::move(reply));
}

void MailboxSession::markRow(int row, char mark, bool keepCurrent) {
    headers.setMark(row, mark);
    emit(SessionEvent::Kind::RowMarked, {}, row, keepCurrent);
}

// The row after from as the window shows the rows, or from when it is the last; the first
// row when from is none.
void MailboxSession::select(int from) {
    const int count = headers.size();
    if (count > 0) {
        emit(SessionEvent::Kind::Select, {}, std::clamp(from, 0, count - 1), from >= 0);
    }
}

void MailboxSession::remove(int row, bool confirm) {
    if (refuseWhileBusy()) {
    } else if (row < 0) {
        box("No message selected!");
        if (headers.size() > 0) {
            emit(SessionEvent::Kind::Select, {}, 0);
        }
    } else if (headers.mark(row) == 'D') {
        box("Message already marked for deletion");
    } else if (confirm) {
        box("Are you sure you want\r\nto delete this message ?", AfterBox::Delete, row);
    } else {
        send({Pop3Command::Dele, headers.number(row), row});
    }
    flush();
}

void MailboxSession::onDeleted(const Pop3Request& request) {
    const int row = request.row;
    if (!headers.has(row)) {
        return;
    }
    status("Message # " + std::to_string(row + 1) + " of " + std::to_string(headers.size()) +
           " marked deleted");
    markRow(row, 'D');
    select(row);
}

void MailboxSession::removeRows(std::vector<int> rows, bool confirm) {
    std::erase_if(rows, [this](int row) { return !headers.has(row); });
    std::unordered_set<int> seen;
    std::erase_if(rows, [&seen](int row) { return !seen.insert(row).second; });
    if (rows.size() <= 1) {
        remove(rows.empty() ? -1 : rows.front(), confirm);
        return;
    }
    if (refuseWhileBusy()) {
    } else if (std::erase_if(rows, [this](int row) { return headers.mark(row) == 'D'; });
               rows.empty()) {
        box("These messages are already marked for deletion");
    } else if (confirm) {
        afterBoxRows = std::move(rows);
        box(afterBoxRows.size() == 1
                ? std::string("Are you sure you want\r\nto delete this message ?")
                : "Are you sure you want to delete these " + std::to_string(afterBoxRows.size()) +
                      " messages?",
            AfterBox::DeleteRows);
    } else {
        startDeletion(std::move(rows));
    }
    flush();
}

void MailboxSession::startDeletion(std::vector<int> rows) {
    deletion = {};
    deletion.waiting.assign(rows.begin(), rows.end());
    deletion.total = static_cast<int>(rows.size());
    sendDeletes();
}

// Pipelined, a window of DELEs is out at a time; else the next goes at the reply to the last.
void MailboxSession::sendDeletes() {
    const int window = pipelining() ? kTopWindow : 1;
    while (!deletion.waiting.empty() && deletion.inFlight < window) {
        const int row = deletion.waiting.front();
        if (!send({Pop3Command::Dele, headers.number(row), row, 1})) {
            deletion = {};
            return;
        }
        deletion.waiting.pop_front();
        ++deletion.inFlight;
    }
}

void MailboxSession::onRowDeleted(const Pop3Request& request, bool accepted) {
    if (!deleting()) {
        return; // a deletion of an earlier connection
    }
    --deletion.inFlight;
    if (!accepted) {
        deletion.refused.push_back(request.number);
    } else if (headers.has(request.row)) {
        ++deletion.marked;
        markRow(request.row, 'D', true);
        status(std::to_string(deletion.marked) + " of " + std::to_string(deletion.total) +
               " messages marked deleted");
    }
    sendDeletes();
    if (deletion.inFlight > 0 || !deletion.waiting.empty()) {
        return;
    }
    const Deletion done = std::exchange(deletion, {});
    if (done.refused.empty()) {
        return;
    }
    std::string numbers;
    for (std::size_t i = 0; i < done.refused.size() && i < kRefusalsNamed; ++i) {
        numbers += (i == 0 ? " # " : ", ") + std::to_string(done.refused[i]);
    }
    if (done.refused.size() > kRefusalsNamed) {
        numbers += ", ...";
    }
    box("Unable to delete " + std::to_string(done.refused.size()) + " of " +
        std::to_string(done.total) + " messages (" + numbers.substr(1) + "). Try again");
}

void MailboxSession::reset() {
    if (!isConnected()) {
        box("Command invalid while disconnected.");
    } else if (!refuseWhileBusy()) {
        send({Pop3Command::Rset});
    }
    flush();
}

void MailboxSession::disconnect() {
    const Pop3State state = engine.state();
    if (state == Pop3State::Closed) {
        return;
    }
    if (state == Pop3State::Quitting || state == Pop3State::Greeting ||
        state == Pop3State::Failed) {
        // No answer to QUIT, or nothing said yet: the connection just ends.
        end();
        if (state == Pop3State::Quitting) {
            status("QUIT command not completed");
        }
        return;
    }
    // The listing stops here; replies already on their way are still read in turn.
    endListing();
    deletion.waiting.clear();
    if (send({Pop3Command::Quit})) {
        current = Stage::Quitting; // a second Disconnect ends it at once
    }
    flush();
}

void MailboxSession::boxClosed(int id, bool yes) {
    if (!boxOpen || id != boxId) {
        return; // a box of a session that has ended
    }
    boxOpen = false;
    const AfterBox after = std::exchange(afterBox, AfterBox::Nothing);
    if (after == AfterBox::Quit) {
        send({Pop3Command::Quit});
    } else if (after == AfterBox::Delete && yes && headers.has(afterBoxRow)) {
        send({Pop3Command::Dele, headers.number(afterBoxRow), afterBoxRow});
    } else if (after == AfterBox::DeleteRows && yes) {
        startDeletion(std::move(afterBoxRows));
    }
    afterBoxRows.clear();
    process(); // what arrived while the box was open
}

void MailboxSession::tokenRenewed(std::string token, const std::string& sentence) {
    if (renewal != Renewal::Awaited || current != Stage::Login || !isConnected()) {
        return; // the session has moved on
    }
    renewal = Renewal::Done;
    if (token.empty()) {
        box("The server refused the sign-in for " + account.EmailUsername + ". " + sentence,
            AfterBox::Quit);
    } else {
        accessToken = std::move(token);
        login();
    }
    process();
}

// --- The clock ---------------------------------------------------------------------------------

void MailboxSession::tick(bool keepAlive) {
    // NOOP only on an idle line: it must not come between a command and its reply.
    if (isConnected() && keepAlive && engine.keepAliveTick() && !listing()) {
        send({Pop3Command::Noop});
        flush();
    }
}

void MailboxSession::elapsed(int seconds) {
    // While a box is open the replies wait for the user, not the user for the server.
    const bool connecting = current == Stage::Connecting;
    if (!connecting &&
        (!isConnected() || boxOpen || !(engine.awaitingReply() || engine.awaitingTls()))) {
        silence = 0;
        return;
    }
    silence += seconds;
    if (silence < kSilenceLimitSeconds) {
        return;
    }
    if (pipelining() && engine.inFlight().size() > 1) {
        // A server that announces PIPELINING and drops what comes behind the first command
        // would stall every listing.
        unpipelined.insert(storeKey);
        emit(SessionEvent::Kind::DebugText,
             "The server left pipelined commands unanswered: this account is listed one "
             "command at a time until Corvane is restarted.\r\n");
    }
    if (connecting) {
        const settings::ServerAddress address =
            settings::parseServerAddress(account.POPAddress, settings::kDefaultPopPort);
        const bool secure = account.POPSecurity == settings::Security::Tls;
        fail("Error: No answer to the " + std::string(secure ? "secure " : "") +
             "connection from " + address.host + ":" + std::to_string(address.port) +
             " for 60 seconds");
        return;
    }
    fail("Error: No reply from server for 60 seconds, connection closed");
}

} // namespace session
