// Decodes arbitrary bytes; small inputs are also checked against a literal decoder that
// rewrites the whole string at every escape.
#include "decoding/QuotedPrintable.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string Reference(std::string s) {
    std::size_t p = s.find('='); // 0-based here
    while (p != std::string::npos) {
        if (s.compare(p + 1, 2, "\r\n") != 0) {
            const int v = decoding::HexPairValue(s.substr(p + 1, 2));
            if (v != 0) {
                s = s.substr(0, p) + static_cast<char>(v) + s.substr(p + 3);
            }
            p = p + 1;
        } else {
            s = s.substr(0, p) + s.substr(p + 3);
        }
        p = s.find('=', p);
    }
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string decoded = decoding::DecodeQP(text);
    if (decoded.size() > size) {
        __builtin_trap();
    }
    if (size <= 512 && decoded != Reference(std::string(text))) {
        __builtin_trap();
    }
    return 0;
}
