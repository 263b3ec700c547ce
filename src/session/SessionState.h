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
    std::string ReceiveBuffer;    // the reply being collected
    bool ClearMsgPending = false; // the next timer tick empties lblMsg
};

struct MessageIndexEntry {
    std::int16_t Number = 0;
    std::int32_t Size = 0;
};

// The mailbox listing and the rows built from it.
struct ListingState {
    std::vector<MessageIndexEntry> MessageIndex; // element 0 unused, as the rows count from 1
    std::int16_t MessageCount = 0;
    std::int16_t ListingNumber = 0;
    bool HeaderDone = false;
    bool TopFailed = false;
    bool ListComplete = false;
    std::int16_t PacketCount = 0;
    std::int16_t VisibleRows = 0;
    std::int16_t WorkRow = 0;
    std::int16_t SavedTopIndex = 0;
    std::vector<std::int16_t> RowNumbers; // the message number each header row was listed for
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
    bool RetrieveInProgress = false;
    bool AdvanceAfterView = false;
};

} // namespace session
