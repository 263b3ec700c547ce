#include "decoding/MessageDecoder.h"

#include "decoding/Base64.h"
#include "decoding/QuotedPrintable.h"
#include "decoding/TextSearch.h"

#include <algorithm>
#include <optional>

namespace decoding {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kBlankLine = "\r\n\r\n";
constexpr std::string_view kContentType = "CONTENT-TYPE: ";
constexpr std::string_view kBase64Marker = "CONTENT-TRANSFER-ENCODING: BASE64";
constexpr std::string_view kQPMarker = "CONTENT-TRANSFER-ENCODING: QUOTED-PRINTABLE";
constexpr std::string_view kBoundaryParam = "BOUNDARY=";

// Where the body ends once the POP3 end mark (CR LF "." CR LF) is taken off. Only a mark at
// the very end (trailing blanks and line breaks aside) counts: the reply is dot-unstuffed, so
// a line holding a single "." can stand inside the message and must not cut it short.
std::size_t BodyEnd(std::string_view body) {
    std::size_t last = body.size();
    while (last > 0 && (body[last - 1] == '\r' || body[last - 1] == '\n' || body[last - 1] == ' ' ||
                        body[last - 1] == '\t')) {
        --last;
    }
    // last - 1 is the last visible character; the mark needs CR LF on both sides of it.
    if (last >= 3 && body[last - 1] == '.' && body.substr(last - 3, 2) == kCrLf &&
        body.substr(last, 2) == kCrLf) {
        return last - 3;
    }
    return body.size();
}

// The boundary declared after marker: the text after BOUNDARY= and its opening quote, up to
// and without the last character of the line (the closing quote). Nothing when the marker or
// its BOUNDARY= is missing; an empty boundary when the line is too short to hold one.
std::optional<std::string> DeclaredBoundary(std::string_view upper, std::string_view text,
                                            std::string_view marker) {
    const std::size_t r = FindText(upper, marker);
    if (r == NotFound) {
        return std::nullopt;
    }
    const std::size_t b = FindText(upper, kBoundaryParam, r);
    if (b == NotFound) {
        return std::nullopt;
    }
    const std::size_t first = b + kBoundaryParam.size() + 1;
    const std::size_t e = FindText(text, kCrLf, b);
    if (e == NotFound) {
        return first <= text.size() ? std::string(text.substr(first)) : std::string();
    }
    if (e < first + 1) {
        return std::string();
    }
    return std::string(text.substr(first, e - 1 - first));
}

// A boundary declared in the header wins; without one (or with an empty one), the body's
// declaration counts.
std::optional<std::string> HeaderOrBodyBoundary(std::string_view upperHeader,
                                                std::string_view header, std::string_view upperBody,
                                                std::string_view body, std::string_view marker) {
    auto declared = DeclaredBoundary(upperHeader, header, marker);
    if (!declared || declared->empty()) {
        if (auto inBody = DeclaredBoundary(upperBody, body, marker)) {
            return inBody;
        }
    }
    return declared;
}

// First boundary text at or after from: related first, then alternative, then mixed.
std::size_t FindBoundary(std::string_view text, const Boundaries& boundaries, std::size_t from) {
    for (const std::string* boundary :
         {&boundaries.RelatedBoundary, &boundaries.AlternativeBoundary,
          &boundaries.MixedBoundary}) {
        const std::size_t at = FindText(text, *boundary, from);
        if (at != NotFound) {
            return at;
        }
    }
    return NotFound;
}

// Appends the quoted names that follow each marker in the body: the first quoted text after
// the first nameKey after the marker. Each step starts past the last match, so the scan ends.
void CollectNames(std::string_view upperBody, std::string_view body, std::string_view marker,
                  std::string_view nameKey, bool keepEmpty, std::string& label) {
    ForwardFinder markers(upperBody, marker);
    ForwardFinder names(upperBody, nameKey);
    ForwardFinder quotes(body, "\"");
    std::size_t x = markers.From(0);
    while (x != NotFound) {
        std::size_t y = x;
        const std::size_t n = names.From(x);
        if (n != NotFound) {
            const std::size_t o = quotes.From(n);
            if (o != NotFound) {
                y = o;
                const std::size_t c = quotes.From(o + 1);
                if (c != NotFound && (keepEmpty || c > o + 1)) {
                    label.append(body.substr(o + 1, c - o - 1));
                    label.append("; ");
                }
            }
        }
        x = markers.From(y + 1);
    }
}

} // namespace

