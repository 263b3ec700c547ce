#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace session {

// What the POP3 engine remembers between socket events.
struct SessionState {
    std::string LastCommand; // first four characters of the last command, or "CONNECT"
    std::int16_t KeepAliveCountdown = 60;
    bool GreetingReceived = false;
    // The reply being collected. After a download: the "+OK" status line, the message
    // dot-unstuffed, and the end mark "." CR LF, which the decoder removes.
    std::string ReceiveBuffer;
    bool ClearMsgPending = false; // the next timer tick empties lblMsg
};

struct MessageIndexEntry {
    std::int16_t Number = 0;
    std::int32_t Size = 0;
};

// The mailbox listing and the rows built from it. Each row of lstHeaders also keeps the
// message number it was listed for (item data), which RETR and DELE use.
struct ListingState {
    std::vector<MessageIndexEntry> MessageIndex; // element 0 unused, as the rows count from 1
    int MessageCount = 0;
    int ListingNumber = 0; // the message whose TOP is in flight
    // Kept for the start-up reset; the listing is driven by the TOP replies themselves.
    bool HeaderDone = false;
    bool TopFailed = false;
    bool ListComplete = false;
    int PacketCount = 0; // TOP reply pieces since "Get Mail" (debug text only)
    std::int16_t VisibleRows = 0;
    int WorkRow = 0; // the row that SetRowMark rewrites and SelectNextRow moves from
    int SavedTopIndex = 0;
};

// Header fields of the message last downloaded; printing and replying read them.
struct MessageFields {
    std::string FromDate;
    std::string FromAddress;
    std::string FromSubject;
    std::string ReplyToField;
    std::string XSenderField;
    std::string ApparentlyToField;
    std::string CcField;
};

} // namespace session
