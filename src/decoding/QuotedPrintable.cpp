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
    char* out = result.data();
    const char* p = text.data();
    const char* const end = p + text.size();
    const auto lineEndsAt = [&](const char* q) {
        return q == end || *q == '\n' || (*q == '\r' && q + 1 < end && q[1] == '\n');
    };
    while (p < end) {
        const char c = *p;
        if (c == '=') {
            if (end - p >= 3) {
                const std::uint8_t h = kAnyCaseHex[static_cast<unsigned char>(p[1])];
                const std::uint8_t l = kAnyCaseHex[static_cast<unsigned char>(p[2])];
                if (h != kNotHex && l != kNotHex) {
                    *out++ = static_cast<char>(h * 16 + l);
                    p += 3;
                    continue;
                }
            }
            const char* q = p + 1;
            while (q < end && IsBlank(*q)) {
                ++q;
            }
            if (lineEndsAt(q)) { // a soft line break
                p = q == end ? q : q + (*q == '\r' ? 2 : 1);
                continue;
            }
            *out++ = '=';
            ++p;
        } else if (IsBlank(c)) {
            const char* q = p + 1;
            while (q < end && IsBlank(*q)) {
                ++q;
            }
            if (!lineEndsAt(q)) {
                std::memcpy(out, p, static_cast<std::size_t>(q - p));
                out += q - p;
            }
            p = q;
        } else {
            // A run of plain bytes up to the next "=" or blank.
            const char* q = p + 1;
            while (q < end && *q != '=' && !IsBlank(*q)) {
                ++q;
            }
            std::memcpy(out, p, static_cast<std::size_t>(q - p));
            out += q - p;
            p = q;
        }
    }
    result.resize(static_cast<std::size_t>(out - result.data()));
    return result;
}

} // namespace decoding
