// Converts arbitrary bytes as HTML. The text must stay within a small multiple of the input,
// and the entity decoder and space remover must never grow their input.
#include "html/HtmlToText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view html(reinterpret_cast<const char*>(data), size);
    const std::string text = modHTML2txt::HTML2txt(html);
    if (text.size() > 3 * size + 16) {
        __builtin_trap();
    }
    if (modHTML2txt::DecodeEntity(html).size() > 1) {
        __builtin_trap();
    }
    if (modHTML2txt::RemoveSpaces(html).size() > size) {
        __builtin_trap();
    }
    return 0;
}
