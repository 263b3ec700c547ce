#include "decoding/TextSearch.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace decoding {

namespace {

inline char UpperChar(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

inline bool MatchesNoCase(const char* at, std::string_view upperNeedle) {
    for (std::size_t i = 0; i < upperNeedle.size(); ++i) {
        if (UpperChar(at[i]) != upperNeedle[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from) {
    if (needle.empty() || from > text.size() || text.size() - from < needle.size()) {
        return NotFound;
    }
    // glibc's memmem is linear in the worst case (two-way) and fast in the usual one. The
    // text is handed over in growing windows so that a near match costs little even where
    // memmem is instrumented to check the whole range it is given (sanitizer builds).
    const std::size_t overlap = needle.size() - 1;
    std::size_t window = 4096;
    for (std::size_t pos = from; pos + needle.size() <= text.size(); pos += window, window *= 2) {
        const std::size_t length = std::min(text.size() - pos, window + overlap);
        const void* hit = ::memmem(text.data() + pos, length, needle.data(), needle.size());
        if (hit != nullptr) {
            return static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
        }
        if (length < window + overlap) {
            break;
        }
    }
    return NotFound;
}

std::size_t FindTextNoCase(std::string_view text, std::string_view upperNeedle, std::size_t from,
                           std::size_t limit) {
    const std::size_t m = upperNeedle.size();
    if (m == 0 || text.size() < m || limit == 0) {
        return NotFound;
    }
    std::size_t last = text.size() - m; // last possible start
    if (limit != NotFound) {
        last = std::min(last, limit - 1);
    }
    if (from > last) {
        return NotFound;
    }
    // A byte of the needle that is not a letter has one case only: memchr can jump to it.
    std::size_t anchor = 0;
    while (anchor < m && upperNeedle[anchor] >= 'A' && upperNeedle[anchor] <= 'Z') {
        ++anchor;
    }
    if (anchor < m) {
        const char wanted = upperNeedle[anchor];
        std::size_t pos = from + anchor;
        const std::size_t stop = last + anchor; // inclusive
        while (pos <= stop) {
            const auto* hit =
                static_cast<const char*>(std::memchr(text.data() + pos, wanted, stop - pos + 1));
            if (hit == nullptr) {
                return NotFound;
            }
            const std::size_t start = static_cast<std::size_t>(hit - text.data()) - anchor;
            if (MatchesNoCase(text.data() + start, upperNeedle)) {
                return start;
            }
            pos = start + anchor + 1;
        }
        return NotFound;
    }
    for (std::size_t i = from; i <= last; ++i) {
        if (UpperChar(text[i]) == upperNeedle[0] && MatchesNoCase(text.data() + i, upperNeedle)) {
            return i;
        }
    }
    return NotFound;
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = LowerAscii(c);
    }
    return out;
}

std::string UpperAscii(std::string_view text) {
    std::string result(text.size(), '\0');
    const char* in = text.data();
    char* out = result.data();
    const std::size_t n = text.size();
    std::size_t i = 0;
    // Eight bytes at a time: flag the bytes from 'a' to 'z' in their top bit (bytes of 128 and
    // above excluded), then clear bit 5 of exactly those.
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kTops = 0x8080808080808080ULL;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, in + i, 8);
        const std::uint64_t low7 = word & ~kTops;
        const std::uint64_t atLeastA = low7 + (0x80 - 'a') * kOnes;
        const std::uint64_t aboveZ = low7 + (0x80 - 'z' - 1) * kOnes;
        const std::uint64_t lower = atLeastA & ~aboveZ & ~word & kTops;
        word ^= lower >> 2;
        std::memcpy(out + i, &word, 8);
    }
    for (; i < n; ++i) {
        out[i] = UpperChar(in[i]);
    }
    return result;
}

std::size_t ForwardFinder::From(std::size_t from) {
    if (lastFrom != NotFound && from >= lastFrom && (lastHit == NotFound || lastHit >= from)) {
        return lastHit;
    }
    lastFrom = from;
    lastHit = FindText(text, needle, from);
    return lastHit;
}

std::string_view TrimWhite(std::string_view text) {
    while (!text.empty() && IsLinearWhite(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsLinearWhite(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace decoding
