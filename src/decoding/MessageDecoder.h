#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Splits one retrieved message into header, body and MIME parts. This is deliberately not a
// general MIME parser: it finds fixed header texts in an upper-cased copy, the first match
// decides, and three shapes are handled (one part, multipart/alternative, multipart/related
// around an alternative), plus multipart/mixed around either. Boundaries are read as the
// parameters they are. The files and pictures of a message come from its MIME tree instead
// (MimeTree.h), which knows every shape.
namespace decoding {

// The boundaries a message declares. Callers start each message with empty ones, so that a
// message displays the same whatever was read before it.
struct Boundaries {
    std::string RelatedBoundary, AlternativeBoundary, MixedBoundary;
};

struct MsgPart {
    std::string PartType;
    std::size_t Start = std::string::npos; // npos: the empty last record
};

struct DecodedMessage {
    std::string MsgHeader;
    // The body (end mark taken off): a view into the downloaded text it was cut from, or into
    // its own copy once the quoted-printable decoder has changed it. BodyStore keeps what it
    // views alive, so that copies of the message share one body and a large message is not
    // held twice.
    std::string_view MsgBody;
    std::shared_ptr<const std::string> BodyStore;
    std::string MsgHTML, MsgText;
    std::vector<MsgPart> MsgParts;        // one per part line found, plus the empty last record
    Boundaries PartBoundaries;            // the boundaries the parts were cut with
    std::vector<std::string> PartEntries; // the entries of the MIME part list, "Image" included
    bool BodyDecodedQP = false;           // the body went through the quoted-printable decoder
    std::string QPText;                   // the decoder's working text, for the quoted-text window
};

// Hostile mail cannot grow the part list without bound: the walk stops listing after this
// many parts, and a listed type is cut after this many characters (real types are short).
inline constexpr std::size_t MaxListedParts = 100000;
inline constexpr std::size_t MaxPartTypeLength = 256;

// raw is the downloaded text (server status line and POP3 end mark included) or an opened
// message file. boundaries is read and updated with what this message declares; pass empty
// ones for each new message. The first form keeps a copy of the body; the second shares raw.
DecodedMessage DecodeMessage(std::string_view raw, bool showHtml, Boundaries& boundaries);
DecodedMessage DecodeMessage(std::shared_ptr<const std::string> raw, bool showHtml,
                             Boundaries& boundaries);

// The decoded body of the part whose Content-Type line starts at start (0-based) in body.
std::string ExtractPart(std::string_view body, std::size_t start, const Boundaries& boundaries);

// The record's Content; "" for the empty record or an index past the end.
std::string PartContent(const DecodedMessage& message, std::size_t index);

// Decodes the body in place from its own quoted-printable marker on (the whole body when the
// marker is in the header only) and leaves the decoder's working text in QPText.
void DecodeBodyQP(std::string& MsgBody, std::string& QPText);

// What the reader shows once a message is decoded.
enum class DecodedView {
    Html, // MsgHTML through the HTML display, with the "text/html" entry selected
    Text, // MsgText as text, with the "text/plain" entry selected
    Body  // MsgBody as text
};
DecodedView ViewToShow(const DecodedMessage& message);

// Index of the first entry of the part list whose record has exactly this PartType (letter
// case counts), or npos.
std::size_t FindPartEntry(const DecodedMessage& message, std::string_view partType);

} // namespace decoding
