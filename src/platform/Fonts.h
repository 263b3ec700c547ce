#pragma once

namespace platform {

// The designed fonts are Windows fonts ("MS Sans Serif", "Courier New"); map
// them to the closest metric-compatible fonts installed here.
void installFontSubstitutions();

} // namespace platform
