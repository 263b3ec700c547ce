// Decodes arbitrary bytes; small inputs are also checked against a literal group-by-group
// decoder, and every decoded text must encode and decode back to itself.
#include "decoding/Base64.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

int Value(char c) {
    constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (c == '=') {
        return 64;
    }
    const auto pos = alphabet.find(c);
    return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

std::string Reference(std::string_view text) {
    std::string result;
    int q[4];
    int k = 0;
    for (char c : text) {
        const int v = Value(c);
        if (v < 0) {
            continue;
        }
        q[k++] = v;
        if (k == 4) {
            result += static_cast<char>(((q[0] << 2) & 255) | ((q[1] >> 4) & 3));
            result += static_cast<char>(((q[1] & 15) << 4) | ((q[2] >> 2) & 15));
            result += static_cast<char>((((q[2] & 3) << 6) | q[3]) & 255);
            if (q[3] == 64) {
                result.pop_back();
            }
            if (q[2] == 64) {
                result.pop_back();
            }
            k = 0;
        }
    }
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string decoded = modBase64::Base64Decode(text);
    if (decoded.size() > size / 4 * 3) {
        __builtin_trap();
    }
    if (size <= 65536 && decoded != Reference(text)) {
        __builtin_trap();
    }
    if (modBase64::Base64Decode(modBase64::Base64Encode(decoded)) != decoded) {
        __builtin_trap();
    }
    return 0;
}
