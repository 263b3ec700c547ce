// The session's rules as whole conversations (tests/data/pop3/session.conversations), each
// replayed with every server block whole, cut at every point, and byte by byte.
#include "session/MailboxSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <map>
#include <sstream>

using session::MailboxSession;
using session::SessionEvent;
using Kind = session::SessionEvent::Kind;

namespace {

std::string Escaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text.compare(i, 2, "\r\n") == 0 ? (++i, "|") : std::string(1, text[i]);
    }
    return out;
}

// "\xHH" in a server line stands for that byte.
std::string Unescaped(const std::string& line) {
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const bool hex = line.compare(i, 2, "\\x") == 0 && i + 3 < line.size();
        out += hex ? char(std::stoi(line.substr(i + 2, 2), nullptr, 16)) : line[i];
        i += hex ? 3 : 0;
    }
    return out;
}

std::string Joined(std::vector<std::string> words) {
    std::sort(words.begin(), words.end());
    std::string out;
    for (const std::string& w : words) {
        out += " " + w;
    }
    return out;
}

// Entries in memory; every write is logged as an event. `chunk` caps what one read returns,
// and read number `failRead` (from 1) fails after filling in what it found.
class MemoryStore final : public session::HeaderStore {
public:
    std::function<void(std::string)> log;
    std::map<std::string, std::string> entries; // one account is enough here
    int chunk = 1 << 20, failRead = 0, reads = 0;

    Read loadSome(const std::string&, Entries& out, std::string& after, int limit) override {
        auto it = after.empty() ? entries.begin() : entries.upper_bound(after);
        for (int n = 0; it != entries.end() && n < std::min(limit, chunk); ++it, ++n) {
            out[it->first] = it->second;
            after = it->first;
        }
        return ++reads == failRead ? Read::Failed : it == entries.end() ? Read::Done : Read::More;
    }
    void store(const std::string&,
               const std::vector<std::pair<std::string, std::string>>& added) override {
        std::vector<std::string> ids;
        for (const auto& [uid, source] : added) {
            entries[uid] = source;
            ids.push_back(uid);
        }
        log("store" + Joined(ids));
    }
    void keepOnly(const std::string&, const std::unordered_set<std::string>& uids) override {
        std::erase_if(entries, [&](const auto& e) { return !uids.count(e.first); });
        log("keep only" + Joined({uids.begin(), uids.end()}));
    }
    void forget(const std::string&, const std::vector<std::string>& uids) override {
        for (const std::string& uid : uids) {
            entries.erase(uid);
        }
        log("forget" + Joined(uids));
    }
};

bool MultiLine(const std::string& command) {
    return command == "CAPA" || command == "LIST" || command == "UIDL" || command == "TOP" ||
           command == "RETR";
}

// Plays one conversation. Client lines must go out exactly where the script has them: not
// while a server block is still arriving, and, without PIPELINING, not before the reply to
// the command before (the user's own commands aside).
class Player {
public:
    explicit Player(std::size_t cut) : cut(cut) {
        store.log = [this](std::string line) {
            drain();
            seen.push_back(std::move(line));
        };
        rules.setHeaderStore(&store);
        rules.setNonceSource([] { return std::string("fyko+d2lbbFgONRv9qkxdawL"); });
        rules.setAccessToken("tok-123");
        account.POPAddress = "mail.example.test";
        account.EmailUsername = "alice";
        account.EmailPass = "secret";
    }

