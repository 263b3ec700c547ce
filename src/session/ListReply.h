#pragma once

#include "session/SessionState.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace session {

// What a complete LIST reply tells about the mailbox.
struct ListReply {
    // Indexed by line: element 0 is never filled, elements 1..n hold the n message lines,
    // and one more element, for the line that ended the parse (normally the terminating
    // "."), stays zero. The upper bound (size() - 1) is therefore n + 1. Empty when the
    // reply has no line end at all.
    std::vector<MessageIndexEntry> MessageIndex;
    // The number at the start of the last message line: the highest message number.
    int MessageCount = 0;
    // A message number or the count did not fit 31 bits. The index stops before the first
    // such line and the count is capped at 2147483647, so no row is ever listed under a wrong
    // number; the caller should tell the user that not every message is listed.
    bool NumbersOutOfRange = false;
};

// Parses a complete LIST reply (status line, "number size" lines, terminating line).
// Numbers are read as digits after leading blanks, up to the first other character, 0 when
// there are none; sizes beyond 32 bits read as the largest 32-bit value.
ListReply ParseListReply(std::string_view reply);

// The size to show in the row of message listingNumber, when the index knows it: only
// numbers below the index's upper bound have one.
std::optional<std::int32_t> ListedSize(const std::vector<MessageIndexEntry>& index,
                                       int listingNumber);

} // namespace session
