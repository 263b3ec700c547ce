// The header list on the screen: the listing, downloads and deletions.
#include "platform/ClickableLabel.h"
#include "platform/Dialogs.h"
#include "platform/HeaderCache.h"
#include "platform/SettingsStore.h"
#include "platform/TextCodec.h"
#include "session/HeaderRow.h"
#include "session/HeaderRowSource.h"
#include "session/ui/PopSession.h"
#include "session/ui/frmDebug.h"
#include "settings/SettingsKeys.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <limits>

using session::Pop3Command;
using session::Pop3Request;

namespace {

const QString kListBusy = QStringLiteral("Downloading List, Please Wait");
const QString kMessageBusy = QStringLiteral("Downloading Message, Please Wait");
const QString kQuitBusy = QStringLiteral("Disconnecting, Please Wait");

QString utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void message(QWidget* parent, const QString& text) {
    platform::dialogs().messageBox(parent, text);
}

} // namespace

// --- Listing -------------------------------------------------------------------------------
//
// After LIST (and UIDL, when the server gives unique ids) every message gets one row, in
// message order: from the row source kept for its id, or from its TOP reply. A server that
// announced PIPELINING gets its TOPs ahead of the replies, in a window bounded by count and
// by bytes; replies are still handled one at a time, in order.

namespace {

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

void PopSession::showRow(int row) {
    flushListingView();
    if (QListWidgetItem* item = ui.lstHeaders->item(row)) {
        item->setText(utf8(rows.shown(row)));
    }
}

void PopSession::SetRowMark(int row, char mark) {
    rows.setMark(row, mark);
    showRow(row);
    ui.lstHeaders->setCurrentRow(row);
}

void PopSession::SelectNextRow(int from) {
    QListWidget* list = ui.lstHeaders;
    const int count = list->count();
    if (count == 0) {
        return;
    }
    const int row = from < count - 1 ? std::max(from + 1, 0) : count - 1;
    list->setCurrentRow(row);
    list->scrollToItem(list->item(row), QAbstractItemView::EnsureVisible);
}

// --- Retrieval -----------------------------------------------------------------------------

bool PopSession::refuseWhileBusy() {
    // DELE and NOOP replies are single lines that change nothing a new command depends on;
    // everything else must be answered before the next command goes out.
    const bool busy =
        listing ||
        std::any_of(engine.inFlight().begin(), engine.inFlight().end(), [](const Pop3Request& r) {
            return r.command != Pop3Command::Dele && r.command != Pop3Command::Noop;
        });
    if (!busy) {
        return false;
    }
    setNote(engine.inFlight(Pop3Command::Retr)   ? kMessageBusy
            : engine.inFlight(Pop3Command::Quit) ? kQuitBusy
                                                 : kListBusy);
    clearNotePending = true;
    return true;
}

void PopSession::lstHeaders_DblClick() {
    download(ui.lstHeaders->currentRow());
}

bool PopSession::download(int row) {
    try {
        if (sck->state() != platform::Transport::State::Connected) {
            message(ui.window, QStringLiteral("Connection closed, click Get Mail"));
            return false;
        }
        if (!listComplete) {
            setNote(kListBusy);
            clearNotePending = true;
            return false;
        }
        if (refuseWhileBusy()) {
            return false;
        }
        if (!rows.has(row)) {
            message(ui.window, QStringLiteral("No message selected!"));
            return false;
        }
        if (rows.isSexuallyExplicit(row)) {
            message(ui.window,
                    QStringLiteral(
                        "These messages stay on the server until deleted or Hell freezes over"));
            return false;
        }
        clearDebugBuffer();
        Q_EMIT downloadStarting();
        retrieving = true;
        advanceAfterView = false;
        busyPointer();
        setStatus(QStringLiteral("Downloading message"));
        if (!send({Pop3Command::Retr, rows.number(row), row})) {
            defaultPointer();
            return false;
        }
        return true;
    } catch (const std::exception&) {
        message(ui.window, QStringLiteral("Error in lstHeaders()"));
        return false;
    }
}

void PopSession::cmdView_Click() {
    QListWidget* list = ui.lstHeaders;
    const int row = list->currentRow();
    if (row >= 0) {
        const int target =
            session::ViewRow(rows.shown(row), row, rows.size(), ui.mnFilterSpam->isChecked());
        if (target != row) {
            list->setCurrentRow(target);
        }
    }
    if (download(list->currentRow())) {
        advanceAfterView = true;
    }
}

void PopSession::onRetrReply(const Pop3Request& request, std::string reply) {
    if (!retrieving) {
        return;
    }
    defaultPointer();
    const int row = request.tag;
    setStatus(QStringLiteral("Message # ") + QString::number(row + 1) + QStringLiteral(" of ") +
              QString::number(ui.lstHeaders->count()) + QStringLiteral(" Complete"));
    SetRowMark(row, 'R');
    if (advanceAfterView) {
        SelectNextRow(row);
    }
    retrieving = false;
    Q_EMIT messageDownloaded(std::move(reply));
}

// --- Deletion ------------------------------------------------------------------------------

void PopSession::cmdDelete_Click() {
    if (refuseWhileBusy()) {
        return;
    }
    QListWidget* list = ui.lstHeaders;
    const int row = list->currentRow();
    if (row < 0) {
        message(ui.window, QStringLiteral("No message selected!"));
        if (list->count() > 0) {
            list->setCurrentRow(0);
        }
        return;
    }
    if (rows.mark(row) == 'D') {
        message(ui.window, QStringLiteral("Message already marked for deletion"));
        return;
    }
    if (ui.mnConfirmDelete->isChecked() &&
        platform::dialogs().messageBox(
            ui.window, QStringLiteral("Are you sure you want\r\nto delete this message ?"),
            platform::MsgButtons::YesNo) != platform::MsgAnswer::Yes) {
        return;
    }
    send({Pop3Command::Dele, rows.number(row), row});
    if (list->currentRow() < 0 && list->count() > 0) {
        list->setCurrentRow(0);
    }
    if (QListWidgetItem* item = list->currentItem()) {
        item->setSelected(true);
    }
}

void PopSession::onDeleted(const Pop3Request& request) {
    const int row = request.tag;
    if (!rows.has(row)) {
        return;
    }
    setStatus(QStringLiteral("Message # ") + QString::number(row + 1) + QStringLiteral(" of ") +
              QString::number(ui.lstHeaders->count()) + QStringLiteral(" marked deleted"));
    SetRowMark(row, 'D');
    SelectNextRow(row);
}

void PopSession::DeleteAndViewNext() {
    cancelViewNext();
    QListWidget* list = ui.lstHeaders;
    const int remembered = list->currentRow();
    cmdDelete_Click();
    if (remembered == list->count() - 1) {
        return;
    }
    if (list->currentRow() != remembered) {
        download(list->currentRow());
        return;
    }
    // Normally the "+OK" to DELE moves the selection; whichever row it moves to is next.
    viewNextFrom = remembered;
    viewNext = connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row != viewNextFrom) {
            cancelViewNext();
            download(row);
        }
    });
}

