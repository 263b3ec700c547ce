#include "support/PopConversation.h"

#include "support/FakeTransport.h"

#include <deque>
#include <fstream>
#include <stdexcept>

PopStep::PopStep(std::string_view text) {
    kind = text.substr(0, 2) == "C:" ? Kind::Client : Kind::Server;
    line = std::string(text.size() > 3 ? text.substr(3) : std::string_view());
}

PopScript Join(std::initializer_list<PopScript> parts) {
    PopScript all;
    for (const PopScript& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

PopScript LoadScript(const std::string& name) {
    std::ifstream in(CORVANE_TEST_DATA "/pop3/" + name);
    if (!in) {
        throw std::runtime_error("cannot read test data " + name);
    }
    PopScript script;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] != '#') {
            script.emplace_back(std::string_view(line));
        }
    }
    return script;
}

std::string PlayConversation(FakeTransport& transport, const PopScript& script, std::size_t piece) {
    std::deque<std::string> sent;
    auto collect = [&] {
        for (std::string& l : transport.takeLines()) {
            sent.push_back(std::move(l));
        }
    };
    collect();
    for (std::size_t i = 0; i < script.size();) {
        const PopStep& step = script[i];
        if (step.kind == PopStep::Kind::Action) {
            step.action();
            collect();
            ++i;
        } else if (step.kind == PopStep::Kind::Client) {
            collect();
            const std::string got = sent.empty() ? "nothing" : "C: " + sent.front();
            if (sent.empty() || sent.front() != step.line) {
                return "step " + std::to_string(i) + ": expected C: " + step.line + ", got " + got;
            }
            sent.pop_front();
            ++i;
        } else {
            std::string block;
            for (; i < script.size() && script[i].kind == PopStep::Kind::Server; ++i) {
                block.append(script[i].line).append("\r\n");
            }
            transport.serverSendsInPieces(block, piece == 0 ? block.size() : piece);
            collect();
        }
    }
    collect();
    return sent.empty() ? std::string() : "after the script: unexpected C: " + sent.front();
}
