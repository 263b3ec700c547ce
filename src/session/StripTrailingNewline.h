#pragma once

#include <string>
#include <string_view>

namespace session {

// text without one line end at its end: CR LF, or else a single LF or CR. Only one line end
// is removed; other text comes back unchanged.
std::string StripTrailingNewline(std::string_view text);

} // namespace session
