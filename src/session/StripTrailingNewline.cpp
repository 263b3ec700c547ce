#include "session/StripTrailingNewline.h"

namespace session {

std::string StripTrailingNewline(std::string_view text) {
    if (text.ends_with("\r\n")) {
        text.remove_suffix(2);
    } else if (text.ends_with('\n') || text.ends_with('\r')) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

} // namespace session
