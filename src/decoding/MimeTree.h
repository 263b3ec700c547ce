#pragma once

#include "decoding/Charset.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A message as the tree of its MIME parts (RFC 2045, RFC 2046). The tree holds positions into
// the message text and the few header values the reader needs; contents are decoded only when
// asked for, so a hostile message cannot multiply memory.
namespace decoding {

// --- Header fields and their parameters -----------------------------------------------------

// The value of the first field called name (letter case ignored) in a header block, folded
// lines joined; nothing when there is no such field. Lines that are no field (a POP3 status
// line, an mbox "From " line) are passed over.
std::optional<std::string> HeaderFieldValue(std::string_view head, std::string_view name);

// A structured field such as Content-Type or Content-Disposition (RFC 2045 section 5.1):
// its leading value in lower case and its parameters in the order written, names in lower
// case, values unquoted. Comments "(...)" outside quotes are skipped.
struct ContentField {
    std::string Value;
    std::vector<std::pair<std::string, std::string>> Params;

    // The bytes of parameter name: RFC 2231 sections (name*0, name*1*, ...) joined and
    // percent-decoded, the charset and language of an extended value taken off; the plain
    // form when there is no extended one.
    std::optional<std::string> Param(std::string_view name) const;
    // The same as UTF-8 text: an extended value in its declared charset, a plain one with
    // RFC 2047 encoded words decoded (as many mail programs write names).
    std::optional<std::string> ParamText(std::string_view name,
                                         const CharsetConverter& convert = {}) const;
};
ContentField ParseContentField(std::string_view value);

// --- The tree -------------------------------------------------------------------------------

// Hostile mail cannot nest or multiply parts without bound: deeper containers are kept as
// one opaque part, and parts past the count are not listed.
inline constexpr std::size_t MaxMimeDepth = 40;
inline constexpr std::size_t MaxMimeParts = 20000;
inline constexpr std::size_t NoParent = static_cast<std::size_t>(-1);

struct MimePart {
    std::size_t Parent = NoParent;
    std::size_t Depth = 0;
    std::size_t HeadStart = 0, HeadEnd = 0; // the header block
    std::size_t BodyStart = 0, BodyEnd = 0; // the encoded content
    std::string Type;                       // "type/subtype" in lower case, defaults applied
    std::string Charset;                    // lower case; "" when undeclared
    std::string Encoding;                   // the transfer encoding in lower case
    std::string Disposition;                // "inline", "attachment" or ""
    std::string FileName;                   // the declared name as UTF-8; "" when none
    bool Named = false;                     // a name was declared (it may be empty)
    std::string ContentId;                  // without its angle brackets
    std::string ContentLocation;
    std::string Subject; // of an attached message, as UTF-8

    bool IsContainer() const { return Type.starts_with("multipart/"); }
    // A part the user can save: an attached message, a part declared as an attachment or
    // with a name, and every leaf that is neither text nor a container.
    bool IsFile() const;
};

struct MimeTree {
    std::vector<MimePart> Parts; // in the order written; Parts[0] is the message itself
    bool Capped = false;         // the depth or the count cap cut something off
};

// The message text of a POP3 reply or a message file: the end mark (CR LF "." CR LF at the
// very end) taken off, the line break in front of it kept.
std::string_view MessageText(std::string_view raw);

// Walks message (see MessageText). convert turns declared charsets into UTF-8 for names.
MimeTree ParseMime(std::string_view message, const CharsetConverter& convert = {});

// The content of part with its transfer encoding undone: base64 (missing padding
// tolerated), quoted-printable byte for byte; anything else as it stands.
std::string PartBytes(std::string_view message, const MimePart& part);

// The indexes of the parts that are files, in order.
std::vector<std::size_t> FileParts(const MimeTree& tree);

// The picture part a cid: address or a Content-Location refers to: the part whose
// Content-ID is reference (RFC 2392, percent escapes undone), else the one whose
// Content-Location is reference. NoParent when none is.
std::size_t FindReferencedPart(const MimeTree& tree, std::string_view reference, bool cid);

} // namespace decoding
