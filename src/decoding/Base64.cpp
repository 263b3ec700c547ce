#include "decoding/Base64.h"

#include <array>
#include <cstdint>

namespace modBase64 {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::uint8_t kSkip = 0x80; // not in the alphabet and not "="
constexpr std::uint8_t kPad = 64;    // "=" is a value of its own

constexpr std::array<std::uint8_t, 256> MakeDecodeTable() {
    std::array<std::uint8_t, 256> table{};
    for (auto& entry : table) {
        entry = kSkip;
    }
    for (int i = 0; i < 64; ++i) {
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
    }
    table['='] = kPad;
    return table;
}

constexpr std::array<std::uint8_t, 256> kDecodeTable = MakeDecodeTable();

inline std::uint8_t Value(char c) {
    return kDecodeTable[static_cast<unsigned char>(c)];
}

// Writes the bytes of one group of four values (each 0..64) and returns how many: a pad in
// the fourth place drops the third byte, a pad in the third place drops one more. The pad
// value 64 takes part in the bit arithmetic as it is: in the second place it adds no bits.
inline std::size_t DecodeGroup(const std::uint8_t* q, char* out) {
    out[0] = static_cast<char>(((q[0] << 2) & 255) | ((q[1] >> 4) & 3));
    out[1] = static_cast<char>(((q[1] & 15) << 4) | ((q[2] >> 2) & 15));
    out[2] = static_cast<char>((((q[2] & 3) << 6) | q[3]) & 255);
    return 3 - (q[3] == kPad ? 1 : 0) - (q[2] == kPad ? 1 : 0);
}

} // namespace

std::string Base64Encode(std::string_view text) {
    const std::size_t n = text.size();
    std::string result((n + 2) / 3 * 4, '\0');
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    char* out = result.data();
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        const unsigned b0 = in[i], b1 = in[i + 1], b2 = in[i + 2];
        *out++ = kAlphabet[b0 >> 2];
        *out++ = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        *out++ = kAlphabet[((b1 & 15) << 2) | (b2 >> 6)];
        *out++ = kAlphabet[b2 & 63];
    }
    if (n - i == 1) {
        const unsigned b0 = in[i];
        *out++ = kAlphabet[b0 >> 2];
        *out++ = kAlphabet[(b0 & 3) << 4];
        *out++ = '=';
        *out++ = '=';
    } else if (n - i == 2) {
        const unsigned b0 = in[i], b1 = in[i + 1];
        *out++ = kAlphabet[b0 >> 2];
        *out++ = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        *out++ = kAlphabet[(b1 & 15) << 2];
        *out++ = '=';
    }
    return result;
}

namespace {

std::string Decode(std::string_view text, bool keepLastGroup) {
    // Bytes are decoded into a small buffer that stays in cache and appended to the result,
    // which is reserved once: every group of four characters gives at most three bytes.
    std::string result;
    result.reserve(text.size() / 4 * 3);
    constexpr std::size_t kChunk = 3 * 1024;
    char buffer[kChunk + 8];
    char* const limit = buffer + kChunk;
    char* out = buffer;

    const char* p = text.data();
    const char* const end = p + text.size();
    std::uint8_t group[4];
    std::size_t k = 0; // values of the group being collected
    while (p < end) {
        if (out >= limit) {
            result.append(buffer, static_cast<std::size_t>(out - buffer));
            out = buffer;
        }
        // Fast path: four alphabet characters in a row form a whole group.
        while (end - p >= 4 && out < limit) {
            const std::uint8_t a = Value(p[0]), b = Value(p[1]), c = Value(p[2]), d = Value(p[3]);
            if ((a | b | c | d) >= kPad) {
                break;
            }
            out[0] = static_cast<char>((a << 2) | (b >> 4));
            out[1] = static_cast<char>(((b & 15) << 4) | (c >> 2));
            out[2] = static_cast<char>(((c & 3) << 6) | d);
            out += 3;
            p += 4;
        }
        // Slow path: collect one group across skipped characters and pads.
        k = 0;
        while (p < end) {
            const std::uint8_t v = Value(*p++);
            if (v == kSkip) {
                if (k == 0) {
                    break; // between groups: back to the fast path
                }
                continue;
            }
            group[k++] = v;
            if (k == 4) {
                out += DecodeGroup(group, out);
                k = 0;
                break;
            }
        }
    }
    if (keepLastGroup && k >= 2) {
        // Two or three values carry one or two whole bytes: the encoder left off the pad.
        group[2] = k == 3 ? group[2] : kPad;
        group[3] = kPad;
        out += DecodeGroup(group, out);
    }
    result.append(buffer, static_cast<std::size_t>(out - buffer));
    return result;
}

} // namespace

std::string Base64Decode(std::string_view text) {
    return Decode(text, false);
}

std::string Base64DecodeBytes(std::string_view text) {
    return Decode(text, true);
}

} // namespace modBase64
