#include "reader/FileText.h"

namespace reader {

std::string CollectLines(std::string_view fileBytes) {
    std::string text;
    text.reserve(fileBytes.size() + fileBytes.size() / 32 + 2);
    std::size_t start = 0;
    while (start < fileBytes.size()) {
        const std::size_t end = fileBytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            text.append(fileBytes.substr(start));
            text.append("\r\n");
            break;
        }
        text.append(fileBytes.substr(start, end - start));
        text.append("\r\n");
        start = end + 1;
        if (fileBytes[end] == '\r' && start < fileBytes.size() && fileBytes[start] == '\n') {
            ++start;
        }
    }
    return text;
}

double LongerList(double listHeight, double rowHeight) {
    return listHeight + rowHeight;
}

double ShorterList(double listHeight, double rowHeight) {
    constexpr double kSmallest = 1400;
    return listHeight >= rowHeight + kSmallest ? listHeight - rowHeight : kSmallest;
}

} // namespace reader