void DecodeBodyQP(std::string& MsgBody, std::string& QPText) {
    const std::size_t m = FindTextNoCase(MsgBody, kQPMarker);
    if (m == NotFound) {
        QPText = DecodeQP(MsgBody);
        if (!QPText.empty()) {
            MsgBody = QPText;
        }
        return;
    }
    QPText = DecodeQP(std::string_view(MsgBody).substr(m));
    if (!QPText.empty()) {
        MsgBody.resize(m);
        MsgBody.append(QPText);
    }
}

std::string ExtractPart(std::string_view body, std::size_t start, const Boundaries& boundaries) {
    if (start >= body.size()) {
        return {};
    }
    const std::size_t blank = FindText(body, kBlankLine, start);
    if (blank == NotFound) {
        return {}; // a part without a blank line has no body
    }

    // end: the CR of the line break in front of the boundary line, NotFound when there is no
    // boundary after start or no line break before it.
    std::size_t end = NotFound;
    const std::size_t boundaryAt = FindBoundary(body, boundaries, start);
    if (boundaryAt != NotFound) {
        end = body.substr(0, boundaryAt + 1).rfind(kCrLf);
    }

    const std::size_t from = blank + kBlankLine.size();
    std::string_view content =
        (end != NotFound && end >= from) ? body.substr(from, end - from) : body.substr(from);

    // The encoding counts only when declared between the part's start and its end; a part
    // without an end is left as it is.
    std::string decoded;
    if (end != NotFound) {
        if (FindTextNoCase(body, kBase64Marker, start, end) != NotFound) {
            decoded = modBase64::Base64Decode(content);
            content = decoded;
        } else if (FindTextNoCase(body, kQPMarker, start, end) != NotFound) {
            decoded = DecodeQP(content);
            content = decoded;
        }
    }

    // A part delimited by an outer boundary ends at the first inner boundary inside it, and
    // before that boundary's "--" and the line break in front of it.
    const std::size_t cut = FindBoundary(content, boundaries, 0);
    if (cut != NotFound && cut > 0) {
        content = content.substr(0, cut);
        if (content.ends_with("--")) {
            content.remove_suffix(2);
        }
        if (content.ends_with(kCrLf)) {
            content.remove_suffix(2);
        }
    }
    return std::string(content);
}

std::string PartContent(const DecodedMessage& message, std::size_t index) {
    if (index >= message.MsgParts.size() || message.MsgParts[index].Start == std::string::npos) {
        return {};
    }
    return ExtractPart(message.MsgBody, message.MsgParts[index].Start, message.PartBoundaries);
}

