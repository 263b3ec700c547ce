// The POP3 engine as a conversation: "C:" lines are commands the test sends (and the bytes
// the engine must write for them), "S:" lines are server bytes; every conversation is
// replayed with the server's bytes cut at every point, and must give the same events.
#include "session/Pop3Engine.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using session::Pop3Command;
using session::Pop3Engine;
using session::Pop3Event;
using session::Pop3Request;
using session::Pop3State;

namespace {

const std::map<std::string, Pop3Command> kCommands = {
    {"USER", Pop3Command::User}, {"PASS", Pop3Command::Pass}, {"LIST", Pop3Command::List},
    {"TOP", Pop3Command::Top},   {"RETR", Pop3Command::Retr}, {"DELE", Pop3Command::Dele},
    {"RSET", Pop3Command::Rset}, {"NOOP", Pop3Command::Noop}, {"QUIT", Pop3Command::Quit},
};

const char* Name(Pop3Command c) {
    for (const auto& [name, command] : kCommands) {
        if (command == c) {
            return name.c_str();
        }
    }
    return "Greeting";
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text.compare(i, 2, "\r\n") == 0 ? (++i, "|") : std::string(1, text[i]);
    }
    return out;
}

// One event as the tables write it: "ok USER +OK", "reply TOP 1 +OK|...|.|", "stray junk".
std::string Render(const Pop3Event& e) {
    static const char* const kinds[] = {"ok", "err", "piece", "reply", "stray", "too large"};
    std::string out = kinds[static_cast<int>(e.kind)];
    if (e.request) {
        out += std::string(" ") + Name(e.request->command);
        if (e.request->number != 0) {
            out += " " + std::to_string(e.request->number);
        }
    } else if (e.kind != Pop3Event::Kind::Stray && e.kind != Pop3Event::Kind::TooLarge) {
        out += " -";
    }
    return e.text.empty() ? out : out + " " + Escaped(e.text);
}

struct Conversation {
    const char* name;
    std::vector<std::string> script;
    std::vector<std::string> events; // pieces left out: they depend on the cuts
    Pop3State end = Pop3State::Transaction;
    std::size_t cap = session::ReplyScanner::kMaxReplyBytes;
};

void PrintTo(const Conversation& c, std::ostream* os) {
    *os << c.name;
}

// Plays the script, cutting the server's bytes where cut(offset) says; returns the events
// (or a description of the first wrong client line).
std::vector<std::string> Play(const Conversation& c, const std::function<bool(std::size_t)>& cut,
                              Pop3State* end = nullptr) {
    Pop3Engine engine(c.cap);
    engine.connected();
    std::vector<std::string> log;
    std::map<std::string, std::string> pieces; // per command: the pieces joined
    std::size_t offset = 0;
    auto drain = [&] {
        while (auto e = engine.next()) {
            if (e->kind == Pop3Event::Kind::Piece) {
                pieces[Name(e->request->command)] += e->text;
                continue;
            }
            if (e->kind == Pop3Event::Kind::Reply && e->request->command != Pop3Command::Retr &&
                std::exchange(pieces[Name(e->request->command)], "") != e->text) {
                log.push_back("pieces differ from the reply");
            }
            log.push_back(Render(*e));
        }
    };
    for (const std::string& step : c.script) {
        const std::string line = step.substr(3);
        if (step[0] == 'C') {
            const std::string word = line.substr(0, line.find(' '));
            Pop3Request r{kCommands.at(word)};
            std::string argument;
            if (r.command == Pop3Command::User || r.command == Pop3Command::Pass) {
                argument = line.substr(5);
            } else if (line.size() > word.size()) {
                r.number = std::stoi(line.substr(word.size() + 1));
            }
            engine.send(r, argument);
            const std::string sent = engine.takeOutgoing();
            if (sent != line + "\r\n") {
                return {"client sent " + Escaped(sent) + " for " + line};
            }
            continue;
        }
        const std::string bytes = line + "\r\n";
        for (std::size_t i = 0; i < bytes.size(); ++i, ++offset) {
            engine.feed(bytes.substr(i, 1));
            if (cut(offset + 1) || i + 1 == bytes.size()) {
                drain();
            }
        }
    }
    if (end) {
        *end = engine.state();
    }
    return log;
}

