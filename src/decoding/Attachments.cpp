#include "decoding/Attachments.h"

#include "decoding/Base64.h"
#include "decoding/TextSearch.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <set>

namespace decoding {

namespace {

constexpr std::string_view kCrLf = "\r\n";

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), LowerAscii);
    return out;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = LowerAscii(c);
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

// The value of the first field called name in a header block, folded lines joined; nothing
// when the block has no such field.
std::optional<std::string> FieldValue(std::string_view head, std::string_view name) {
    std::optional<std::string> value;
    std::size_t at = 0;
    while (at < head.size()) {
        std::size_t end = head.find('\n', at);
        end = end == std::string_view::npos ? head.size() : end + 1;
        std::string_view line = head.substr(at, end - at);
        at = end;
        const bool continuation = line[0] == ' ' || line[0] == '\t';
        if (value) {
            if (!continuation) {
                break;
            }
            value->append(TrimWhite(line).empty() ? std::string_view() : line);
        } else if (!continuation && line.size() > name.size() &&
                   EqualNoCase(line.substr(0, name.size()), name) && line[name.size()] == ':') {
            value.emplace(line.substr(name.size() + 1));
        }
    }
    if (value) {
        std::erase_if(*value, [](char c) { return c == '\r' || c == '\n'; });
    }
    return value;
}

// A structured field such as Content-Disposition: its leading value in lower case and its
// parameters (names in lower case, quoted values unquoted) in the order written.
struct StructuredField {
    std::string value;
    std::vector<std::pair<std::string, std::string>> params;
};

StructuredField ParseField(std::string_view text) {
    StructuredField field;
    std::size_t i = text.find(';');
    field.value = Lower(TrimWhite(text.substr(0, i)));
    while (i < text.size()) {
        ++i; // past the ';'
        const std::size_t nameEnd = text.find_first_of("=;", i);
        const std::string name = Lower(TrimWhite(text.substr(i, nameEnd - i)));
        i = nameEnd;
        if (i >= text.size() || text[i] == ';') {
            continue;
        }
        ++i; // past the '='
        while (i < text.size() && IsLinearWhite(text[i])) {
            ++i;
        }
        std::string value;
        if (i < text.size() && text[i] == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size()) {
                    ++i;
                }
                value += text[i];
            }
            i = text.find(';', i);
        } else {
            const std::size_t end = text.find(';', i);
            value = TrimWhite(text.substr(i, end - i));
            i = end;
        }
        if (!name.empty()) {
            field.params.emplace_back(name, std::move(value));
        }
    }
    return field;
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            out += char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Parameter key as UTF-8: the RFC 2231 forms key* and key*0, key*1* ... win over plain key.
std::optional<std::string> ParamText(const StructuredField& field, std::string_view key,
                                     const CharsetConverter& convert) {
    constexpr std::size_t kMaxSections = 1000;
    std::map<std::size_t, std::pair<bool, std::string>> sections; // index -> (encoded, value)
    const std::string* plain = nullptr;
    for (const auto& [name, value] : field.params) {
        if (name == key) {
            plain = plain ? plain : &value;
            continue;
        }
        if (name.size() <= key.size() || !name.starts_with(key) || name[key.size()] != '*') {
            continue;
        }
        std::string_view rest = std::string_view(name).substr(key.size() + 1);
        const bool encoded = rest.empty() || rest.ends_with('*');
        if (rest.ends_with('*')) {
            rest.remove_suffix(1);
        }
        std::size_t index = 0;
        if (!rest.empty()) {
            if (rest.size() > 3 || !std::all_of(rest.begin(), rest.end(),
                                                [](char c) { return c >= '0' && c <= '9'; })) {
                continue;
            }
            index = std::stoul(std::string(rest));
        }
        if (index < kMaxSections) {
            sections.try_emplace(index, encoded, value);
        }
    }
    if (!sections.empty() && sections.begin()->first == 0) {
        std::string charset, bytes;
        std::size_t next = 0;
        for (const auto& [index, section] : sections) {
            if (index != next++) {
                break; // a missing section ends the value
            }
            std::string_view value = section.second;
            if (section.first && index == 0) {
                // charset'language'text
                const std::size_t q1 = value.find('\'');
                const std::size_t q2 = q1 == std::string_view::npos ? q1 : value.find('\'', q1 + 1);
                if (q2 != std::string_view::npos) {
                    charset = Lower(value.substr(0, q1));
                    value = value.substr(q2 + 1);
                }
            }
            bytes += section.first ? PercentDecode(value) : std::string(value);
        }
        if (charset.empty()) {
            return DecodeEncodedWords(bytes, convert);
        }
        return SanitizeUtf8(convert ? convert(charset, bytes) : FallbackConvert(charset, bytes));
    }
    if (plain) {
        return DecodeEncodedWords(*plain, convert);
    }
    return std::nullopt;
}