DecodedMessage DecodeMessage(std::string_view raw, bool showHtml, Boundaries& boundaries) {
    DecodedMessage msg;

    std::string_view body = raw;
    const std::size_t p = FindText(raw, kBlankLine);
    if (p != NotFound) {
        msg.MsgHeader.assign(raw.substr(0, p + 2));
        body = raw.substr(p + 2);
    }
    msg.MsgBody.assign(body.substr(0, BodyEnd(body)));

    const std::string upperHeader = UpperAscii(msg.MsgHeader);
    if (FindText(upperHeader, kQPMarker) != NotFound) {
        DecodeBodyQP(msg.MsgBody, msg.QPText);
        msg.BodyDecodedQP = true;
    }

    msg.MsgParts.assign(1, MsgPart{});

    const bool hasHtml = FindText(upperHeader, "CONTENT-TYPE: TEXT/HTML") != NotFound;
    const bool hasType = FindText(upperHeader, "CONTENT-TYPE:") != NotFound;
    const bool hasPlain = FindText(upperHeader, "CONTENT-TYPE: TEXT/PLAIN") != NotFound;
    const bool base64Body = FindText(upperHeader, kBase64Marker) != NotFound;

    if (hasPlain || !hasType || (hasHtml && !showHtml)) {
        msg.MsgText = base64Body ? modBase64::Base64Decode(msg.MsgBody) : msg.MsgBody;
        msg.PartBoundaries = boundaries;
        return msg;
    }
    if (hasHtml) {
        msg.MsgHTML = base64Body ? modBase64::Base64Decode(msg.MsgBody) : msg.MsgBody;
        msg.PartBoundaries = boundaries;
        return msg;
    }

    // Multipart: the header names a content type other than text/plain and text/html.
    const std::string_view bodyView = msg.MsgBody;
    const std::string upperBody = UpperAscii(bodyView);

    if (auto related =
            DeclaredBoundary(upperHeader, msg.MsgHeader, "CONTENT-TYPE: MULTIPART/RELATED")) {
        boundaries.RelatedBoundary = std::move(*related);
    }
    if (auto alternative = HeaderOrBodyBoundary(upperHeader, msg.MsgHeader, upperBody, bodyView,
                                                "CONTENT-TYPE: MULTIPART/ALTERNATIVE")) {
        boundaries.AlternativeBoundary = std::move(*alternative);
    }
    if (auto mixed = HeaderOrBodyBoundary(upperHeader, msg.MsgHeader, upperBody, bodyView,
                                          "CONTENT-TYPE: MULTIPART/MIXED")) {
        boundaries.MixedBoundary = std::move(*mixed);
    }
    msg.PartBoundaries = boundaries;

    // Part walk: every "CONTENT-TYPE: " in the body is one entry, nested containers included.
    ForwardFinder lineEnds(bodyView, kCrLf);
    std::size_t x = FindText(upperBody, kContentType);
    while (x != NotFound && msg.PartEntries.size() < MaxListedParts) {
        const std::size_t typeStart = x + kContentType.size();
        const std::size_t e = lineEnds.From(typeStart);
        const std::size_t lineEnd = e == NotFound ? bodyView.size() : e;
        std::string_view type =
            bodyView.substr(typeStart, std::min(lineEnd - typeStart, MaxPartTypeLength));
        if (const std::size_t semicolon = type.find(';'); semicolon != std::string_view::npos) {
            type = type.substr(0, semicolon);
        }
        msg.PartEntries.emplace_back(type);
        msg.MsgParts.back() = MsgPart{std::string(type), x};
        msg.MsgParts.emplace_back();
        x = FindText(upperBody, kContentType, x + 1);
    }

    // The first HTML and the first plain part are the message's HTML and text.
    if (const std::size_t h = FindText(upperBody, "CONTENT-TYPE: TEXT/HTML"); h != NotFound) {
        msg.MsgHTML = ExtractPart(bodyView, h, boundaries);
    }
    if (const std::size_t t = FindText(upperBody, "CONTENT-TYPE: TEXT/PLAIN"); t != NotFound) {
        msg.MsgText = ExtractPart(bodyView, t, boundaries);
    }

    // Pictures: one "Image" entry for all of them, and their quoted names on the label.
    constexpr std::string_view kImage = "CONTENT-TYPE: IMAGE";
    if (FindText(upperBody, kImage) != NotFound) {
        msg.PartEntries.emplace_back("Image");
        CollectNames(upperBody, bodyView, kImage, "NAME", true, msg.Attachments);
    }
    CollectNames(upperBody, bodyView, "CONTENT-DISPOSITION: ATTACHMENT", "FILENAME", false,
                 msg.Attachments);
    return msg;
}

DecodedView ViewToShow(const DecodedMessage& message) {
    if (!message.MsgHTML.empty()) {
        return DecodedView::Html;
    }
    if (!message.MsgText.empty()) {
        return DecodedView::Text;
    }
    return DecodedView::Body;
}

std::size_t FindPartEntry(const DecodedMessage& message, std::string_view partType) {
    const std::size_t count = std::min(message.PartEntries.size(), message.MsgParts.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (message.MsgParts[i].PartType == partType) {
            return i;
        }
    }
    return std::string::npos;
}

} // namespace decoding