    std::string play(const std::vector<std::string>& script) {
        for (std::size_t i = 0; i < script.size() && failure.empty();) {
            const std::string& step = script[i];
            const std::string text = step.size() > 3 ? step.substr(3) : "";
            if ((step.starts_with("S:") || step.starts_with("U:")) && !sent.empty()) {
                failure = "unexpected " + sent.front();
            } else if (step.starts_with("S:")) {
                std::string block;
                for (; i < script.size() && script[i].starts_with("S:"); ++i) {
                    block += Unescaped(script[i].size() > 3 ? script[i].substr(3) : "") + "\r\n";
                }
                deliver(block);
                continue;
            } else if (step.starts_with("U:")) {
                user(text);
            } else if (step.starts_with("C:")) {
                expect(sent, "C: " + text);
            } else if (step.starts_with("E:")) {
                expect(seen, text);
            }
            if (!failure.empty()) {
                failure = "step " + std::to_string(i) + ": " + failure;
            }
            ++i;
        }
        for (const std::string& e : seen) {
            if (failure.empty() && !e.starts_with("status ")) {
                failure = "after the script: unexpected " + e;
            }
        }
        return failure.empty() && !sent.empty() ? "after the script: " + sent.front() : failure;
    }

private:
    // The next event must be `want`; status texts not asked for are passed over.
    void expect(std::deque<std::string>& from, const std::string& want) {
        while (!from.empty() && from.front() != want && from.front().starts_with("status ") &&
               !want.starts_with("C:")) {
            from.pop_front();
        }
        if (from.empty() || from.front() != want) {
            failure = "expected " + want + ", got " + (from.empty() ? "nothing" : from.front());
        } else {
            from.pop_front();
        }
    }

    void deliver(const std::string& block) {
        std::vector<std::string> pieces;
        if (cut == 0 || cut >= block.size()) {
            pieces = {block};
        } else if (cut == 1) {
            for (char c : block) {
                pieces.emplace_back(1, c);
            }
        } else {
            pieces = {block.substr(0, cut - 1), block.substr(cut - 1)};
        }
        for (std::size_t p = 0; p < pieces.size(); ++p) {
            rules.received(pieces[p]);
            settle();
            if (p + 1 < pieces.size() && !fresh.empty()) {
                failure = fresh.front() + " went out before the server's block was complete";
                return;
            }
        }
        std::istringstream lines(block);
        for (std::string line; std::getline(lines, line);) {
            frame(line.substr(0, line.size() - 1));
        }
        checkOrder(false);
    }

    // Which of the commands sent the server's line answers.
    void frame(const std::string& line) {
        if (awaiting.empty()) {
            return;
        }
        if (inMulti) {
            pipelining = pipelining || (awaiting.front() == "CAPA" && line == "PIPELINING");
            if (line == ".") {
                inMulti = false;
                awaiting.pop_front();
            }
        } else if (awaiting.front() == "AUTH" && (line == "+" || line.starts_with("+ "))) {
            challenged = true; // one client line answers it
        } else if (line.starts_with("+OK")) {
            inMulti = MultiLine(awaiting.front());
            if (!inMulti) {
                awaiting.pop_front();
            }
        } else if (line.starts_with("-ERR")) {
            awaiting.pop_front();
        }
    }

    void checkOrder(bool usersOwn) {
        for (const std::string& line : std::exchange(fresh, {})) {
            if (std::exchange(challenged, false)) {
                continue;
            }
            if (!usersOwn && !pipelining && !awaiting.empty() && failure.empty()) {
                failure = line + " went out before the reply to " + awaiting.front();
            }
            awaiting.push_back(line.substr(3, line.find(' ', 3) - 3));
        }
    }

