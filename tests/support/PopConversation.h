#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class FakeTransport;

// A POP3 conversation written the way it reads:
//   "C: USER alice"  the client must send this line next,
//   "S: +OK"         the server sends this line (CR LF is added),
// and Act(...) steps for what the user does in between. Consecutive server lines go out
// together, in pieces of the size the player is given (0: one piece).
struct PopStep {
    enum class Kind { Client, Server, Action };
    Kind kind = Kind::Server;
    std::string line;
    std::function<void()> action;

    PopStep(const char* text) : PopStep(std::string_view(text)) {}
    PopStep(std::string_view text);
    PopStep(std::function<void()> act) : kind(Kind::Action), action(std::move(act)) {}
};

using PopScript = std::vector<PopStep>;

inline PopStep Act(std::function<void()> action) {
    return PopStep(std::move(action));
}

PopScript Join(std::initializer_list<PopScript> parts);

// The script in tests/data/pop3/name, one step a line ("#" lines are comments).
PopScript LoadScript(const std::string& name);

// Plays the script against the client behind transport. Returns "" when the client sent
// exactly the expected lines, else a description of the first difference.
std::string PlayConversation(FakeTransport& transport, const PopScript& script,
                             std::size_t piece = 0);
