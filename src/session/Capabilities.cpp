#include "session/Capabilities.h"

#include <algorithm>
#include <utility>

namespace session {

namespace {

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

Capabilities Capabilities::FromReply(std::string_view reply) {
    Capabilities caps;
    caps.fromCapa = true;
    bool status = true;
    while (!reply.empty()) {
        const std::size_t eol = reply.find("\r\n");
        std::string_view line = reply.substr(0, eol);
        reply = eol == std::string_view::npos ? std::string_view() : reply.substr(eol + 2);
        if (std::exchange(status, false)) {
            continue; // the "+OK" line
        }
        if (line == ".") {
            break;
        }
        if (line.substr(0, 1) == ".") {
            line.remove_prefix(1); // dot-stuffed
        }
        if (!line.empty()) {
            caps.listed.emplace_back(line);
        }
    }
    return caps;
}

bool Capabilities::has(std::string_view tag) const {
    return std::any_of(listed.begin(), listed.end(), [tag](const std::string& line) {
        const std::string_view word = std::string_view(line).substr(0, line.find(' '));
        return word.size() == tag.size() &&
               std::equal(word.begin(), word.end(), tag.begin(),
                          [](char a, char b) { return upper(a) == upper(b); });
    });
}

} // namespace session
