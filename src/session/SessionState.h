#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace session {

struct MessageIndexEntry {
    std::int32_t Number = 0;
    std::int32_t Size = 0;
};

} // namespace session
