#include "decoding/MessageDecoder.h"

#include "decoding/Base64.h"
#include "decoding/MimeTree.h"
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

// The boundary parameter of the Content-Type field that marker starts (RFC 2046 5.1.1): quoted
// or not, in any place among the parameters, folded, RFC 2231 continued. Nothing when the
// marker is missing or the field declares no boundary.
std::optional<std::string> DeclaredBoundary(std::string_view text, std::string_view marker) {
    const std::size_t r = FindTextNoCase(text, marker);
    if (r == NotFound) {
        return std::nullopt;
    }
    // The field runs on over lines that start with a blank or a tab.
    std::size_t end = r;
    do {
        end = text.find('\n', end);
        end = end == std::string_view::npos ? text.size() : end + 1;
    } while (end < text.size() && (text[end] == ' ' || text[end] == '\t'));
    const auto value = HeaderFieldValue(text.substr(r, end - r), "content-type");
    return ParseContentField(value.value_or("")).Param("boundary");
}

// A boundary declared in the header wins; without one (or with an empty one), the body's
// declaration counts.
std::optional<std::string> HeaderOrBodyBoundary(std::string_view header, std::string_view body,
                                                std::string_view marker) {
    auto declared = DeclaredBoundary(header, marker);
    if (!declared || declared->empty()) {
        if (auto inBody = DeclaredBoundary(body, marker)) {
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

namespace {

// owner, when given, holds raw: the body is then a view into it rather than a copy.
DecodedMessage Decode(std::string_view raw, std::shared_ptr<const std::string> owner, bool showHtml,
                      Boundaries& boundaries) {
    DecodedMessage msg;

    std::string_view body = raw;
    const std::size_t p = FindText(raw, kBlankLine);
    if (p != NotFound) {
        msg.MsgHeader.assign(raw.substr(0, p + 2));
        body = raw.substr(p + 2);
    }
    body = body.substr(0, BodyEnd(body));

    const std::string upperHeader = UpperAscii(msg.MsgHeader);
    if (FindText(upperHeader, kQPMarker) != NotFound) {
        std::string decoded(body);
        DecodeBodyQP(decoded, msg.QPText);
        msg.BodyDecodedQP = true;
        msg.BodyStore = std::make_shared<const std::string>(std::move(decoded));
        msg.MsgBody = *msg.BodyStore;
    } else if (owner) {
        msg.BodyStore = std::move(owner);
        msg.MsgBody = body;
    } else {
        msg.BodyStore = std::make_shared<const std::string>(body);
        msg.MsgBody = *msg.BodyStore;
    }

    msg.MsgParts.assign(1, MsgPart{});

    const bool hasHtml = FindText(upperHeader, "CONTENT-TYPE: TEXT/HTML") != NotFound;
    const bool hasType = FindText(upperHeader, "CONTENT-TYPE:") != NotFound;
    const bool hasPlain = FindText(upperHeader, "CONTENT-TYPE: TEXT/PLAIN") != NotFound;
    const bool base64Body = FindText(upperHeader, kBase64Marker) != NotFound;

    if (hasPlain || !hasType || (hasHtml && !showHtml)) {
        msg.MsgText = base64Body ? modBase64::Base64Decode(msg.MsgBody) : std::string(msg.MsgBody);
        msg.PartBoundaries = boundaries;
        return msg;
    }
    if (hasHtml) {
        msg.MsgHTML = base64Body ? modBase64::Base64Decode(msg.MsgBody) : std::string(msg.MsgBody);
        msg.PartBoundaries = boundaries;
        return msg;
    }

    // Multipart: the header names a content type other than text/plain and text/html.
    // The body is searched without regard to case in place: an upper-case copy of a large
    // message would cost as much memory as the message.
    const std::string_view bodyView = msg.MsgBody;

    if (auto related =
            HeaderOrBodyBoundary(msg.MsgHeader, bodyView, "CONTENT-TYPE: MULTIPART/RELATED")) {
        boundaries.RelatedBoundary = std::move(*related);
    }
    if (auto alternative =
            HeaderOrBodyBoundary(msg.MsgHeader, bodyView, "CONTENT-TYPE: MULTIPART/ALTERNATIVE")) {
        boundaries.AlternativeBoundary = std::move(*alternative);
    }
    // The third boundary is the mixed one. A message whose own container is of another kind
    // (signed, report, digest) and that holds no mixed one is cut at its container's
    // boundary instead, so that its parts end where they end.
    if (auto mixed =
            HeaderOrBodyBoundary(msg.MsgHeader, bodyView, "CONTENT-TYPE: MULTIPART/MIXED")) {
        boundaries.MixedBoundary = std::move(*mixed);
    } else {
        const ContentField own =
            ParseContentField(HeaderFieldValue(msg.MsgHeader, "content-type").value_or(""));
        if (own.Value != "multipart/related" && own.Value != "multipart/alternative") {
            if (auto boundary = own.Param("boundary")) {
                boundaries.MixedBoundary = std::move(*boundary);
            }
        }
    }
    msg.PartBoundaries = boundaries;

    // Part walk: every "CONTENT-TYPE: " in the body is one entry, nested containers included.
    ForwardFinder lineEnds(bodyView, kCrLf);
    std::size_t x = FindTextNoCase(bodyView, kContentType);
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
        x = FindTextNoCase(bodyView, kContentType, x + 1);
    }

    // The first HTML and the first plain part are the message's HTML and text.
    if (const std::size_t h = FindTextNoCase(bodyView, "CONTENT-TYPE: TEXT/HTML"); h != NotFound) {
        msg.MsgHTML = ExtractPart(bodyView, h, boundaries);
    }
    if (const std::size_t t = FindTextNoCase(bodyView, "CONTENT-TYPE: TEXT/PLAIN"); t != NotFound) {
        msg.MsgText = ExtractPart(bodyView, t, boundaries);
    }

    // Pictures: one "Image" entry for all of them.
    if (FindTextNoCase(bodyView, "CONTENT-TYPE: IMAGE") != NotFound) {
        msg.PartEntries.emplace_back("Image");
    }
    return msg;
}

} // namespace

DecodedMessage DecodeMessage(std::string_view raw, bool showHtml, Boundaries& boundaries) {
    return Decode(raw, nullptr, showHtml, boundaries);
}

DecodedMessage DecodeMessage(std::shared_ptr<const std::string> raw, bool showHtml,
                             Boundaries& boundaries) {
    if (!raw) {
        return Decode({}, nullptr, showHtml, boundaries);
    }
    const std::string_view text = *raw;
    return Decode(text, std::move(raw), showHtml, boundaries);
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