const Conversation kConversations[] = {
    {"a whole session",
     {"S: +OK ready",
      "C: USER alice",
      "S: +OK",
      "C: PASS secret",
      "S: +OK Logged in.",
      "C: LIST",
      "S: +OK 2 messages:",
      "S: 1 120",
      "S: 2 200",
      "S: .",
      "C: TOP 1 10",
      "S: +OK",
      "S: Subject: Hi",
      "S: ",
      "S: ..dotted",
      "S: .",
      "C: RETR 2",
      "S: +OK 200 octets",
      "S: ..hidden",
      "S: ...",
      "S: ..",
      "S: .",
      "C: DELE 1",
      "S: +OK Marked.",
      "C: NOOP",
      "S: +OK",
      "C: QUIT",
      "S: +OK Bye"},
     {"ok Greeting +OK ready", "ok USER +OK", "ok PASS +OK Logged in.",
      "reply LIST +OK 2 messages:|1 120|2 200|.|", "reply TOP 1 +OK|Subject: Hi||..dotted|.|",
      "reply RETR 2 +OK 200 octets|.hidden|..|.|.|", "ok DELE 1 +OK Marked.", "ok NOOP +OK",
      "ok QUIT +OK Bye"},
     Pop3State::Quitting},
    {"user refused",
     {"S: +OK", "C: USER bob", "S: -ERR no such user", "C: QUIT", "S: +OK"},
     {"ok Greeting +OK", "err USER -ERR no such user", "ok QUIT +OK"},
     Pop3State::Quitting},
    {"password refused",
     {"S: +OK", "C: USER a", "S: +OK", "C: PASS b", "S: -ERR [AUTH] Authentication failed."},
     {"ok Greeting +OK", "ok USER +OK", "err PASS -ERR [AUTH] Authentication failed."},
     Pop3State::Authorization},
    {"error as greeting", {"S: -ERR go away"}, {"err Greeting -ERR go away"}, Pop3State::Greeting},
    {"junk before the greeting",
     {"S: * hello", "S: more junk", "S: +OK ready", "C: USER a", "S: +OK"},
     {"stray * hello", "ok Greeting +OK ready", "ok USER +OK"},
     Pop3State::Authorization},
    {"empty mailbox and errors to multi-line commands",
     {"S: +OK", "C: USER a", "S: +OK", "C: PASS b", "S: +OK", "C: LIST", "S: +OK 0 messages:",
      "S: .", "C: TOP 1 10", "S: -ERR There's no message 1.", "C: RETR 9", "S: -ERR no"},
     {"ok Greeting +OK", "ok USER +OK", "ok PASS +OK", "reply LIST +OK 0 messages:|.|",
      "err TOP 1 -ERR There's no message 1.", "err RETR 9 -ERR no"}},
    {"lines nobody asked for: one stray event per run",
     {"S: +OK", "C: USER a", "S: +OK", "C: PASS b", "S: +OK", "S: a", "S: b", "S: -ERR idle",
      "S: +OK", "S: \xff\x01 binary", "S: +OK", "S: ", "C: NOOP", "S: +OK"},
     {"ok Greeting +OK", "ok USER +OK", "ok PASS +OK", "stray a", "err - -ERR idle", "ok - +OK",
      "stray \xff\x01 binary", "ok - +OK", "stray", "ok NOOP +OK"}},
    {"a stray line after each TOP reply",
     {"S: +OK", "C: USER a", "S: +OK", "C: PASS b", "S: +OK", "C: TOP 1 10", "S: +OK", "S: .",
      "S: ", "C: TOP 2 10", "S: +OK", "S: .", "S: "},
     {"ok Greeting +OK", "ok USER +OK", "ok PASS +OK", "reply TOP 1 +OK|.|", "stray",
      "reply TOP 2 +OK|.|", "stray"}},
    {"QUIT behind a TOP in flight takes its own answer",
     {"S: +OK", "C: USER a", "S: +OK", "C: PASS b", "S: +OK", "C: TOP 1 10", "C: QUIT", "S: +OK",
      "S: From: a", "S: .", "S: +OK Logging out."},
     {"ok Greeting +OK", "ok USER +OK", "ok PASS +OK", "reply TOP 1 +OK|From: a|.|",
      "ok QUIT +OK Logging out."},
     Pop3State::Quitting},
    {"end marks that are not",
     {"S: +OK", "C: USER a", "S: +OK", "C: PASS b", "S: +OK", "C: RETR 1", "S: +OK", "S: \r",
      "S: .\r.", "S: ..", "S: . ", "S: .", "C: NOOP", "S: +OK"},
     {"ok Greeting +OK", "ok USER +OK", "ok PASS +OK", "reply RETR 1 +OK|\r|\r.|.| |.|",
      "ok NOOP +OK"}},
    {"a reply past the cap ends the reading",
     {"S: +OK", "C: USER a", "S: +OK", "C: PASS b", "S: +OK", "C: RETR 1", "S: +OK",
      "S: " + std::string(80, 'x'), "S: " + std::string(80, 'y'), "S: ."},
     {"ok Greeting +OK", "ok USER +OK", "ok PASS +OK", "too large RETR 1"},
     Pop3State::Failed,
     120},
};