    void user(const std::string& command) {
        std::istringstream words(command);
        std::string verb, arg;
        words >> verb >> arg;
        const int n = arg.empty() || std::isalpha(arg[0]) ? 0 : std::stoi(arg);
        bool usersOwn = true;
        if (verb == "get" || verb == "connect") {
            // "get mail [tls|starttls] [sasl|oauth2]", "connect [tls]"
            std::string login;
            if (verb == "get") {
                words >> arg >> login;
            }
            if (arg == "sasl" || arg == "oauth2") {
                std::swap(arg, login);
            }
            account.POPAuth = settings::PopAuthFromText(login == "sasl"     ? "SASL"
                                                        : login == "oauth2" ? "OAuth2"
                                                                            : "");
            account.POPSecurity = arg == "tls"        ? settings::Security::Tls
                                  : arg == "starttls" ? settings::Security::StartTls
                                                      : settings::Security::None;
            rules.begin(account);
            if (verb == "connect") {
                settle();
                return;
            }
            if (arg == "tls") {
                rules.tlsStarted("TLS\r\n");
            }
            rules.connected();
            awaiting = {"greeting"};
            pipelining = inMulti = usersOwn = false;
        } else if (verb == "tls") {
            rules.tlsStarted("TLS\r\n");
            pipelining = usersOwn = false;
        } else if (verb == "cap") {
            rules.setMaxReplyBytes(cap = n);
        } else if (verb == "closed") {
            rules.closed();
        } else if (verb == "hang") { // the server hangs up
            rules.serverClosed();
            rules.closed();
        } else if (verb == "tick") {
            for (int t = 0; t < n; ++t) {
                rules.tick(true);
            }
            usersOwn = false;
        } else if (verb == "seconds") {
            for (int t = 0; t < n; ++t) {
                rules.elapsed(1);
            }
        } else if (verb.starts_with("view")) { // "view", "view+" (View), "view!" (skip spam)
            using Mode = MailboxSession::ViewMode;
            rules.view(n, verb == "view"    ? Mode::DoubleClick
                          : verb == "view+" ? Mode::View
                                            : Mode::ViewSkippingSpam);
        } else if ((verb == "delete" || verb == "delete?") && arg.find(',') != arg.npos) {
            std::vector<int> rows; // "delete 0,2,3": the rows together; they wait their turn
            for (std::istringstream list(arg); std::getline(list, arg, ',');) {
                rows.push_back(std::stoi(arg));
            }
            rules.removeRows(rows, verb == "delete?");
            usersOwn = false;
        } else if (verb == "delete" || verb == "delete?") {
            rules.remove(n, verb == "delete?");
        } else if (verb == "renewed" || verb == "unrenewed") { // the answer to "token refused"
            rules.tokenRenewed(arg, arg.empty() ? "Please sign in again." : "");
        } else if (verb == "reset") {
            rules.reset();
        } else if (verb == "disconnect") {
            rules.disconnect();
        } else if (verb == "ok" || verb == "yes" || verb == "no") {
            rules.boxClosed(boxId, verb == "yes");
        } else if (verb == "store") { // "store chunk N" or "store fail N"
            std::string value;
            words >> value;
            (arg == "chunk" ? store.chunk : store.failRead) = std::stoi(value);
            store.reads = 0;
        } else {
            failure = "unknown step U: " + command;
        }
        settle();
        checkOrder(usersOwn);
    }

    // Drains the events, running the steps asked for later as the event loop would.
    void settle() {
        drain();
        while (std::exchange(laterDue, false)) {
            rules.resume();
            drain();
        }
    }

    void drain() {
        static const std::map<Kind, std::string> names = {
            {Kind::Status, "status "},  {Kind::Note, "note "},
            {Kind::BusyNote, "note "},  {Kind::Box, "box "},
            {Kind::RowMarked, "mark "}, {Kind::Select, "select "},
            {Kind::Close, "close"},     {Kind::StartTls, "start tls"},
            {Kind::RowAdded, "row "},   {Kind::Downloaded, "downloaded "}};
        while (std::optional<SessionEvent> e = rules.next()) {
            const session::HeaderList& rows = rules.rows();
            if (e->kind == Kind::Write) {
                for (std::size_t at = 0, end; (end = e->text.find("\r\n", at)) != std::string::npos;
                     at = end + 2) {
                    sent.push_back("C: " + e->text.substr(at, end - at));
                    fresh.push_back(sent.back());
                }
            }
            debugged(*e);
            laterDue = laterDue || e->kind == Kind::Later;
            boxId = e->kind == Kind::Box ? e->row : boxId;
            if (e->kind == Kind::TokenRefused) {
                seen.push_back("token refused");
            }
            if (!names.count(e->kind)) {
                continue; // writes, the pointer, the debug buffer, the listing's end
            }
            std::string text = e->kind == Kind::Box && e->flag ? "question " : names.at(e->kind);
            if (e->kind == Kind::RowAdded) {
                text += std::to_string(rows.number(e->row)) + ":" + rows.shown(e->row).substr(40);
            } else if (e->kind == Kind::RowMarked) {
                text += std::to_string(e->row) + " " + rows.mark(e->row);
            } else if (e->kind == Kind::Select) { // "after" in the server's order
                text += std::to_string(e->flag ? std::min(e->row + 1, rows.size() - 1) : e->row);
            }
            seen.push_back(text + Escaped(e->text));
        }
    }

