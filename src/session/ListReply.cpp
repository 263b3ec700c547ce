#include "session/ListReply.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string_view>

namespace session {

namespace {

constexpr std::uint64_t kSaturated = std::uint64_t{1} << 40; // far above any 32-bit value

// Leading blanks skipped, then digits up to the first other character; 0 when there are none.
// Saturates instead of wrapping, so a hostile digit string cannot overflow.
std::uint64_t NumericValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(kSaturated, value * 10 + static_cast<std::uint64_t>(text[i] - '0'));
    }
    return value;
}

// Repeated forward searches whose start never moves back: each byte is looked at about
// once, so a reply of many short lines stays linear.
class ForwardFinder {
public:
    ForwardFinder(std::string_view text, std::string_view needle) : text(text), needle(needle) {}

    std::size_t At(std::size_t start) {
        if (!searched || start < from || (found != std::string_view::npos && found < start)) {
            from = start;
            found = text.find(needle, start);
            searched = true;
        }
        return found;
    }

private:
    std::string_view text;
    std::string_view needle;
    bool searched = false;
    std::size_t from = 0;
    std::size_t found = std::string_view::npos;
};

} // namespace

ListReply ParseListReply(std::string_view reply) {
    ListReply result;
    constexpr auto npos = std::string_view::npos;
    constexpr std::uint64_t kMaxNumber = std::numeric_limits<std::int32_t>::max();
    constexpr std::uint64_t kMaxSize = std::numeric_limits<std::int32_t>::max();

    const std::size_t statusEnd = reply.find("\r\n");
    if (statusEnd == npos) {
        return result;
    }
    ForwardFinder blanks(reply, " ");
    ForwardFinder lineEnds(reply, "\r\n");
    ForwardFinder sizeEnds(reply, "\r\n");
    std::size_t lastSizeStart = npos;
    std::uint64_t lastSize = 0;

    auto& index = result.MessageIndex;
    index.resize(1);
    std::size_t p = statusEnd;
    while (p != npos) {
        index.emplace_back();
        const std::size_t lineStart = p + 2;
        const std::size_t q = blanks.At(lineStart);
        if (q == npos || q <= lineStart) {
            break;
        }
        const std::uint64_t number = NumericValue(reply.substr(lineStart, q - lineStart));
        if (q != lastSizeStart) {
            // A line without a blank takes its size from a later line, as the same blank
            // may serve several lines; read each blank's size once.
            const std::size_t e = sizeEnds.At(q);
            lastSize = NumericValue(reply.substr(q, e == npos ? npos : e - q));
            lastSizeStart = q;
        }
        if (number > kMaxNumber) {
            result.NumbersOutOfRange = true;
            break;
        }
        index.back().Number = static_cast<std::int32_t>(number);
        index.back().Size = static_cast<std::int32_t>(std::min(lastSize, kMaxSize));
        p = lineEnds.At(lineStart);
    }

    // The count comes from the last message line: the text between the line end before the
    // last blank and that blank, the blank being the last one before the end mark.
    if (statusEnd + 2 < reply.size()) {
        const std::size_t end = reply.rfind("\r\n.\r\n");
        const std::size_t blank = end == npos ? npos : reply.rfind(' ', end);
        const std::size_t lineEnd = blank == npos ? npos : reply.rfind("\r\n", blank);
        if (lineEnd != npos) {
            const std::uint64_t count =
                NumericValue(reply.substr(lineEnd + 2, blank - (lineEnd + 2)));
            if (count > kMaxNumber) {
                result.NumbersOutOfRange = true;
            }
            result.MessageCount = static_cast<int>(std::min(count, kMaxNumber));
        }
    }
    return result;
}

std::optional<std::int32_t> ListedSize(const std::vector<MessageIndexEntry>& index,
                                       int listingNumber) {
    const auto upperBound = static_cast<long long>(index.size()) - 1;
    if (listingNumber < 1 || listingNumber >= upperBound) {
        return std::nullopt;
    }
    return index[static_cast<std::size_t>(listingNumber)].Size;
}

} // namespace session
