#pragma once

#include "decoding/Charset.h"

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// Pieces of an outgoing message that do not depend on the SMTP client: address lists,
// header encoding, line ends and the date line. Text here is UTF-8, the form in which the
// compose window hands its fields to the SMTP session.
namespace compose {

// The envelope recipients of a To text: the entries separated by "," or ";" outside
// quotes, angle brackets and comments; of each entry the address inside "<...>" when it
// has one, else the entry without surrounding blanks. Empty entries (a list ending in
// ", ") are skipped.
std::vector<std::string> EnvelopeAddresses(std::string_view to);

// The To text as a header value: its non-empty entries joined by ", " (a reply to all,
// "a, b, ", gives "a, b"), each display name that is not plain ASCII written as RFC 2047
// encoded words, and a plain one quoted when it holds specials; addresses stay as they are.
// The list is folded between entries so that lines stay within 78 characters where an entry
// allows it (RFC 5322 section 2.1.1); nameLength is the length of "To: " before the value.
std::string EncodeAddressList(std::string_view to, std::size_t nameLength = 0);

// A display name as an RFC 5322 phrase: kept when it is a quoted string already or holds
// none of the specials ( ) < > [ ] : ; @ \ , " (a "." alone is common and tolerated);
// otherwise quoted, with "\" and '"' escaped.
std::string QuotedDisplayName(std::string_view name);

// A raw address field of a received message (From, Reply-To, Cc, ...) as the recipient text
// of a reply: entries joined by ", ", each display name decoded from RFC 2047 encoded words
// with convert, control characters (an encoded line break among them) shown as blanks,
// and quoted by QuotedDisplayName, so that a decoded name can never split the list or pose
// as another address.
std::string ReplyAddressText(std::string_view raw, const decoding::CharsetConverter& convert);

// True when text holds CR, LF or NUL, which would let a field inject SMTP commands or
// header lines.
bool HasLineBreakOrNul(std::string_view text);

// A header value as RFC 2047 "B" encoded words in UTF-8 when it holds anything outside
// printable ASCII, folded so that no line exceeds 76 characters. ASCII text is unchanged
// when it fits on a line of 78; longer, it is folded before blanks, or encoded when a run
// without blanks would still make a line longer than 998.
// nameLength is the length of the field name and ": " before the value on its line.
std::string EncodeHeaderValue(std::string_view utf8, std::size_t nameLength);

// Text with every line end (CR LF, lone LF or lone CR) written as CR LF.
std::string WithCrLf(std::string_view text);

// The Date field value (RFC 5322 section 3.3) of a local time, in English whatever the
// user's locale: "Tue, 05 Mar 2024 14:03:01 +0100". utcOffsetSeconds is east of UTC.
std::string MailDate(const std::tm& local, long utcOffsetSeconds);

// The Content-Disposition value of an attached file: "attachment; filename=" the quoted
// name when it is plain ASCII, else the RFC 2231 form filename*=UTF-8''<percent-encoded>
// on a folded line of its own.
std::string AttachmentDisposition(std::string_view utf8Name);

// The Content-Type value of an attached file with its name= parameter, the name as RFC 2047
// encoded words when it is not plain ASCII (the form older readers look for).
std::string AttachmentContentType(std::string_view type, std::string_view utf8Name);

// The file name part of a path: the text after the last "/" or "\", the whole text when
// it has neither.
std::string AttachmentName(std::string_view path);

} // namespace compose