void PopSession::cancelViewNext() {
    if (viewNext) {
        disconnect(viewNext);
    }
    viewNext = {};
    viewNextFrom = -1;
}

bool PopSession::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui.cmdDelete && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        if (ui.cmdDelete->isEnabled()) {
            DeleteAndViewNext();
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// --- Debug buffer --------------------------------------------------------------------------

frmDebug* PopSession::debugWindow(bool create) {
    if (!debug && create) {
        debug = new frmDebug(ui.window, [](const char* key) {
            return platform::settingsStore().GetSetting(settings::keys::kSettings, key);
        });
    }
    return debug;
}

settings::WindowGeometry PopSession::debugWindowGeometry() const {
    if (debug) {
        const QRectF r = debug->windowTwips();
        return {r.top(), r.left(), r.height(), r.width()};
    }
    // Not open: what the window's own load would make of the stored values.
    auto stored = [](std::string_view key) {
        return platform::settingsStore().GetSetting(settings::keys::kSettings, key);
    };
    return settings::GeometryFromText(
        stored(settings::keys::kDeTop), stored(settings::keys::kDeLeft),
        stored(settings::keys::kDeHeight), stored(settings::keys::kDeWidth),
        settings::kBufferWindowLimits);
}

void PopSession::AddDebugText(const QString& text) {
    try {
        debugWindow(true)->appendText(text);
    } catch (const std::exception&) {
        message(ui.window, QStringLiteral("Error in AddDebugText()"));
    }
}

void PopSession::AddDebugBytes(std::string_view bytes) {
    try {
        debugWindow(true)->appendBytes(bytes);
    } catch (const std::exception&) {
        message(ui.window, QStringLiteral("Error in AddDebugText()"));
    }
}

void PopSession::clearDebugBuffer() {
    if (debug) {
        debug->setBytes({});
    }
}

void PopSession::ShowBuffer() {
    frmDebug* w = debugWindow(true);
    w->show();
    w->raise();
    w->activateWindow();
}

void PopSession::ShowRemovedTags(const std::string& tags) {
    // The removed tags borrow the debug window; its own text comes back when it is closed.
    std::string kept = debug ? debug->text() : std::string();
    frmDebug* w = debugWindow(true);
    w->hide();
    w->setBytes(tags);
    w->setWindowModality(Qt::ApplicationModal);
    connect(w, &QObject::destroyed, this, [this, kept = std::move(kept)]() mutable {
        // After the window is gone for good, so that a new one takes the text.
        QMetaObject::invokeMethod(
            this,
            [this, kept = std::move(kept)]() mutable {
                if (!kept.empty()) {
                    debugWindow(true)->setText(std::move(kept));
                }
            },
            Qt::QueuedConnection);
    });
    w->show();
}