class Pop3EngineTest : public testing::TestWithParam<Conversation> {};

TEST_P(Pop3EngineTest, EveryCutGivesTheSameEvents) {
    const Conversation& c = GetParam();
    Pop3State end{};
    EXPECT_EQ(Play(
                  c, [](std::size_t) { return false; }, &end),
              c.events);
    EXPECT_EQ(end, c.end);
    EXPECT_EQ(Play(c, [](std::size_t) { return true; }), c.events) << "byte by byte";
    std::size_t total = 0;
    for (const std::string& step : c.script) {
        total += step[0] == 'S' ? step.size() - 1 : 0;
    }
    for (std::size_t k = 1; k < total; ++k) {
        ASSERT_EQ(Play(c, [k](std::size_t at) { return at == k; }), c.events) << "cut at " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Conversations, Pop3EngineTest, testing::ValuesIn(kConversations),
                         [](const auto& info) { return "c" + std::to_string(info.index); });

TEST(Pop3Engine, NothingIsSentOrReadWithoutAConnection) {
    Pop3Engine engine;
    EXPECT_FALSE(engine.send({Pop3Command::Noop}));
    engine.feed("+OK\r\n");
    EXPECT_FALSE(engine.next());
    engine.connected();
    ASSERT_TRUE(engine.send({Pop3Command::Retr, 1}));
    engine.feed("+OK\r\npart");
    EXPECT_TRUE(engine.next()); // a piece
    engine.closed();
    EXPECT_EQ(engine.state(), Pop3State::Closed);
    EXPECT_FALSE(engine.awaitingReply());
    EXPECT_EQ(engine.takeOutgoing(), "");
    // A new connection starts clean: the old half reply is gone.
    engine.connected();
    engine.feed("+OK hello\r\n");
    EXPECT_EQ(Render(*engine.next()), "ok Greeting +OK hello");
}

TEST(Pop3Engine, AnEndlessStatusLinePassesTheCap) {
    Pop3Engine engine(120);
    engine.connected();
    engine.feed(std::string(100, '+'));
    EXPECT_FALSE(engine.next());
    engine.feed(std::string(100, '+'));
    EXPECT_EQ(Render(*engine.next()), "too large");
    EXPECT_EQ(engine.state(), Pop3State::Failed);
    EXPECT_FALSE(engine.send({Pop3Command::Noop}));
}

TEST(Pop3Engine, KeepAliveIsDueAfterSixtyIdleTicks) {
    Pop3Engine engine;
    engine.connected();
    engine.feed("+OK\r\n");
    engine.next();
    for (int i = 1; i < Pop3Engine::kKeepAliveTicks; ++i) {
        ASSERT_FALSE(engine.keepAliveTick()) << i;
    }
    EXPECT_TRUE(engine.keepAliveTick());
    engine.send({Pop3Command::Noop}); // sending starts the count again
    for (int i = 0; i < 100; ++i) {
        ASSERT_FALSE(engine.keepAliveTick()) << "never while a reply is awaited";
    }
    engine.feed("+OK\r\n");
    engine.next();
    EXPECT_TRUE(engine.keepAliveTick());
}

} // namespace
