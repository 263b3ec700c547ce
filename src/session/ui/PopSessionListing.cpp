// The mailbox listing: LIST, the unique ids, the header cache and the TOP window.
#include "platform/ClickableLabel.h"
#include "platform/Dialogs.h"
#include "platform/HeaderCache.h"
#include "platform/TextCodec.h"
#include "session/HeaderRow.h"
#include "session/HeaderRowSource.h"
#include "session/ui/PopSession.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <algorithm>
#include <limits>

using session::Pop3Command;
using session::Pop3Request;

// --- Listing -------------------------------------------------------------------------------
//
// After LIST (and UIDL, when the server gives unique ids) every message gets one row, in
// message order: from the row source kept for its id, or from its TOP reply. A server that
// announced PIPELINING gets its TOPs ahead of the replies, in a window bounded by count and
// by bytes; replies are still handled one at a time, in order.

namespace {

QString utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr int kTopWindow = 1024;
// The TOP lines not yet answered stay well inside any server's receive buffer.
constexpr std::size_t kTopWindowBytes = 16384;
// Rows from kept sources built before the event loop gets its turn again.
constexpr int kRowsPerSlice = 1024;
// Entries read from the cache at a time, and new ones written at a time (one transaction).
constexpr int kCacheRowsPerRead = 2048;
constexpr std::size_t kStoreBatch = 256;

std::size_t topLineBytes(int number) {
    return 9 + std::to_string(number).size(); // "TOP n 10" CR LF
}

} // namespace

void PopSession::openHeaderCache(const QString& path) {
    headerCache.reset(); // one connection to a file at a time
    headerCache = std::make_shared<platform::HeaderCache>(path);
}

void PopSession::startListing() {
    listComplete = false;
    uidsAwaited = uidsComplete = topWorks = advancePosted = false;
    topBytes = 0;
    listing = send({Pop3Command::List});
    if (listing && capabilities.uidl() && capabilities.pipelining()) {
        send({Pop3Command::Uidl}); // the ids come in the same round trip as the list
    }
}

void PopSession::onListReply(const std::string& reply) {
    setStatus(QStringLiteral("Counting the number of messages"));
    const session::ListingLoop::Start start = listingLoop.begin(reply);
    if (start == session::ListingLoop::Start::Unreadable) {
        endListing();
        return;
    }
    if (listingLoop.incomplete()) {
        setNote(QStringLiteral("Not every message could be listed"));
    }
    if (start == session::ListingLoop::Start::Empty) {
        if (headerCache && capabilities.uidl() && !listingLoop.incomplete()) {
            headerCache->keepOnly(
                platform::HeaderCache::accountKey(account.POPAddress, account.EmailUsername),
                {}); // nothing left on the server to keep
        }
        setStatus(QStringLiteral("No Message"));
        endListing();
        return;
    }
    if (listing && capabilities.uidl()) {
        uidsAwaited = true; // the rows wait for the ids
        if (!engine.inFlight(Pop3Command::Uidl) && !send({Pop3Command::Uidl})) {
            endListing();
        }
        return;
    }
    beginRows();
}

void PopSession::onUidlReply(const std::string& reply) {
    if (!std::exchange(uidsAwaited, false) || !listing) {
        return;
    }
    uidsComplete = listingLoop.setUids(session::ParseUidlReply(reply));
    cacheAccount = platform::HeaderCache::accountKey(account.POPAddress, account.EmailUsername);
    if (!headerCache) {
        beginRows();
        return;
    }
    readCache(std::make_shared<session::KnownSources>(), {});
}

void PopSession::readCache(std::shared_ptr<session::KnownSources> known, std::string after) {
    // A part at a time, from the event loop: reading a big mailbox's entries in one go would
    // keep the window from painting for too long.
    later([this, known, after = std::move(after)]() mutable {
        if (!listing) {
            return;
        }
        switch (headerCache->loadSome(cacheAccount, *known, after, kCacheRowsPerRead)) {
        case platform::HeaderCache::Read::More:
            readCache(std::move(known), std::move(after));
            return;
        case platform::HeaderCache::Read::Done:
            listingLoop.useKnown(std::move(*known));
            break;
        case platform::HeaderCache::Read::Failed:
            break; // never trusted: every row comes from TOP
        }
        beginRows();
    });
}

void PopSession::later(std::function<void()> step) {
    QMetaObject::invokeMethod(
        this,
        [this, id = sessionId, step = std::move(step)] {
            if (id == sessionId) {
                step();
            }
        },
        Qt::QueuedConnection);
}

void PopSession::beginRows() {
    if (!capabilities.top()) {
        listingLoop.withoutTop();
    }
    advanceListing();
}

