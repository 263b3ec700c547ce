#pragma once

#include "session/ListReply.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace session {

// Row sources kept from earlier listings, by unique id.
using KnownSources = std::unordered_map<std::string, std::string>;

// One message of the listing, in listing order.
struct ListingItem {
    int position = 0; // 1-based: "Listing message #position of total"
    int number = 0;   // the message number sent with TOP
    // For a message that needs no TOP: the row source kept from an earlier listing, or none
    // when the server cannot send headers (the row then shows only number and size).
    const std::string* source = nullptr;
};

// The unique ids of a UIDL reply, by message number; complete when every line was readable
// and the reply ended properly.
struct UidlReply {
    std::unordered_map<int, std::string> uids;
    bool complete = false;
};
UidlReply ParseUidlReply(std::string_view reply);

// The same, read as the reply arrives: each line is taken when the piece that completes it
// comes, so a large mailbox's ids are never all read in one go.
class UidlReader {
public:
    // The reply's next bytes, status line first; pieces may split it anywhere.
    void feed(std::string_view piece);
    // What was read; the reader is empty again for the next reply.
    UidlReply finish();

private:
    UidlReply parsed;
    std::string held;         // the bytes after the last line end read
    std::size_t scanFrom = 0; // where the search for the next line end goes on in held
    bool statusSeen = false;
    bool clean = true;
    bool ended = false; // the end line came; anything after it is not read
};

// The mailbox listing after LIST: which messages to ask TOP for, in order, and the count
// shown at the end. Asking (nextItem) and answering (answered) are separate steps, so a
// caller may keep several TOPs in flight and take their answers in order.
//
// Messages are asked for as 1..n, n being the number on the last LIST line. When a number
// did not fit 31 bits, the index stops before it, and only the messages in the index are
// asked for, by their own numbers; the count shown is then the rows listed.
//
// With unique ids and the row sources kept for them, a message whose id is known needs no
// TOP: it is ready (nextReady) as soon as every message before it is done, so rows still
// come in message order.
class ListingLoop {
public:
    enum class Start {
        Unreadable, // no line end at all: nothing to list, nothing to say
        Empty,      // "No Message"
        Listing,    // TOPs to send
    };

    Start begin(std::string_view listReply);
    // The ids from UIDL. Returns whether every listed message has one.
    bool setUids(UidlReply reply);
    // The UIDL reply as it arrives, and the ids read from it (the reader starts again).
    void uidPiece(std::string_view piece) { uidLines.feed(piece); }
    UidlReply takeUids() { return uidLines.finish(); }
    // The row sources kept from earlier listings, by id. Before the first nextItem().
    void useKnown(KnownSources sources);
    // The server sends no headers: no TOP is asked for. Before the first nextItem().
    void withoutTop();

    // Not every LIST line could be used.
    bool incomplete() const { return outOfRange; }
    int total() const { return count; }
    // Every message that needs a TOP has been asked for.
    bool allAsked() const { return asked >= count; }
    // The next message to ask TOP for; call only while !allAsked().
    ListingItem nextItem();
    // TOPs asked and not yet answered.
    int outstanding() const { return topsAsked - topsAnswered; }
    // The next message in order when it needs no TOP and its turn has come; it is then done.
    std::optional<ListingItem> nextReady();
    // The listed size of the message at position, when the index knows it.
    std::optional<std::int32_t> sizeAt(int position) const {
        return ListedSize(parsed.MessageIndex, position);
    }
    // The message number and id at position (the id empty when unknown).
    int numberAt(int position) const;
    const std::string& uidAt(int position) const;
    // Where the next answer to a TOP belongs: the first message not yet done.
    int nextPosition() const { return done + 1; }
    // The oldest unanswered TOP was answered; row tells whether it gave a row.
    void answered(bool row);
    // Every message is done.
    bool finished() const { return done >= count; }
    // What "<n> Messages listed" shows.
    int listedCount() const { return outOfRange ? rows : count; }
    // Kept ids the server no longer has; only meaningful after a complete UIDL.
    std::vector<std::string> goneUids() const;

private:
    bool needsTop(int position) const;
    void skipReady();

    ListReply parsed;
    bool outOfRange = false;
    bool topless = false;
    int count = 0;
    int asked = 0; // positions passed by the asking cursor
    int done = 0;  // positions whose row (or error) is handled
    int topsAsked = 0;
    int topsAnswered = 0;
    int rows = 0;
    std::unordered_map<int, std::string> uids;
    KnownSources known;
    UidlReader uidLines;
    std::size_t knownUsed = 0; // kept sources that gave a row
};

} // namespace session
