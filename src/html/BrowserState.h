#pragma once

#include <string>

namespace html {

// What the reader window keeps about the HTML it last showed.
struct BrowserState {
    std::string BrowserHTML; // the prepared HTML last shown; printing and replying read it
    std::string RemovedTags; // log of the image tags taken out
    bool BrowserUsed = false;
};

} // namespace html
