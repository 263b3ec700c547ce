#pragma once

#include "decoding/Charset.h"
#include "decoding/MessageDecoder.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The files a decoded message carries: every part that is clearly a file, with the name it
// declares, and its content with the transfer encoding undone byte for byte. The parts are
// the ones the message's own boundaries delimit, so the list agrees with the part list.
namespace decoding {

struct Attachment {
    std::string FileName;    // the declared name as UTF-8, unchecked; "" when none is given
    std::string ContentType; // "type/subtype" in lower case; "" when undeclared
    std::string ContentId;   // Content-ID without its angle brackets
    std::string Encoding;    // the transfer encoding in lower case
    std::size_t ContentStart = 0, ContentEnd = 0; // the encoded content in MsgBody
};

// More are not listed: no real message carries this many files.
inline constexpr std::size_t MaxAttachments = 1000;

// A part is a file when its disposition is "attachment", when it declares a file name, or
// when its type is neither text nor multipart. Names come from the RFC 2231 filename*
// (charset and continuations), filename, name* or name, with RFC 2047 words decoded;
// convert turns a charset's bytes into UTF-8 (FallbackConvert when empty).
std::vector<Attachment> FindAttachments(const DecodedMessage& message,
                                        const CharsetConverter& convert = {});

// The attachment's bytes, base64 or quoted-printable undone.
std::string AttachmentContent(const DecodedMessage& message, const Attachment& attachment);

// Quoted-printable decoding for files (RFC 2045 section 6.7): every "=XX" escape in either
// letter case, NUL included, soft line breaks, and the blanks a transport adds at line ends.
std::string DecodeQPBytes(std::string_view text);

// A name that can be written into a chosen folder and stays there: the last path component,
// no control characters or characters Windows refuses, no leading dots, no trailing dots or
// blanks, device names such as CON prefixed, at most MaxFileNameBytes of UTF-8 (cut on a
// character boundary, the extension kept). An empty result becomes "attachment" with an
// extension from contentType ("attachment.pdf").
inline constexpr std::size_t MaxFileNameBytes = 200;
std::string SafeFileName(std::string_view name, std::string_view contentType);

// The safe names of the attachments, made distinct (letter case ignored) by numbering the
// later ones: "a.txt", "a (2).txt".
std::vector<std::string> SaveNames(const std::vector<Attachment>& attachments);

} // namespace decoding