// Reads one part: head is its header block, content its encoded body. Nothing when the part
// is not a file.
std::optional<Attachment> ReadPart(std::string_view head, std::size_t contentStart,
                                   std::size_t contentEnd, const CharsetConverter& convert) {
    const StructuredField type = ParseField(FieldValue(head, "content-type").value_or(""));
    const StructuredField disposition =
        ParseField(FieldValue(head, "content-disposition").value_or(""));
    if (type.value.starts_with("multipart/")) {
        return std::nullopt;
    }
    std::optional<std::string> name = ParamText(disposition, "filename", convert);
    if (!name) {
        name = ParamText(type, "name", convert);
    }
    const bool isText = type.value.empty() || type.value.starts_with("text/");
    if (disposition.value != "attachment" && !name && isText) {
        return std::nullopt;
    }
    Attachment a;
    a.FileName = name.value_or("");
    a.ContentType = type.value;
    std::string id(TrimWhite(FieldValue(head, "content-id").value_or("")));
    if (id.size() >= 2 && id.front() == '<' && id.back() == '>') {
        id = id.substr(1, id.size() - 2);
    }
    a.ContentId = std::move(id);
    a.Encoding = Lower(TrimWhite(FieldValue(head, "content-transfer-encoding").value_or("")));
    a.ContentStart = contentStart;
    a.ContentEnd = contentEnd;
    return a;
}

// A delimiter line: CR LF (or the start of the body), "--", a boundary, an optional "--"
// that closes, optional blanks, CR LF (or the end).
struct Delimiter {
    std::size_t lineStart; // where the CR LF in front of it starts
    std::size_t next;      // the first byte after the line
    bool close;
};

std::vector<Delimiter> FindDelimiters(std::string_view body, const Boundaries& b) {
    std::vector<std::string> needles;
    for (const std::string* boundary :
         {&b.RelatedBoundary, &b.AlternativeBoundary, &b.MixedBoundary}) {
        if (!boundary->empty() &&
            std::find(needles.begin(), needles.end(), "--" + *boundary) == needles.end()) {
            needles.push_back("--" + *boundary);
        }
    }
    std::vector<ForwardFinder> finders;
    for (const std::string& n : needles) {
        finders.emplace_back(body, n);
    }
    std::vector<Delimiter> found;
    std::size_t from = 0;
    while (found.size() <= MaxListedParts) {
        std::size_t at = NotFound, length = 0;
        for (std::size_t i = 0; i < finders.size(); ++i) {
            const std::size_t hit = finders[i].From(from);
            if (hit < at || (hit == at && needles[i].size() > length)) {
                at = hit;
                length = needles[i].size();
            }
        }
        if (at == NotFound) {
            break;
        }
        from = at + 1;
        if (at != 0 && (at < 2 || body.substr(at - 2, 2) != kCrLf)) {
            continue;
        }
        std::size_t i = at + length;
        const bool close = body.substr(i, 2) == "--";
        i += close ? 2 : 0;
        while (i < body.size() && (body[i] == ' ' || body[i] == '\t')) {
            ++i;
        }
        if (i < body.size() && body.substr(i, 2) != kCrLf) {
            continue; // a longer boundary, or text that only starts like one
        }
        found.push_back({at == 0 ? 0 : at - 2, std::min(i + 2, body.size()), close});
        from = found.back().next;
    }
    return found;
}

