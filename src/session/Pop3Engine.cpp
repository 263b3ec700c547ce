#include "session/Pop3Engine.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace session {

namespace {

constexpr std::size_t kKeptInboxBytes = std::size_t{1} << 20;

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The size a status line such as "+OK 1234 octets" announces, at most the cap; 0 when it
// names none.
std::size_t AnnouncedSize(std::string_view line, std::size_t cap) {
    cap = std::min(cap, std::numeric_limits<std::size_t>::max() / 16); // size * 10 cannot wrap
    std::size_t size = 0;
    std::size_t at = 3; // after "+OK"
    while (at < line.size() && line[at] == ' ') {
        ++at;
    }
    for (; at < line.size() && line[at] >= '0' && line[at] <= '9' && size <= cap; ++at) {
        size = size * 10 + static_cast<std::size_t>(line[at] - '0');
    }
    return std::min(size, cap);
}

std::string commandLine(const Pop3Request& r, std::string_view argument) {
    const std::string n = std::to_string(r.number);
    switch (r.command) {
    case Pop3Command::User:
        return "USER " + std::string(argument);
    case Pop3Command::Pass:
        return "PASS " + std::string(argument);
    case Pop3Command::Auth:
        return "AUTH " + std::string(argument);
    case Pop3Command::List:
        return "LIST";
    case Pop3Command::Top:
        return "TOP " + n + " " + std::to_string(Pop3Engine::kTopLines);
    case Pop3Command::Retr:
        return "RETR " + n;
    case Pop3Command::Dele:
        return "DELE " + n;
    case Pop3Command::Rset:
        return "RSET";
    case Pop3Command::Quit:
        return "QUIT";
    case Pop3Command::Capa:
        return "CAPA";
    case Pop3Command::Stls:
        return "STLS";
    case Pop3Command::Uidl:
        return "UIDL";
    case Pop3Command::Noop:
    case Pop3Command::Greeting:
        break;
    }
    return "NOOP";
}

} // namespace

bool IsMultiLine(Pop3Command command) {
    return command == Pop3Command::List || command == Pop3Command::Top ||
           command == Pop3Command::Retr || command == Pop3Command::Capa ||
           command == Pop3Command::Uidl;
}

Pop3Engine::Pop3Engine(std::size_t maxReplyBytes)
    : maxReplyBytes(maxReplyBytes), scanner(maxReplyBytes) {}

void Pop3Engine::setMaxReplyBytes(std::size_t bytes) {
    maxReplyBytes = bytes;
    if (!collecting) {
        scanner = ReplyScanner(bytes);
    }
}

void Pop3Engine::resetFraming() {
    inbox.clear();
    inboxPos = lineScan = 0;
    collecting = false;
    replyDone = false;
    strayRun = false;
    scanner.Reset();
    std::string().swap(reply); // a reply broken off gives its memory back
}

void Pop3Engine::connected() {
    resetFraming();
    tlsPending = false;
    queue.assign(1, Pop3Request{Pop3Command::Greeting});
    outgoing.clear();
    current = Pop3State::Greeting;
}

void Pop3Engine::closed() {
    resetFraming();
    tlsPending = false;
    queue.clear();
    outgoing.clear();
    current = Pop3State::Closed;
}

void Pop3Engine::tlsStarted() {
    resetFraming();
    tlsPending = false;
}

bool Pop3Engine::send(const Pop3Request& request, std::string_view argument) {
    if (current == Pop3State::Closed || current == Pop3State::Failed) {
        return false;
    }
    outgoing += commandLine(request, argument);
    outgoing += "\r\n";
    queue.push_back(request);
    keepAlive = kKeepAliveTicks;
    if (request.command == Pop3Command::Quit) {
        current = Pop3State::Quitting;
    }
    return true;
}

bool Pop3Engine::sendLine(std::string_view line) {
    if (current == Pop3State::Closed || current == Pop3State::Failed) {
        return false;
    }
    outgoing += line;
    outgoing += "\r\n";
    return true;
}

std::string Pop3Engine::takeOutgoing() {
    return std::exchange(outgoing, std::string());
}

bool Pop3Engine::inFlight(Pop3Command command) const {
    return std::any_of(queue.begin(), queue.end(),
                       [command](const Pop3Request& r) { return r.command == command; });
}

bool Pop3Engine::keepAliveTick() {
    if (keepAlive > 0) {
        --keepAlive;
    }
    return keepAlive == 0 && queue.empty();
}

void Pop3Engine::feed(std::string_view bytes) {
    if (current == Pop3State::Closed || current == Pop3State::Failed || bytes.empty() ||
        tlsPending) {
        return;
    }
    compact();
    inbox.append(bytes);
}

void Pop3Engine::releaseBuffers() {
    std::string().swap(reply);
    std::string().swap(inbox);
    inboxPos = lineScan = 0;
}

