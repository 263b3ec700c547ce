// The mailbox listing: LIST, the unique ids, the header store and the window of TOPs.
//
// After LIST (and UIDL, when the server gives unique ids) every message gets one row, in
// message order: from the row source kept for its id, or from its TOP reply. A server that
// announced PIPELINING gets its TOPs ahead of the replies, up to kTopWindow at a time (at
// most 14 bytes each, well inside any server's receive buffer); replies are still handled
// one at a time, in order.
#include "session/HeaderRowSource.h"
#include "session/MailboxSession.h"

#include <limits>

namespace session {

void MailboxSession::startListing() {
    listComplete = false;
    uidsAwaited = uidsComplete = topWorks = false;
    pending = Step::None;
    if (!send({Pop3Command::List})) {
        return;
    }
    current = Stage::Listing;
    listingLoop = ListingLoop();
    if (capabilities.uidl() && pipelining()) {
        send({Pop3Command::Uidl}); // the ids come in the same round trip as the list
    }
}

void MailboxSession::onList(const std::string& reply) {
    status("Counting the number of messages");
    const ListingLoop::Start start = listingLoop.begin(reply);
    if (start == ListingLoop::Start::Unreadable) {
        endListing();
        return;
    }
    if (listingLoop.incomplete()) {
        emit(SessionEvent::Kind::Note, "Not every message could be listed");
    }
    if (start == ListingLoop::Start::Empty) {
        if (headerStore && capabilities.uidl() && !listingLoop.incomplete()) {
            headerStore->keepOnly(storeKey, {}); // nothing left on the server to keep
        }
        status("No Message");
        endListing();
        return;
    }
    if (listing() && capabilities.uidl()) {
        uidsAwaited = true; // the rows wait for the ids
        if (!engine.inFlight(Pop3Command::Uidl) && !send({Pop3Command::Uidl})) {
            endListing();
        }
        return;
    }
    beginRows();
}

void MailboxSession::onUidl() {
    UidlReply ids = listingLoop.takeUids(); // read piece by piece as the reply came
    if (!std::exchange(uidsAwaited, false) || !listing()) {
        return;
    }
    uidsComplete = listingLoop.setUids(std::move(ids));
    if (!headerStore) {
        beginRows();
        return;
    }
    known.clear();
    known.reserve(static_cast<std::size_t>(listingLoop.total())); // no rehash midway
    knownAfter.clear();
    later(Step::ReadStore);
}

// A part at a time, from the event loop: reading a big mailbox's entries in one go would
// keep the window from painting for too long.
void MailboxSession::readStore() {
    switch (headerStore->loadSome(storeKey, known, knownAfter, kStoreReadLimit)) {
    case HeaderStore::Read::More:
        later(Step::ReadStore);
        return;
    case HeaderStore::Read::Done:
        listingLoop.useKnown(std::move(known));
        break;
    case HeaderStore::Read::Failed:
        break; // never trusted: every row comes from TOP
    }
    known.clear();
    beginRows();
}

void MailboxSession::later(Step step) {
    pending = step;
    emit(SessionEvent::Kind::Later);
}

void MailboxSession::resume() {
    const Step step = std::exchange(pending, Step::None);
    if (!listing()) {
        return;
    }
    if (step == Step::ReadStore) {
        readStore();
    } else if (step == Step::MoreRows) {
        advanceListing();
    }
    flush();
}

void MailboxSession::beginRows() {
    if (!capabilities.top()) {
        listingLoop.withoutTop();
    }
    advanceListing();
}

void MailboxSession::advanceListing() {
    if (!listing()) {
        return;
    }
    const int listed = listReadyRows(std::numeric_limits<int>::max(), kRowsPerSlice);
    if (listingLoop.finished()) {
        listComplete = true;
        status(std::to_string(listingLoop.listedCount()) + " Messages listed");
        if (headerStore && uidsComplete) {
            headerStore->forget(storeKey, listingLoop.goneUids());
        }
        endListing();
        return;
    }
    status("Listing message #" + std::to_string(listingLoop.nextPosition()) + " of " +
           std::to_string(listingLoop.total()));
    sendTops();
    if (listed == kRowsPerSlice && listing() && pending == Step::None) {
        later(Step::MoreRows); // the window shows these, paints and takes input first
    }
}

void MailboxSession::sendTops() {
    const int window = pipelining() ? kTopWindow : 1;
    while (!listingLoop.allAsked() && listingLoop.outstanding() < window) {
        const ListingItem item = listingLoop.nextItem();
        Pop3Request top{Pop3Command::Top, item.number};
        top.position = item.position;
        if (!send(top)) {
            endListing();
            return;
        }
    }
}

int MailboxSession::listReadyRows(int before, int limit) {
    int listed = 0;
    for (; listed < limit && listingLoop.nextPosition() < before; ++listed) {
        const std::optional<ListingItem> item = listingLoop.nextReady();
        if (!item) {
            break;
        }
        const std::optional<std::int32_t> size = listingLoop.sizeAt(item->position);
        addRow(item->number,
               item->source ? BuildHeaderRow(*item->source, size, decode)
                            : NumberedRow(item->number, size),
               listingLoop.uidAt(item->position),
               item->source ? SenderAddress(*item->source) : std::string());
    }
    return listed;
}

void MailboxSession::addRow(int number, std::string row, const std::string& uid,
                            std::string sender) {
    emit(SessionEvent::Kind::DebugText,
         "\r\n\r\nFindSubject:\r\n" + row + "\r\n*******************************", -1, true);
    headers.add(number, std::move(row), uid, std::move(sender));
    emit(SessionEvent::Kind::RowAdded, {}, headers.size() - 1);
}

void MailboxSession::onTop(const Pop3Request& request, const std::string& reply) {
    listReadyRows(request.position, std::numeric_limits<int>::max());
    const std::string& uid = listingLoop.uidAt(request.position);
    addRow(request.number, BuildHeaderRow(reply, listingLoop.sizeAt(request.position), decode), uid,
           SenderAddress(reply));
    if (headerStore && !uid.empty()) {
        newSources.emplace_back(uid, HeaderRowSource(reply));
        if (!listing() || newSources.size() >= kStoreBatch) {
            storeNewSources();
        }
    }
    topWorks = true;
    listingLoop.answered(true);
    advanceListing();
}

void MailboxSession::onTopRefused(const Pop3Request& request) {
    listReadyRows(request.position, std::numeric_limits<int>::max());
    // A server that never said it has TOP, and has not answered one yet, may have none at
    // all: the message still gets a row with its number and size. A server that has TOP
    // refused only this message, which gets no row.
    const bool row = !capabilities.announced() && !topWorks;
    if (row) {
        addRow(request.number, NumberedRow(request.number, listingLoop.sizeAt(request.position)),
               listingLoop.uidAt(request.position));
    }
    listingLoop.answered(row);
    advanceListing();
}

void MailboxSession::storeNewSources() {
    if (headerStore && !newSources.empty()) {
        headerStore->store(storeKey, newSources);
    }
    newSources.clear();
}

void MailboxSession::endListing() {
    if (!listing()) {
        return;
    }
    current = Stage::Mailbox;
    pending = Step::None;
    storeNewSources();
    pointer(false);
    emit(SessionEvent::Kind::ListingEnded);
}

} // namespace session