std::string ExtensionFor(std::string_view contentType) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 16> kKnown{{
        {"application/pdf", "pdf"},
        {"application/zip", "zip"},
        {"application/octet-stream", "bin"},
        {"application/msword", "doc"},
        {"application/gzip", "gz"},
        {"image/jpeg", "jpg"},
        {"image/svg+xml", "svg"},
        {"text/plain", "txt"},
        {"text/html", "html"},
        {"text/calendar", "ics"},
        {"text/csv", "csv"},
        {"text/vcard", "vcf"},
        {"message/rfc822", "eml"},
        {"audio/mpeg", "mp3"},
        {"video/quicktime", "mov"},
        {"application/x-zip-compressed", "zip"},
    }};
    const std::string type = Lower(contentType);
    for (const auto& [known, extension] : kKnown) {
        if (type == known) {
            return "." + std::string(extension);
        }
    }
    // image/png, image/gif, video/mp4, ...: a short plain subtype is its own extension.
    const std::size_t slash = type.find('/');
    const std::string_view subtype =
        slash == std::string::npos ? std::string_view() : std::string_view(type).substr(slash + 1);
    if (!subtype.empty() && subtype.size() <= 8 &&
        std::all_of(subtype.begin(), subtype.end(),
                    [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); })) {
        return "." + std::string(subtype);
    }
    return {};
}

bool IsDeviceName(std::string_view name) {
    // Windows refuses these as file names whatever follows the first dot.
    const std::string stem = Lower(TrimWhite(name.substr(0, name.find('.'))));
    for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$"}) {
        if (stem == device) {
            return true;
        }
    }
    return stem.size() == 4 && (stem.starts_with("com") || stem.starts_with("lpt")) &&
           stem[3] >= '0' && stem[3] <= '9';
}

