#include "session/ReplyScanner.h"

#include <algorithm>
#include <cstring>

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
        if (matched == 0) {
            // Outside a partial mark only a CR matters: skip to the next one at memchr's pace.
            const void* cr = std::memchr(piece.data() + i, '\r', piece.size() - i);
            if (cr == nullptr) {
                break;
            }
            i = static_cast<std::size_t>(static_cast<const char*>(cr) - piece.data());
        }
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
    std::string out(reply);
    DotUnstuffInPlace(out);
    return out;
}

void DotUnstuffInPlace(std::string& reply) {
    constexpr auto npos = std::string::npos;
    const std::size_t statusEnd = reply.find("\r\n");
    if (statusEnd == npos) {
        return;
    }
    // Unstuffing only removes bytes, so the text moves down within the string: kept counts
    // the bytes that stay, which never pass the ones still to read.
    std::size_t kept = statusEnd + 2;
    std::size_t pos = kept;
    while (pos < reply.size()) {
        const std::size_t eol = reply.find("\r\n", pos);
        const std::size_t next = eol == npos ? reply.size() : eol + 2;
        std::size_t from = pos;
        const bool endMark = next - pos == 3 && reply[pos] == '.';
        if (!endMark && next - pos > 1 && reply[pos] == '.') {
            ++from;
        }
        if (kept != from) {
            std::copy(reply.begin() + static_cast<std::ptrdiff_t>(from),
                      reply.begin() + static_cast<std::ptrdiff_t>(next),
                      reply.begin() + static_cast<std::ptrdiff_t>(kept));
        }
        kept += next - from;
        pos = next;
        if (endMark) {
            break; // the end mark stays, for the decoder to find at the very end
        }
    }
    reply.resize(kept);
}

} // namespace session
