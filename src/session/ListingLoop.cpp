#include "session/ListingLoop.h"

#include <algorithm>
#include <unordered_set>

namespace session {

namespace {

const std::string kNoUid;

// A unique id is 1 to 70 printable characters (0x21 to 0x7E).
bool ValidUid(std::string_view uid) {
    if (uid.empty() || uid.size() > 70) {
        return false;
    }
    for (const char c : uid) {
        if (c < 0x21 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

} // namespace

UidlReply ParseUidlReply(std::string_view reply) {
    UidlReply parsed;
    std::size_t at = reply.find("\r\n"); // past the status line
    bool clean = true;
    while (at != std::string_view::npos) {
        const std::size_t start = at + 2;
        at = reply.find("\r\n", start);
        if (at == std::string_view::npos) {
            break;
        }
        const std::string_view line = reply.substr(start, at - start);
        if (line == ".") {
            parsed.complete = clean;
            return parsed;
        }
        const std::size_t blank = line.find(' ');
        int number = 0;
        bool digits = blank != 0 && blank != std::string_view::npos && blank <= 9;
        for (std::size_t i = 0; digits && i < blank; ++i) {
            digits = line[i] >= '0' && line[i] <= '9';
            number = number * 10 + (line[i] - '0');
        }
        const std::string_view uid = digits ? line.substr(blank + 1) : std::string_view();
        if (!digits || !ValidUid(uid) || !parsed.uids.emplace(number, uid).second) {
            clean = false; // a line that cannot be trusted gives no id
        }
    }
    return parsed;
}

ListingLoop::Start ListingLoop::begin(std::string_view listReply) {
    parsed = ParseListReply(listReply);
    outOfRange = parsed.NumbersOutOfRange;
    topless = false;
    asked = done = topsAsked = topsAnswered = rows = 0;
    count = 0;
    uids.clear();
    known.clear();
    if (parsed.MessageIndex.empty()) {
        return Start::Unreadable;
    }
    // The index holds element 0, one element per usable line, and one for the line that
    // ended the parse.
    const int indexed = static_cast<int>(parsed.MessageIndex.size()) - 2;
    count = outOfRange ? indexed : parsed.MessageCount;
    return count > 0 ? Start::Listing : Start::Empty;
}

bool ListingLoop::setUids(UidlReply reply) {
    uids = std::move(reply.uids);
    // An id given to two messages names neither: each gets a TOP, and neither is kept.
    std::unordered_map<std::string, int> given;
    for (const auto& entry : uids) {
        ++given[entry.second];
    }
    const std::size_t before = uids.size();
    std::erase_if(uids, [&](const auto& entry) { return given[entry.second] > 1; });
    bool all = reply.complete && uids.size() == before;
    for (int position = 1; all && position <= count; ++position) {
        all = uids.count(numberAt(position)) != 0;
    }
    return all;
}

void ListingLoop::useKnown(KnownSources sources) {
    known = std::move(sources);
    skipReady();
}

void ListingLoop::withoutTop() {
    topless = true;
    skipReady();
}

int ListingLoop::numberAt(int position) const {
    return outOfRange ? parsed.MessageIndex[static_cast<std::size_t>(position)].Number : position;
}

const std::string& ListingLoop::uidAt(int position) const {
    const auto it = uids.find(numberAt(position));
    return it == uids.end() ? kNoUid : it->second;
}

bool ListingLoop::needsTop(int position) const {
    const std::string& uid = uidAt(position);
    return !topless && (uid.empty() || !known.count(uid));
}

void ListingLoop::skipReady() {
    while (asked < count && !needsTop(asked + 1)) {
        ++asked;
    }
}

ListingItem ListingLoop::nextItem() {
    ListingItem item;
    item.position = ++asked;
    item.number = numberAt(item.position);
    ++topsAsked;
    skipReady();
    return item;
}

std::optional<ListingItem> ListingLoop::nextReady() {
    if (done >= count || needsTop(done + 1)) {
        return std::nullopt;
    }
    ListingItem item;
    item.position = ++done;
    item.number = numberAt(item.position);
    const auto it = known.find(uidAt(item.position));
    item.source = it == known.end() ? nullptr : &it->second;
    ++rows;
    return item;
}

void ListingLoop::answered(bool row) {
    ++topsAnswered;
    ++done;
    if (row) {
        ++rows;
    }
}

std::vector<std::string> ListingLoop::goneUids() const {
    std::unordered_set<std::string_view> present;
    for (const auto& entry : uids) {
        present.insert(entry.second);
    }
    std::vector<std::string> gone;
    for (const auto& entry : known) {
        if (!present.count(entry.first)) {
            gone.push_back(entry.first);
        }
    }
    return gone;
}

} // namespace session