// The text without leading dots and blanks and without trailing dots and blanks.
std::string_view TrimDotsAndBlanks(std::string_view text, bool leading) {
    const auto junk = [](char c) { return c == '.' || c == ' '; };
    while (leading && !text.empty() && junk(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && junk(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The first max bytes of UTF-8 text, never cutting a character.
std::string_view CutUtf8(std::string_view text, std::size_t max) {
    if (text.size() <= max) {
        return text;
    }
    std::size_t cut = max;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return text.substr(0, cut);
}

} // namespace

std::string DecodeQPBytes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto lineEndsAt = [&](std::size_t j) {
        return j >= text.size() || text[j] == '\n' || text.substr(j, 2) == kCrLf;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '=') {
            if (i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
                out += char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
                i += 2;
                continue;
            }
            std::size_t j = i + 1;
            while (j < text.size() && (text[j] == ' ' || text[j] == '\t')) {
                ++j;
            }
            if (lineEndsAt(j)) { // a soft line break
                i = j < text.size() && text[j] == '\r' ? j + 1 : j;
                continue;
            }
            out += c;
        } else if (c == ' ' || c == '\t') {
            std::size_t j = i;
            while (j < text.size() && (text[j] == ' ' || text[j] == '\t')) {
                ++j;
            }
            if (!lineEndsAt(j)) {
                out.append(text.substr(i, j - i));
            }
            i = j - 1;
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<Attachment> FindAttachments(const DecodedMessage& message,
                                        const CharsetConverter& convert) {
    std::vector<Attachment> found;
    const std::string_view body = message.MsgBody;
    const std::vector<Delimiter> delimiters = FindDelimiters(body, message.PartBoundaries);
    if (delimiters.empty()) {
        // One part: the message itself may be the file.
        if (auto a = ReadPart(message.MsgHeader, 0, body.size(), convert)) {
            if (message.BodyDecodedQP) {
                a->Encoding.clear(); // already decoded
            }
            found.push_back(std::move(*a));
        }
        return found;
    }
    ForwardFinder blankLines(body, "\r\n\r\n");
    for (std::size_t d = 0; d < delimiters.size() && found.size() < MaxAttachments; ++d) {
        if (delimiters[d].close) {
            continue; // what follows a closing line is no part
        }
        const std::size_t start = delimiters[d].next;
        const std::size_t end =
            d + 1 < delimiters.size() ? delimiters[d + 1].lineStart : body.size();
        if (start >= end) {
            continue;
        }
        std::size_t head = start, content = start + 2;
        if (body.substr(start, 2) != kCrLf) {
            const std::size_t blank = blankLines.From(start);
            if (blank == NotFound || blank >= end) {
                continue; // a part without a blank line has no body
            }
            head = blank + 2;
            content = blank + 4;
        }
        if (auto a =
                ReadPart(body.substr(start, head - start), std::min(content, end), end, convert)) {
            found.push_back(std::move(*a));
        }
    }
    return found;
}

std::string AttachmentContent(const DecodedMessage& message, const Attachment& attachment) {
    const std::string_view body = message.MsgBody;
    if (attachment.ContentStart > attachment.ContentEnd || attachment.ContentEnd > body.size()) {
        return {};
    }
    const std::string_view content =
        body.substr(attachment.ContentStart, attachment.ContentEnd - attachment.ContentStart);
    if (attachment.Encoding == "base64") {
        return modBase64::Base64Decode(content);
    }
    if (attachment.Encoding == "quoted-printable") {
        return DecodeQPBytes(content);
    }
    return std::string(content);
}

std::string SafeFileName(std::string_view name, std::string_view contentType) {
    const std::string utf8 = SanitizeUtf8(name);
    std::string_view last = utf8;
    if (const std::size_t sep = last.find_last_of("/\\"); sep != std::string_view::npos) {
        last = last.substr(sep + 1);
    }
    std::string clean;
    clean.reserve(last.size());
    for (std::size_t i = 0; i < last.size(); ++i) {
        const auto c = static_cast<unsigned char>(last[i]);
        if (c < 0x20 || c == 0x7F) {
            continue;
        }
        if (c == 0xC2 && i + 1 < last.size() && static_cast<unsigned char>(last[i + 1]) < 0xA0) {
            ++i; // U+0080 to U+009F, the second set of control characters
            continue;
        }
        clean +=
            std::string_view("<>:\"|?*").find(char(c)) != std::string_view::npos ? '_' : char(c);
    }
    std::string safe(TrimDotsAndBlanks(clean, true));
    if (IsDeviceName(safe)) {
        safe.insert(0, "_");
    }
    if (safe.size() > MaxFileNameBytes) {
        const std::size_t dot = safe.rfind('.');
        const std::string extension = dot != std::string::npos && dot > 0 && safe.size() - dot <= 16
                                          ? safe.substr(dot)
                                          : std::string();
        const std::string_view stem = CutUtf8(safe, MaxFileNameBytes - extension.size());
        safe = std::string(TrimDotsAndBlanks(stem, false)) + extension;
    }
    if (safe.empty()) {
        safe = "attachment" + ExtensionFor(contentType);
    }
    return safe;
}

std::vector<std::string> SaveNames(const std::vector<Attachment>& attachments) {
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (const Attachment& a : attachments) {
        const std::string safe = SafeFileName(a.FileName, a.ContentType);
        std::string name = safe;
        const std::size_t dot = safe.rfind('.');
        const std::size_t split = dot == std::string::npos || dot == 0 ? safe.size() : dot;
        for (int n = 2; taken.contains(Lower(name)); ++n) {
            name = safe.substr(0, split) + " (" + std::to_string(n) + ")" + safe.substr(split);
        }
        taken.insert(Lower(name));
        names.push_back(std::move(name));
    }
    return names;
}

} // namespace decoding
