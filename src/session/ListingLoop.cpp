#include "session/ListingLoop.h"

namespace session {

ListingLoop::Start ListingLoop::begin(std::string_view listReply) {
    parsed = ParseListReply(listReply);
    outOfRange = parsed.NumbersOutOfRange;
    asked = answers = rows = 0;
    count = 0;
    if (parsed.MessageIndex.empty()) {
        return Start::Unreadable;
    }
    // The index holds element 0, one element per usable line, and one for the line that
    // ended the parse.
    const int indexed = static_cast<int>(parsed.MessageIndex.size()) - 2;
    count = outOfRange ? indexed : parsed.MessageCount;
    return count > 0 ? Start::Listing : Start::Empty;
}

ListingItem ListingLoop::nextItem() {
    ListingItem item;
    item.position = ++asked;
    item.number = outOfRange ? parsed.MessageIndex[static_cast<std::size_t>(asked)].Number : asked;
    return item;
}

void ListingLoop::answered(bool row) {
    ++answers;
    if (row) {
        ++rows;
    }
}

} // namespace session
