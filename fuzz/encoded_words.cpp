// Feeds arbitrary header text to the encoded-word decoder and the charset finder and checks
// what must hold for any input.
#include "decoding/Charset.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const auto runs = decoding::DecodeEncodedWordRuns(input);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (runs[i].Bytes.empty() || (i > 0 && runs[i].Charset == runs[i - 1].Charset)) {
            std::abort(); // runs are never empty and neighbours differ in charset
        }
    }

    const std::string text = decoding::DecodeEncodedWords(input);
    if (decoding::SanitizeUtf8(text) != text) {
        std::abort(); // the result is always valid UTF-8
    }
    const std::size_t length = decoding::Utf8Length(text);
    const std::size_t n = size % (length + 1);
    if (decoding::Utf8Length(decoding::Utf8Left(text, n)) != n) {
        std::abort();
    }

    // The converter may return anything; the result must still be valid UTF-8.
    const std::string odd =
        decoding::DecodeEncodedWords(input, [](std::string_view charset, std::string_view bytes) {
            return std::string(charset) + std::string(bytes);
        });
    if (decoding::SanitizeUtf8(odd) != odd) {
        std::abort();
    }

    const std::string charset = decoding::FindCharset(input);
    for (char c : charset) {
        if (c >= 'A' && c <= 'Z') {
            std::abort(); // always lower case
        }
    }
    return 0;
}
