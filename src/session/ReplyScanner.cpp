#include "session/ReplyScanner.h"

namespace session {

namespace {

constexpr std::string_view kEndMark = "\r\n.\r\n";

} // namespace

ReplyScanner::ReplyScanner(std::size_t maxReplyBytes) : maxBytes(maxReplyBytes) {}

bool ReplyScanner::Feed(std::string_view piece) {
    if (complete) {
        seen += piece.size();
        return true;
    }
    for (std::size_t i = 0; i < piece.size(); ++i) {
        const char c = piece[i];
        if (c == kEndMark[matched]) {
            ++matched;
        } else {
            // Only "\r" starts the mark again; no proper suffix of a partial match other
            // than a lone CR is a prefix of "\r\n.\r\n".
            matched = c == '\r' ? 1 : 0;
        }
        if (matched == kEndMark.size()) {
            complete = true;
            endOffset = seen + i + 1;
            break;
        }
    }
    seen += piece.size();
    return complete;
}

void ReplyScanner::Reset() {
    seen = 0;
    matched = 0;
    complete = false;
    endOffset = 0;
}

std::string DotUnstuff(std::string_view reply) {
    constexpr auto npos = std::string_view::npos;
    const std::size_t statusEnd = reply.find("\r\n");
    if (statusEnd == npos) {
        return std::string(reply);
    }
    std::string out;
    out.reserve(reply.size());
    out.append(reply.substr(0, statusEnd + 2));
    std::size_t pos = statusEnd + 2;
    while (pos < reply.size()) {
        const std::size_t eol = reply.find("\r\n", pos);
        const std::size_t next = eol == npos ? reply.size() : eol + 2;
        std::string_view line = reply.substr(pos, next - pos);
        if (line == ".\r\n") {
            out.append(line); // the end mark, for the decoder to find at the very end
            break;
        }
        if (line.size() > 1 && line.front() == '.') {
            line.remove_prefix(1);
        }
        out.append(line);
        pos = next;
    }
    return out;
}

} // namespace session
