#include "decoding/QuotedPrintable.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

namespace decoding {

namespace {

constexpr std::uint8_t kNotHex = 0xFF;

// Only upper-case digits count: lower-case escapes are left as they are.
constexpr std::array<std::uint8_t, 256> MakeHexTable() {
    std::array<std::uint8_t, 256> table{};
    for (auto& entry : table) {
        entry = kNotHex;
    }
    for (int c = '0'; c <= '9'; ++c) {
        table[c] = static_cast<std::uint8_t>(c - '0');
    }
    for (int c = 'A'; c <= 'F'; ++c) {
        table[c] = static_cast<std::uint8_t>(c - 'A' + 10);
    }
    return table;
}

constexpr std::array<std::uint8_t, 256> kHexTable = MakeHexTable();

inline int PairValue(char high, char low) {
    const std::uint8_t h = kHexTable[static_cast<unsigned char>(high)];
    const std::uint8_t l = kHexTable[static_cast<unsigned char>(low)];
    if (h == kNotHex || l == kNotHex) {
        return 0;
    }
    return h * 16 + l;
}

// A word with the high bit set in the byte where word has its first "=" (counting from
// the lowest byte); bytes above it may be marked too. 0 when there is none.
inline std::uint64_t EqualsBytes(std::uint64_t word) {
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    const std::uint64_t x = word ^ (ones * '=');
    return (x - ones) & ~x & (ones * 0x80);
}

// Both letter cases, for the byte decoder.
constexpr std::array<std::uint8_t, 256> MakeAnyCaseHexTable() {
    std::array<std::uint8_t, 256> table = MakeHexTable();
    for (int c = 'a'; c <= 'f'; ++c) {
        table[c] = static_cast<std::uint8_t>(c - 'a' + 10);
    }
    return table;
}

constexpr std::array<std::uint8_t, 256> kAnyCaseHex = MakeAnyCaseHexTable();

// The high bit set in the lowest byte of word that is "=" or a line feed (bytes above it may
// be marked too); 0 when there is none.
inline std::uint64_t SpecialBytes(std::uint64_t word) {
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    const auto zeroBytes = [](std::uint64_t x) { return (x - ones) & ~x & (ones * 0x80); };
    return zeroBytes(word ^ (ones * '=')) | zeroBytes(word ^ (ones * '\n'));
}

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::int16_t HexPairValue(std::string_view pair) {
    if (pair.size() != 2) {
        return 0;
    }
    return static_cast<std::int16_t>(PairValue(pair[0], pair[1]));
}

static_assert(std::endian::native == std::endian::little, "the word scan reads bytes low first");

std::string DecodeQP(std::string_view text) {
    // Decoding never lengthens the text.
    std::string result(text.size(), '\0');
    char* out = result.data();
    const char* p = text.data();
    const char* const end = p + text.size();

    while (p < end) {
        // A run of plain bytes, eight at a time: whether escapes come every few bytes or
        // every few hundred, no call is made per run. Decoding never lengthens the text,
        // so out always has room for the eight bytes that p has.
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            std::memcpy(out, &word, 8);
            const std::uint64_t eq = EqualsBytes(word);
            if (eq == 0) {
                p += 8;
                out += 8;
                continue;
            }
            const int plain = std::countr_zero(eq) / 8;
            p += plain;
            out += plain;
            break;
        }
        while (p < end && *p != '=' && end - p < 8) {
            *out++ = *p++;
        }
        if (p == end) {
            break;
        }
        const std::ptrdiff_t left = end - p;
        if (left >= 3 && p[1] == '\r' && p[2] == '\n') {
            // Soft line break: dropped, and whatever follows it (another "=" too) is
            // scanned afresh.
            p += 3;
            continue;
        }
        const int value = left >= 3 ? PairValue(p[1], p[2]) : 0;
        if (value != 0) {
            *out++ = static_cast<char>(value);
            p += 3;
        } else {
            // Not an escape: the "=" stays and the scan goes on with the next character.
            *out++ = '=';
            p += 1;
        }
    }
    result.resize(static_cast<std::size_t>(out - result.data()));
    return result;
}

std::string DecodeQPBytes(std::string_view text) {
    std::string result(text.size(), '\0');
    char* const start = result.data();
    char* out = start;
    // Output before floor was decoded from escapes: its blanks are never trailing ones.
    char* floor = start;
    // Drops the blanks the transport added before the line break (or the end) at out.
    const auto dropTrailingBlanks = [&](bool beforeCr) {
        char* cr = out;
        if (beforeCr) {
            --cr;
        }
        char* keep = cr;
        while (keep > floor && IsBlank(keep[-1])) {
            --keep;
        }
        if (keep != cr) {
            if (beforeCr) {
                *keep = '\r';
            }
            out = keep + (beforeCr ? 1 : 0);
        }
    };
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        // Bytes are copied eight at a time up to the next "=" or line feed; blanks are
        // copied too and taken back at a line's end. Decoding never lengthens the text, so
        // out has room for the eight bytes p has.
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            std::memcpy(out, &word, 8);
            const std::uint64_t special = SpecialBytes(word);
            if (special == 0) {
                p += 8;
                out += 8;
                continue;
            }
            const int plain = std::countr_zero(special) / 8;
            p += plain;
            out += plain;
            break;
        }
        if (p == end) {
            break;
        }
        const char c = *p;
        if (c == '\n') {
            dropTrailingBlanks(out > floor && out[-1] == '\r');
            *out++ = '\n';
            ++p;
        } else if (c == '=') {
            if (end - p >= 3) {
                const std::uint8_t h = kAnyCaseHex[static_cast<unsigned char>(p[1])];
                const std::uint8_t l = kAnyCaseHex[static_cast<unsigned char>(p[2])];
                if ((h | l) != kNotHex) {
                    *out++ = static_cast<char>(h * 16 + l);
                    floor = out;
                    p += 3;
                    continue;
                }
            }
            const char* q = p + 1;
            while (q < end && IsBlank(*q)) {
                ++q;
            }
            if (q == end || *q == '\n' || (*q == '\r' && q + 1 < end && q[1] == '\n')) {
                // A soft line break: the blanks before the "=" stand inside the line.
                p = q == end ? q : q + (*q == '\r' ? 2 : 1);
                floor = out;
                continue;
            }
            *out++ = '=';
            ++p;
        } else {
            *out++ = *p++;
        }
    }
    dropTrailingBlanks(false);
    result.resize(static_cast<std::size_t>(out - start));
    return result;
}

} // namespace decoding