    // The debug buffer as the window keeps it, shown when a reply is cut off (N: its byte
    // count passed the cap). A cut names the reply whose first bytes came last, or none.
    void debugged(const SessionEvent& e) {
        if (e.kind == Kind::DebugBytes && e.row > 0) {
            mark = {e.row, debug.size()};
        }
        if (e.kind == Kind::DebugCut) {
            debug.resize(e.row == 0 ? debug.size() : e.row == mark.first ? mark.second : 0);
            std::string line = e.text;
            const std::size_t at = line.find("after ") + 6, n = std::stoul(line.substr(at));
            line.replace(at, std::to_string(n).size(), n > cap ? "N" : "?");
            seen.push_back("debug " + Escaped(debug + line));
        } else if (e.kind == Kind::DebugClear) {
            debug.clear();
        } else if (e.kind == Kind::DebugText || e.kind == Kind::DebugBytes) {
            debug += e.text; // appended in place: a listing of 40,000 rows sends as many pieces
        }
    }

    std::size_t cut, cap = 0;
    std::string debug;
    std::pair<int, std::size_t> mark; // the last reply begun, and where
    MailboxSession rules;
    MemoryStore store;
    AccountRecord account;
    std::deque<std::string> sent, seen, awaiting;
    std::vector<std::string> fresh; // client lines not yet checked for order
    bool pipelining = false, inMulti = false, laterDue = false, challenged = false;
    int boxId = 0;
    std::string failure;
};

struct Conversation {
    std::string name;
    std::vector<std::string> steps;
};

// "@ file" takes the steps of tests/data/pop3/file.
std::vector<Conversation> Load() {
    std::vector<Conversation> all;
    std::ifstream in(CORVANE_TEST_DATA "/pop3/session.conversations");
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("== ")) {
            all.push_back({line.substr(3), {}});
        } else if (line.starts_with("@ ")) {
            std::ifstream part(CORVANE_TEST_DATA "/pop3/" + line.substr(2));
            for (std::string step; std::getline(part, step);) {
                if (!step.empty() && step[0] != '#') {
                    all.back().steps.push_back(step);
                }
            }
        } else if (!line.empty() && line[0] != '#') {
            all.back().steps.push_back(line);
        }
    }
    return all;
}

} // namespace

TEST(MailboxSession, ConversationsAtEveryCut) {
    const std::vector<Conversation> conversations = Load();
    ASSERT_GT(conversations.size(), 10u);
    for (const Conversation& c : conversations) {
        std::size_t longest = 0, block = 0;
        for (const std::string& step : c.steps) {
            block = step.starts_with("S:") ? block + step.size() - 1 : 0;
            longest = std::max(longest, block);
        }
        for (std::size_t cut = 0; cut <= longest + 1; ++cut) {
            EXPECT_EQ(Player(cut).play(c.steps), "") << c.name << ", cut " << cut;
            if (::testing::Test::HasFailure()) {
                return; // one report per fault is enough
            }
        }
    }
}

// Numbers past 16 bits are rows like any other: listed, counted, opened and deleted.
TEST(MailboxSession, FortyThousandMessages) {
    constexpr int kCount = 40000;
    std::vector<std::string> steps = {"U: get mail",    "S: +OK ready", "C: CAPA",       "S: +OK",
                                      "S: USER",        "S: .",         "C: USER alice", "S: +OK",
                                      "C: PASS secret", "S: +OK",       "C: LIST",       "S: +OK"};
    for (int n = 1; n <= kCount; ++n) {
        steps.push_back("S: " + std::to_string(n) + " 2000");
    }
    steps.push_back("S: .");
    for (int n = 1; n <= kCount; ++n) {
        steps.push_back("E: row " + std::to_string(n) + ":2k ");
    }
    for (const char* step :
         {"E: status 40000 Messages listed", "U: view 32768", "C: RETR 32769", "S: +OK", "S: .",
          "E: status Message # 32769 of 40000 Complete", "E: mark 32768 R", "E: downloaded +OK|.|",
          "U: delete 39999", "C: DELE 40000", "S: +OK",
          "E: status Message # 40000 of 40000 marked deleted", "E: mark 39999 D",
          "E: select 39999"}) {
        steps.emplace_back(step);
    }
    EXPECT_EQ(Player(0).play(steps), "");
}
