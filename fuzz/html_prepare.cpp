// Feeds arbitrary bytes to the HTML preparation with each combination of its options.
#include "html/HtmlPrepare.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const unsigned pick = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    html::HtmlOptions options;
    options.NoPictures = (pick & 1) != 0;
    options.ClearEmailInIMGTag = (pick & 2) != 0;
    options.SMTPDomain = (pick & 4) ? "" : ((pick & 8) ? "?" : "example.org");
    const auto prepared = html::PrepareHTML(text, options);
    // The result keeps no more than the input plus the completion tags.
    if (prepared.BrowserHTML.size() > text.size() + 40) {
        __builtin_trap();
    }
    return 0;
}
