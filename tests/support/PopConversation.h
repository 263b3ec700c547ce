#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

class FakeTransport;

// A POP3 conversation written the way it reads:
//   "C: USER alice"  the client must send this line next,
//   "S: +OK"         the server sends this line (CR LF is added),
// and Act(...) steps for what the user does in between. Consecutive server lines go out
// together, cut into pieces wherever the cutter says.
struct PopStep {
    enum class Kind { Client, Server, Action };
    Kind kind = Kind::Server;
    std::string line;
    std::function<void()> action;

    PopStep(const char* text);
    PopStep(std::string_view text);
    PopStep(std::function<void()> act);
};

using PopScript = std::vector<PopStep>;

// A user action inside a script.
PopStep Act(std::function<void()> action);

// The server bytes of a script, in order.
std::string ServerBytes(const PopScript& script);

// Decides where pieces end: called with the offset (in ServerBytes) of each byte after the
// first of a block; true starts a new piece there.
using Cutter = std::function<bool(std::size_t offset)>;

// The whole block as one piece; one byte per piece; one cut at offset k.
Cutter Whole();
Cutter EveryByte();
Cutter CutAt(std::size_t k);

// Plays the script against the client behind `transport`. Returns "" when the client sent
// exactly the expected lines, else a description of the first difference.
std::string PlayConversation(FakeTransport& transport, const PopScript& script,
                             const Cutter& cutter = Whole());
