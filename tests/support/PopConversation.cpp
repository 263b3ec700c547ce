#include "support/PopConversation.h"

#include "support/FakeTransport.h"

#include <deque>

PopStep::PopStep(const char* text) : PopStep(std::string_view(text)) {}

PopStep::PopStep(std::string_view text) {
    const bool client = text.substr(0, 2) == "C:";
    kind = client ? Kind::Client : Kind::Server;
    line = std::string(text.size() > 3 ? text.substr(3) : std::string_view());
}

PopStep::PopStep(std::function<void()> act) : kind(Kind::Action), action(std::move(act)) {}

PopStep Act(std::function<void()> action) {
    return PopStep(std::move(action));
}

std::string ServerBytes(const PopScript& script) {
    std::string bytes;
    for (const PopStep& s : script) {
        if (s.kind == PopStep::Kind::Server) {
            bytes.append(s.line).append("\r\n");
        }
    }
    return bytes;
}

Cutter Whole() {
    return [](std::size_t) { return false; };
}

Cutter EveryByte() {
    return [](std::size_t) { return true; };
}

Cutter CutAt(std::size_t k) {
    return [k](std::size_t offset) { return offset == k; };
}

std::string PlayConversation(FakeTransport& transport, const PopScript& script,
                             const Cutter& cutter) {
    std::deque<std::string> sent;
    auto collect = [&] {
        for (std::string& l : transport.takeLines()) {
            sent.push_back(std::move(l));
        }
    };
    collect();
    std::size_t offset = 0;
    for (std::size_t i = 0; i < script.size();) {
        const PopStep& step = script[i];
        if (step.kind == PopStep::Kind::Action) {
            step.action();
            collect();
            ++i;
            continue;
        }
        if (step.kind == PopStep::Kind::Client) {
            collect();
            if (sent.empty()) {
                return "step " + std::to_string(i) + ": expected C: " + step.line +
                       ", the client sent nothing";
            }
            if (sent.front() != step.line) {
                return "step " + std::to_string(i) + ": expected C: " + step.line +
                       ", got C: " + sent.front();
            }
            sent.pop_front();
            ++i;
            continue;
        }
        std::string block;
        while (i < script.size() && script[i].kind == PopStep::Kind::Server) {
            block.append(script[i].line).append("\r\n");
            ++i;
        }
        std::size_t start = 0;
        for (std::size_t at = 1; at < block.size(); ++at) {
            if (cutter(offset + at)) {
                transport.serverSends(std::string_view(block).substr(start, at - start));
                start = at;
            }
        }
        transport.serverSends(std::string_view(block).substr(start));
        offset += block.size();
        collect();
    }
    collect();
    if (!sent.empty()) {
        return "after the script: unexpected C: " + sent.front();
    }
    return {};
}