void PopSession::advanceListing() {
    if (!listing) {
        return;
    }
    const int listed = listReadyRows(std::numeric_limits<int>::max(), kRowsPerSlice);
    if (listingLoop.finished()) {
        listComplete = true;
        setStatus(QString::number(listingLoop.listedCount()) + QStringLiteral(" Messages listed"));
        if (headerCache && uidsComplete) {
            headerCache->forget(cacheAccount, listingLoop.goneUids());
        }
        endListing();
        return;
    }
    setStatus(QStringLiteral("Listing message #") + QString::number(listingLoop.nextPosition()) +
              QStringLiteral(" of ") + QString::number(listingLoop.total()));
    sendTops();
    if (listed == kRowsPerSlice && listing && !advancePosted) {
        // More rows are ready: the window shows these, paints and takes input first.
        flushListingView();
        advancePosted = true;
        later([this] {
            advancePosted = false;
            advanceListing();
        });
    }
}

void PopSession::sendTops() {
    const int window = capabilities.pipelining() ? kTopWindow : 1;
    bool sent = false;
    while (!listingLoop.allAsked() && listingLoop.outstanding() < window &&
           (topBytes < kTopWindowBytes || listingLoop.outstanding() == 0)) {
        const session::ListingItem item = listingLoop.nextItem();
        if (sck->state() != platform::Transport::State::Connected ||
            !engine.send({Pop3Command::Top, item.number, item.position})) {
            platform::dialogs().messageBox(ui.window, QStringLiteral("Socket closed"));
            endListing();
            return;
        }
        topBytes += topLineBytes(item.number);
        sent = true;
    }
    if (sent) {
        flushOutgoing(); // the whole window in one write
    }
}

int PopSession::listReadyRows(int before, int limit) {
    int listed = 0;
    for (; listed < limit && listingLoop.nextPosition() < before; ++listed) {
        const std::optional<session::ListingItem> item = listingLoop.nextReady();
        if (!item) {
            break;
        }
        const std::optional<std::int32_t> size = listingLoop.sizeAt(item->position);
        addListedRow(item->number,
                     item->source ? session::BuildHeaderRow(*item->source, size,
                                                            &platform::TextCodec::headerUtf8)
                                  : session::NumberedRow(item->number, size),
                     listingLoop.uidAt(item->position));
    }
    return listed;
}

void PopSession::addListedRow(int number, const std::string& row, const std::string& uid) {
    if (ui.mnEnableDebug->isChecked()) {
        AddDebugText(QStringLiteral("\r\n\r\nFindSubject:\r\n") + utf8(row) +
                     QStringLiteral("\r\n*******************************"));
    }
    rows.add(number, row, uid);
    if (listing) {
        scheduleListingView();
    } else {
        flushListingView();
    }
}

void PopSession::onPiece(const Pop3Request& request, const std::string& piece) {
    if (request.command == Pop3Command::Uidl) {
        if (ui.mnEnableDebug->isChecked()) {
            AddDebugBytes(piece);
        }
    } else if (request.command != Pop3Command::Top) {
        AddDebugBytes(piece);
    } else if (++packetCount, ui.mnEnableDebug->isChecked()) {
        AddDebugBytes("\r\n\r\nPacket # " + std::to_string(packetCount) + "\r\n" + piece);
    }
}

void PopSession::onTopReply(const Pop3Request& request, const std::string& reply) {
    listReadyRows(request.tag, std::numeric_limits<int>::max());
    topBytes -= std::min(topBytes, topLineBytes(request.number));
    const std::string& uid = listingLoop.uidAt(request.tag);
    addListedRow(request.number,
                 session::BuildHeaderRow(reply, listingLoop.sizeAt(request.tag),
                                         &platform::TextCodec::headerUtf8),
                 uid);
    if (headerCache && !uid.empty()) {
        newSources.emplace_back(uid, session::HeaderRowSource(reply));
        if (!listing || newSources.size() >= kStoreBatch) {
            storeNewSources();
        }
    }
    topWorks = true;
    listingLoop.answered(true);
    advanceListing();
}

void PopSession::onTopRefused(const Pop3Request& request) {
    listReadyRows(request.tag, std::numeric_limits<int>::max());
    topBytes -= std::min(topBytes, topLineBytes(request.number));
    // A server that never said it has TOP, and has not answered one yet, may have none at
    // all: the message still gets a row with its number and size. A server that has TOP
    // refused only this message, which gets no row.
    const bool row = !capabilities.announced() && !topWorks;
    if (row) {
        addListedRow(request.number,
                     session::NumberedRow(request.number, listingLoop.sizeAt(request.tag)),
                     listingLoop.uidAt(request.tag));
    }
    listingLoop.answered(row);
    advanceListing();
}

void PopSession::storeNewSources() {
    if (headerCache && !newSources.empty()) {
        headerCache->store(cacheAccount, newSources);
    }
    newSources.clear();
}

void PopSession::endListing() {
    listing = false;
    storeNewSources();
    flushListingView();
    defaultPointer();
    Q_EMIT listingEnded();
}

void PopSession::scheduleListingView() {
    if (!listingView->isActive()) {
        listingView->start();
    }
}

void PopSession::flushListingView() {
    listingView->stop();
    for (; rowsShown < rows.size(); ++rowsShown) {
        ui.lstHeaders->addItem(utf8(rows.shown(rowsShown)));
    }
    if (statusPending) {
        statusPending = false;
        ui.lblStatus->setText(pendingStatus);
    }
}