void Pop3Engine::compact() {
    if (inboxPos == inbox.size()) {
        // A burst of a large reply may have grown the buffer far beyond the usual piece.
        if (inbox.capacity() > kKeptInboxBytes) {
            std::string().swap(inbox);
        }
        inbox.clear();
        inboxPos = lineScan = 0;
    } else if (inboxPos >= (std::size_t{1} << 16) && inboxPos * 2 >= inbox.size()) {
        // A line that always arrives half must not keep everything read before it.
        inbox.erase(0, inboxPos);
        lineScan -= std::min(lineScan, inboxPos);
        inboxPos = 0;
    }
}

std::optional<Pop3Event> Pop3Engine::next() {
    if (replyDone) {
        return completeReply();
    }
    if (current == Pop3State::Closed || current == Pop3State::Failed || inboxPos >= inbox.size()) {
        compact();
        return std::nullopt;
    }
    return collecting ? multiLine() : statusLine();
}

std::optional<Pop3Event> Pop3Engine::statusLine() {
    for (;;) {
        const std::size_t eol = inbox.find("\r\n", std::max(lineScan, inboxPos));
        if (eol == std::string::npos) {
            // Look again only at what arrives next (and a CR that may start the line end).
            lineScan = std::max(inboxPos, inbox.size() - 1);
            if (const std::size_t read = inbox.size() - inboxPos; read > maxReplyBytes) {
                current = Pop3State::Failed;
                releaseBuffers();
                return Pop3Event{Pop3Event::Kind::TooLarge, std::nullopt, {}, read};
            }
            compact();
            return std::nullopt;
        }
        const std::string_view line = std::string_view(inbox).substr(inboxPos, eol - inboxPos);
        std::optional<Pop3Request> head;
        if (!queue.empty()) {
            head = queue.front();
        }
        const bool ok = startsWith(line, "+OK");
        const bool err = startsWith(line, "-ER");
        if (ok && head && IsMultiLine(head->command)) {
            // The status line is the first line of the reply; the collector takes it on.
            strayRun = false;
            collecting = true;
            scanner.Reset();
            reply.clear();
            // A message whose size is announced is collected without growing the buffer
            // (and copying it) time and again; the slack is for the dots of stuffed lines.
            announced = head->command == Pop3Command::Retr ? AnnouncedSize(line, maxReplyBytes) : 0;
            if (announced > 0) {
                reply.reserve(std::min(announced + announced / 32 + 1024, maxReplyBytes));
            }
            return multiLine();
        }
        std::string text(line);
        inboxPos = eol + 2;
        lineScan = inboxPos;
        if (head && head->command == Pop3Command::Auth && (line == "+" || startsWith(line, "+ "))) {
            strayRun = false;
            return Pop3Event{Pop3Event::Kind::Continue, head,
                             text.substr(std::min<std::size_t>(2, text.size()))};
        }
        if (!ok && !err) {
            if (std::exchange(strayRun, true)) {
                continue;
            }
            return Pop3Event{Pop3Event::Kind::Stray, std::nullopt, std::move(text)};
        }
        strayRun = false;
        if (head) {
            queue.pop_front();
            if (ok && head->command == Pop3Command::Greeting) {
                current = Pop3State::Authorization;
            } else if (ok &&
                       (head->command == Pop3Command::Pass || head->command == Pop3Command::Auth)) {
                current = Pop3State::Transaction;
            } else if (ok && head->command == Pop3Command::Stls) {
                // Bytes after this line came before the handshake, in clear: an attacker
                // on the way could have put them there.
                resetFraming();
                tlsPending = true;
            }
        }
        return Pop3Event{ok ? Pop3Event::Kind::Ok : Pop3Event::Kind::Err, head, std::move(text)};
    }
}

std::optional<Pop3Event> Pop3Engine::multiLine() {
    const std::string_view piece = std::string_view(inbox).substr(inboxPos);
    const std::size_t before = scanner.BytesSeen();
    scanner.Feed(piece);
    const std::size_t take = scanner.Complete() ? scanner.EndOffset() - before : piece.size();
    std::string part(piece.substr(0, take));
    reply += part;
    inboxPos += take;
    lineScan = inboxPos;
    if (scanner.TooLarge()) {
        current = Pop3State::Failed;
        releaseBuffers(); // a reply cut off gives its memory back
        return Pop3Event{Pop3Event::Kind::TooLarge, queue.front(), {}, scanner.BytesSeen()};
    }
    replyDone = scanner.Complete();
    return Pop3Event{Pop3Event::Kind::Piece, queue.front(), std::move(part),
                     std::exchange(announced, 0)};
}

Pop3Event Pop3Engine::completeReply() {
    replyDone = false;
    collecting = false;
    scanner.Reset();
    const Pop3Request head = queue.front();
    queue.pop_front();
    std::string whole = std::exchange(reply, std::string());
    if (head.command == Pop3Command::Retr) {
        DotUnstuffInPlace(whole);
        if (whole.capacity() > whole.size() + whole.size() / 16 + 65536) {
            whole.shrink_to_fit(); // a size announced too large is not held with the message
        }
    }
    return Pop3Event{Pop3Event::Kind::Reply, head, std::move(whole)};
}

} // namespace session
