#include "session/HeaderRowSource.h"

#include <array>

namespace session {

std::string HeaderRowSource(std::string_view topReply) {
    constexpr auto npos = std::string_view::npos;
    // The row searches each label on its own, so the first match of each is all it reads.
    // None of these labels is a prefix of another, so a kept line is found only by its own.
    constexpr std::array<std::string_view, 4> labels{"\r\nDate", "\r\nFrom", "\r\nSubject",
                                                     "\r\nReturn-Path: "};
    std::string source;
    std::string_view unterminated; // a last line without its CR LF must stay last
    for (const std::string_view label : labels) {
        if (label == labels[3] && topReply.find(labels[1]) != npos) {
            continue; // the return path is read only when there is no sender line
        }
        const std::size_t at = topReply.find(label);
        if (at == npos) {
            continue;
        }
        const std::size_t end = topReply.find("\r\n", at + 2);
        if (end == npos) {
            unterminated = topReply.substr(at);
            continue;
        }
        source.append(topReply.substr(at, end - at));
    }
    source.append(unterminated);
    // Every kept line ends where the next one's CR LF begins; the last one needs its own.
    if (unterminated.empty() && !source.empty()) {
        source += "\r\n";
    }
    return source;
}

} // namespace session
