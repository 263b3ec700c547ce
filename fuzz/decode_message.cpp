// Feeds arbitrary bytes to the message decoder and walks every result it offers.
#include "decoding/MessageDecoder.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view raw(reinterpret_cast<const char*>(data), size);
    // The first byte picks the option and the boundaries carried from an earlier message.
    const unsigned pick = size > 0 ? data[0] : 0;
    decoding::Boundaries boundaries;
    if (pick & 2) {
        boundaries = {"--", "\r\n", "="};
    } else if (pick & 4) {
        boundaries = {"rel", "alt", "mix"};
    }
    const auto message = decoding::DecodeMessage(raw, (pick & 1) != 0, boundaries);
    std::size_t total = 0;
    for (std::size_t i = 0; i < message.MsgParts.size() && i < 64; ++i) {
        total += decoding::PartContent(message, i).size();
    }
    total += decoding::ExtractPart(message.MsgBody, pick % (message.MsgBody.size() + 1),
                                   message.PartBoundaries)
                 .size();
    total += decoding::FindPartEntry(message, "text/html") != std::string::npos;
    return total == static_cast<std::size_t>(-1) ? 1 : 0;
}
