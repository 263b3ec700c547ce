#include "session/ListingLoop.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

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
    UidlReader reader;
    reader.feed(reply);
    return reader.finish();
}

void UidlReader::feed(std::string_view piece) {
    if (ended) {
        return;
    }
    held.append(piece);
    std::size_t start = 0;
    while (!ended) {
        const std::size_t eol = held.find("\r\n", std::max(start, scanFrom));
        if (eol == std::string::npos) {
            break;
        }
        const std::string_view line(held.data() + start, eol - start);
        start = eol + 2;
        if (!std::exchange(statusSeen, true)) {
            continue;
        }
        if (line == ".") {
            parsed.complete = clean;
            ended = true;
            break;
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
    held.erase(0, start);
    // A CR at the end may begin the next line end.
    scanFrom = held.empty() ? 0 : held.size() - 1;
}

UidlReply UidlReader::finish() {
    UidlReply result = std::move(parsed);
    UidlReader fresh;
    std::swap(*this, fresh); // the held bytes' memory goes with fresh, not kept for later
    return result;
}

ListingLoop::Start ListingLoop::begin(std::string_view listReply) {
    parsed = ParseListReply(listReply);
    outOfRange = parsed.NumbersOutOfRange;
    topless = false;
    asked = done = topsAsked = topsAnswered = rows = 0;
    count = 0;
    uids.clear();
    known.clear();
    knownUsed = 0;
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
    // Found in a sorted list of views: a mailbox of 100,000 would otherwise copy and hash
    // every id once more.
    std::vector<std::string_view> ids;
    ids.reserve(uids.size());
    for (const auto& entry : uids) {
        ids.push_back(entry.second);
    }
    std::sort(ids.begin(), ids.end());
    std::unordered_set<std::string> shared;
    for (std::size_t i = 1; i < ids.size(); ++i) {
        if (ids[i] == ids[i - 1]) {
            shared.emplace(ids[i]);
        }
    }
    ids.clear();
    std::erase_if(uids, [&](const auto& entry) { return shared.count(entry.second) != 0; });
    bool all = reply.complete && shared.empty();
    for (int position = 1; all && position <= count; ++position) {
        all = uids.count(numberAt(position)) != 0;
    }
    return all;
}

void ListingLoop::useKnown(KnownSources sources) {
    known = std::move(sources);
    knownUsed = 0;
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
    knownUsed += item.source ? 1 : 0;
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
    if (knownUsed == known.size()) {
        return {}; // every kept id gave a row, so the server still has each one
    }
    std::unordered_set<std::string_view> present;
    present.reserve(uids.size());
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
