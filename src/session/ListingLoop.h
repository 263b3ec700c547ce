#pragma once

#include "session/ListReply.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace session {

// One message the listing asks TOP for.
struct ListingItem {
    int position = 0; // 1-based: "Listing message #position of total"
    int number = 0;   // the message number sent with TOP
};

// The mailbox listing after LIST: which messages to ask TOP for, in order, and the count
// shown at the end. Asking (nextItem) and answering (answered) are separate steps, so a
// caller may keep several TOPs in flight and take their answers in order.
//
// Messages are asked for as 1..n, n being the number on the last LIST line. When a number
// did not fit 16 bits, the index stops before it, and only the messages in the index are
// asked for, by their own numbers; the count shown is then the rows listed.
class ListingLoop {
public:
    enum class Start {
        Unreadable, // no line end at all: nothing to list, nothing to say
        Empty,      // "No Message"
        Listing,    // TOPs to send
    };

    Start begin(std::string_view listReply);

    // Not every LIST line could be used.
    bool incomplete() const { return outOfRange; }
    int total() const { return count; }
    // Every message has been asked for.
    bool allAsked() const { return asked >= count; }
    // The next message to ask for; call only while !allAsked().
    ListingItem nextItem();
    // The listed size of the message asked for at position, when the index knows it.
    std::optional<std::int32_t> sizeAt(int position) const {
        return ListedSize(parsed.MessageIndex, position);
    }
    // The oldest unanswered TOP was answered; row tells whether it gave a row.
    void answered(bool row);
    // Every TOP asked has been answered and nothing is left to ask.
    bool finished() const { return allAsked() && answers >= asked; }
    // What "<n> Messages listed" shows.
    int listedCount() const { return outOfRange ? rows : count; }

private:
    ListReply parsed;
    bool outOfRange = false;
    int count = 0;
    int asked = 0;
    int answers = 0;
    int rows = 0;
};

} // namespace session
