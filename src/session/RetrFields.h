#pragma once

#include "decoding/MessageFields.h"

#include <optional>
#include <string>
#include <string_view>

namespace session {

// The header fields picked out of a downloaded message. A field is empty (nullopt) when its
// label does not occur or its value is shorter than two characters.
struct RetrFields {
    std::optional<std::string> FromDate; // up to 16 characters of the Date value, raw
    std::optional<std::string> FromAddress;
    std::optional<std::string> ApparentlyToField;
    std::optional<std::string> XSenderField;
    std::optional<std::string> ReplyToField;
    std::optional<std::string> CcField;
    std::optional<std::string> FromSubject;
};

// Picks the fields out of a complete RETR reply. Each label is searched from the start of
// the reply, preceded by CR LF, so the first line with that label counts (a quoted header
// line in the body only when the header lacks it). "Date: ", "From: " and "Subject: " are
// matched in exact case, "X-Apparently-To: ", "X-Sender: ", "Reply-To: " and "Cc: " in any
// case. A value runs to the end of its line and is kept as received; the date is its first
// 16 characters.
// With startsLine, a message file rather than a reply, the first line counts as well.
RetrFields PickRetrFields(std::string_view reply, bool startsLine = false);

// Stores the picked fields for the message just downloaded. Every field, the date, sender and
// subject included, is set, so a message without a Subject shows no subject rather than the
// subject of the message viewed before it.
void StoreRetrFields(const RetrFields& picked, decoding::MessageFields& fields);

} // namespace session
