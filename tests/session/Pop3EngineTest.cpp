// The POP3 engine as conversations (tests/data/pop3/engine.conversations): every one is
// replayed with the server's bytes cut at every point, and must give the same events.
#include "session/Pop3Engine.h"
#include "decoding/TestData.h"
#include "session/Capabilities.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <sstream>
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
    {"CAPA", Pop3Command::Capa}, {"STLS", Pop3Command::Stls}, {"UIDL", Pop3Command::Uidl},
    {"AUTH", Pop3Command::Auth},
};

std::string Name(Pop3Command c) {
    const auto it = std::find_if(kCommands.begin(), kCommands.end(),
                                 [c](const auto& entry) { return entry.second == c; });
    return it == kCommands.end() ? "Greeting" : it->first;
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
    static const char* const kinds[] = {"ok",    "err",       "piece",   "reply",
                                        "stray", "too large", "continue"};
    std::string out = kinds[static_cast<int>(e.kind)];
    if (e.request) {
        out += " " + Name(e.request->command);
        if (e.request->number != 0) {
            out += " " + std::to_string(e.request->number);
        }
    } else if (e.kind != Pop3Event::Kind::Stray && e.kind != Pop3Event::Kind::TooLarge) {
        out += " -";
    }
    return e.text.empty() ? out : out + " " + Escaped(e.text);
}

struct Conversation {
    std::string name;
    std::vector<std::string> script;
    std::vector<std::string> events;
    Pop3State end = Pop3State::Transaction;
    std::size_t cap = session::ReplyScanner::kMaxReplyBytes;
};

std::vector<Conversation> Load() {
    const std::map<std::string, Pop3State> states = {{"Greeting", Pop3State::Greeting},
                                                     {"Authorization", Pop3State::Authorization},
                                                     {"Quitting", Pop3State::Quitting},
                                                     {"Failed", Pop3State::Failed}};
    std::vector<Conversation> all;
    std::istringstream text(testdata::ReadFile(testdata::Path("pop3/engine.conversations")));
    for (std::string line; std::getline(text, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const std::string value =
            testdata::Unescape(line.substr(std::min<std::size_t>(line.size(), 3)));
        if (line.starts_with("== ")) {
            all.push_back({value});
        } else if (line.starts_with("S:") || line.starts_with("C:")) {
            all.back().script.push_back(line.substr(0, 2) + " " + value);
        } else if (line.starts_with("E: ")) {
            all.back().events.push_back(value);
        } else if (line.starts_with("end: ")) {
            all.back().end = states.at(line.substr(5));
        } else if (line.starts_with("cap: ")) {
            all.back().cap = std::stoul(line.substr(5));
        }
    }
    return all;
}

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
            const bool command = kCommands.count(word) > 0; // else it answers a challenge
            Pop3Request r{command ? kCommands.at(word) : Pop3Command::Noop};
            std::string argument;
            if (!command) {
                engine.sendLine(line);
            } else if (r.command == Pop3Command::User || r.command == Pop3Command::Pass ||
                       r.command == Pop3Command::Auth) {
                argument = line.substr(5);
            } else if (line.size() > word.size()) {
                r.number = std::stoi(line.substr(word.size() + 1));
            }
            if (command) {
                engine.send(r, argument);
            }
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

INSTANTIATE_TEST_SUITE_P(Conversations, Pop3EngineTest, testing::ValuesIn(Load()),
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

// The first piece of a RETR reply tells the size its status line announces (at most the cap),
// so that the reply and the debug buffer can make room once; other pieces and replies say 0.
TEST(Pop3Engine, TheFirstPieceOfAMessageTellsItsAnnouncedSize) {
    const struct {
        Pop3Command command;
        const char* status;
        std::size_t announced;
    } cases[] = {
        {Pop3Command::Retr, "+OK 1234 octets", 1234},
        {Pop3Command::Retr, "+OK  77", 77},
        {Pop3Command::Retr, "+OK message follows", 0},
        {Pop3Command::Retr, "+OK 16000000 octets", 16000000}, // a short message, all the same
        {Pop3Command::Retr, "+OK 99999999999999999999999999 octets", std::size_t{1} << 24},
        {Pop3Command::Top, "+OK 1234 octets", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        Pop3Engine engine(std::size_t{1} << 24);
        engine.connected();
        engine.feed("+OK\r\n");
        engine.next();
        engine.send({c.command, 1});
        engine.feed(std::string(c.status) + "\r\nSubject: x\r\n");
        const auto first = engine.next();
        ASSERT_TRUE(first && first->kind == Pop3Event::Kind::Piece);
        EXPECT_EQ(first->bytes, c.announced);
        engine.feed("\r\nbody\r\n.\r\n");
        const auto second = engine.next();
        ASSERT_TRUE(second && second->kind == Pop3Event::Kind::Piece);
        EXPECT_EQ(second->bytes, 0u);
        const auto reply = engine.next();
        ASSERT_TRUE(reply && reply->kind == Pop3Event::Kind::Reply);
        EXPECT_EQ(reply->text, std::string(c.status) + "\r\nSubject: x\r\n\r\nbody\r\n.\r\n");
        // Room announced and not used is not kept with the message.
        EXPECT_LE(reply->text.capacity(), 65536u);
    }
}

} // namespace

TEST(CapabilitiesTest, ReadsTheReplyAndAssumesTheOldCommandsWithoutOne) {
    const auto caps = session::Capabilities::FromReply(
        "+OK\r\ntop\r\nUIDL\r\nSASL PLAIN LOGIN\r\n..odd\r\nPIPELINING\r\n.\r\n");
    EXPECT_EQ(caps.lines(),
              (std::vector<std::string>{"top", "UIDL", "SASL PLAIN LOGIN", ".odd", "PIPELINING"}));
    EXPECT_TRUE(caps.top() && caps.uidl() && caps.pipelining() && caps.has("sasl"));
    EXPECT_FALSE(caps.has("SASL PLAIN") || caps.has("STLS"));
    const auto bare = session::Capabilities::FromReply("+OK\r\nUSER\r\n.\r\n");
    EXPECT_FALSE(bare.top() || bare.uidl() || bare.pipelining());
    const session::Capabilities old; // CAPA refused
    EXPECT_TRUE(old.top() && !old.uidl() && !old.pipelining() && !old.announced());
}
