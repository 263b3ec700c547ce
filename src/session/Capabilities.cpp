#include "session/Capabilities.h"

#include <algorithm>
#include <utility>

namespace session {

namespace {

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool sameWord(std::string_view word, std::string_view tag) {
    return word.size() == tag.size() &&
           std::equal(word.begin(), word.end(), tag.begin(),
                      [](char a, char b) { return upper(a) == upper(b); });
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
        return sameWord(std::string_view(line).substr(0, line.find(' ')), tag);
    });
}

bool Capabilities::offersSasl(std::string_view mechanism) const {
    for (const std::string& line : listed) {
        std::string_view rest = line;
        const std::size_t space = rest.find(' ');
        if (space == std::string_view::npos || !sameWord(rest.substr(0, space), "SASL")) {
            continue;
        }
        for (std::size_t at = space; at != std::string_view::npos;) {
            rest.remove_prefix(at + 1);
            at = rest.find(' ');
            if (sameWord(rest.substr(0, at), mechanism)) {
                return true;
            }
        }
    }
    return false;
}

} // namespace session
