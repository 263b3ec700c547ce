#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace session {

// Watches a multi-line POP3 reply (RFC 1939 section 3) arrive in pieces and tells when its
// end mark CR LF "." CR LF has been seen. It remembers how much of the mark the last piece
// ended with, so each byte is examined once however the server splits the reply.
class ReplyScanner {
public:
    // A reply larger than this is treated as a failure rather than collected forever.
    static constexpr std::size_t kMaxReplyBytes = std::size_t{256} << 20;

    explicit ReplyScanner(std::size_t maxReplyBytes = kMaxReplyBytes);

    // Examines the next piece of the reply; returns Complete(). Pieces after completion are
    // counted but not examined.
    bool Feed(std::string_view piece);

    // The end mark has been seen.
    bool Complete() const { return complete; }

    // Offset, in the whole reply, just past the end mark (valid once Complete()).
    std::size_t EndOffset() const { return endOffset; }

    // Bytes fed so far.
    std::size_t BytesSeen() const { return seen; }

    // More than the cap arrived without an end mark.
    bool TooLarge() const { return !complete && seen > maxBytes; }

    // Ready for a new reply.
    void Reset();

private:
    std::size_t maxBytes;
    std::size_t seen = 0;
    std::size_t matched = 0; // characters of the end mark the reply currently ends with
    bool complete = false;
    std::size_t endOffset = 0;
};

// A complete multi-line reply with the byte-stuffing undone: a line sent as "..x" is the
// line ".x" (any line after the status line that starts with "." loses that dot). The
// terminating line "." is kept, as the end mark the message decoder removes, and anything
// after it is dropped; the status line and every message line keep their CR LF. A reply
// without an end mark is unstuffed to its end.
std::string DotUnstuff(std::string_view reply);
// The same within reply itself, without a second copy.
void DotUnstuffInPlace(std::string& reply);

} // namespace session
