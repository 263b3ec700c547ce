#include "decoding/MimeTree.h"

#include "decoding/Base64.h"
#include "decoding/QuotedPrintable.h"
#include "decoding/TextSearch.h"

#include <algorithm>
#include <map>

namespace decoding {

namespace {

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

// The end of the line that starts at at: the position after its LF (or the end of text).
std::size_t NextLine(std::string_view text, std::size_t at, std::size_t end) {
    const std::size_t lf = text.find('\n', at);
    return lf == std::string_view::npos || lf >= end ? end : lf + 1;
}

std::string_view WithoutLineBreak(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    return line;
}

// The name of a header field line, or "" when the line is no field.
std::string_view FieldName(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return {};
    }
    std::string_view name = line.substr(0, colon);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) {
        name.remove_suffix(1); // "Content-Type :" is written by some programs
    }
    for (char c : name) {
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) {
            return {};
        }
    }
    return name;
}

// Calls each(name, value) for every field of head, folded lines joined, line breaks removed.
template <class Each> void ForEachField(std::string_view head, Each each) {
    std::string_view name;
    std::string value;
    const auto flush = [&] {
        if (!name.empty()) {
            each(name, value);
        }
        name = {};
        value.clear();
    };
    for (std::size_t at = 0; at < head.size();) {
        const std::size_t next = NextLine(head, at, head.size());
        const std::string_view line = WithoutLineBreak(head.substr(at, next - at));
        at = next;
        if (!line.empty() && (line[0] == ' ' || line[0] == '\t')) {
            if (!name.empty()) {
                value.append(line);
            }
            continue;
        }
        flush();
        name = FieldName(line);
        if (!name.empty()) {
            value.assign(line.substr(line.find(':') + 1));
        }
    }
    flush();
}

std::string StripAngles(std::string_view id) {
    id = TrimWhite(id);
    if (id.size() >= 2 && id.front() == '<' && id.back() == '>') {
        id = TrimWhite(id.substr(1, id.size() - 2));
    }
    return std::string(id);
}

struct PartFields {
    std::optional<std::string> type, encoding, disposition, id, location, subject;
};

PartFields ReadFields(std::string_view head) {
    PartFields f;
    ForEachField(head, [&](std::string_view name, const std::string& value) {
        const auto take = [&](const char* wanted, std::optional<std::string>& into) {
            if (!into && EqualNoCase(name, wanted)) {
                into = value;
            }
        };
        take("content-type", f.type);
        take("content-transfer-encoding", f.encoding);
        take("content-disposition", f.disposition);
        take("content-id", f.id);
        take("content-location", f.location);
    });
    return f;
}

// A delimiter line of a multipart body: "--" boundary at the start of a line, "--" after it
// when it closes, then blanks only.
struct Delimiter {
    std::size_t lineStart; // where the line break in front of it starts (or the line)
    std::size_t next;      // the first byte after the line
    bool close;
};

class Walker {
public:
    Walker(std::string_view text, const CharsetConverter& convert, MimeTree& tree)
        : text(text), convert(convert), tree(tree) {}

    void part(std::size_t begin, std::size_t end, std::size_t parent, std::size_t depth,
              bool inDigest) {
        if (tree.Parts.size() >= MaxMimeParts) {
            tree.Capped = true;
            return;
        }
        const std::size_t index = tree.Parts.size();
        tree.Parts.emplace_back();
        MimePart p;
        p.Parent = parent;
        p.Depth = depth;
        p.HeadStart = begin;
        // The header block ends at the first empty line; a part without one is all header.
        std::size_t at = begin;
        p.HeadEnd = p.BodyStart = end;
        while (at < end) {
            const std::size_t next = NextLine(text, at, end);
            if (WithoutLineBreak(text.substr(at, next - at)).empty() && next > at) {
                p.HeadEnd = at;
                p.BodyStart = next;
                break;
            }
            at = next;
        }
        p.BodyEnd = end;
        const PartFields f = ReadFields(text.substr(p.HeadStart, p.HeadEnd - p.HeadStart));
        const ContentField type = ParseContentField(f.type.value_or(""));
        p.Type = type.Value;
        if (p.Type.find('/') == std::string::npos) {
            p.Type = inDigest ? "message/rfc822" : "text/plain"; // RFC 2045 section 5.2
        }
        p.Charset = LowerAscii(TrimWhite(type.Param("charset").value_or("")));
        p.Encoding = LowerAscii(TrimWhite(f.encoding.value_or("")));
        const ContentField disposition = ParseContentField(f.disposition.value_or(""));
        p.Disposition = disposition.Value;
        std::optional<std::string> name = disposition.ParamText("filename", convert);
        if (!name) {
            name = type.ParamText("name", convert);
        }
        p.Named = name.has_value();
        p.FileName = name.value_or("");
        p.ContentId = StripAngles(f.id.value_or(""));
        p.ContentLocation = std::string(TrimWhite(f.location.value_or("")));
        std::string boundary;
        if (p.IsContainer()) {
            boundary = type.Param("boundary").value_or("");
        } else if (p.Type == "message/rfc822" || p.Type == "message/global") {
            const std::string_view inner = text.substr(p.BodyStart, p.BodyEnd - p.BodyStart);
            const std::string_view innerHead = inner.substr(0, inner.find("\r\n\r\n"));
            p.Subject = DecodeEncodedWords(
                TrimWhite(HeaderFieldValue(innerHead, "subject").value_or("")), convert);
        }
        const bool digest = p.Type == "multipart/digest";
        const std::size_t bodyStart = p.BodyStart;
        tree.Parts[index] = std::move(p);
        if (boundary.empty()) {
            return;
        }
        if (depth + 1 >= MaxMimeDepth) {
            tree.Capped = true;
            return;
        }
        const std::vector<Delimiter> delimiters = findDelimiters(bodyStart, end, boundary);
        for (std::size_t d = 0; d < delimiters.size(); ++d) {
            if (delimiters[d].close) {
                break; // what follows the closing line is the epilogue
            }
            const std::size_t partEnd =
                d + 1 < delimiters.size() ? delimiters[d + 1].lineStart : end;
            part(delimiters[d].next, std::max(partEnd, delimiters[d].next), index, depth + 1,
                 digest);
        }
    }

private:
    std::vector<Delimiter> findDelimiters(std::size_t begin, std::size_t end,
                                          std::string_view boundary) {
        const std::string needle = "--" + std::string(boundary);
        std::vector<Delimiter> found;
        std::size_t from = begin;
        while (from < end) {
            const std::size_t at = text.find(needle, from);
            if (at == std::string_view::npos || at + needle.size() > end) {
                break;
            }
            from = at + 1;
            if (at != begin && text[at - 1] != '\n') {
                continue;
            }
            std::size_t i = at + needle.size();
            const bool close = i + 2 <= end && text.substr(i, 2) == "--";
            i += close ? 2 : 0;
            while (i < end && (text[i] == ' ' || text[i] == '\t')) {
                ++i;
            }
            if (i < end && text[i] != '\r' && text[i] != '\n') {
                continue; // a longer boundary, or text that only starts like one
            }
            // The line break in front of the delimiter belongs to it (RFC 2046 5.1.1).
            std::size_t lineStart = at;
            if (at > begin && text[at - 1] == '\n') {
                lineStart = at - 1;
                if (lineStart > begin && text[lineStart - 1] == '\r') {
                    --lineStart;
                }
            }
            found.push_back({lineStart, NextLine(text, i, end), close});
            from = found.back().next;
            if (close || found.size() >= MaxMimeParts) {
                break;
            }
        }
        return found;
    }

    std::string_view text;
    const CharsetConverter& convert;
    MimeTree& tree;
};

} // namespace

std::optional<std::string> HeaderFieldValue(std::string_view head, std::string_view name) {
    std::optional<std::string> found;
    ForEachField(head, [&](std::string_view field, const std::string& value) {
        if (!found && EqualNoCase(field, name)) {
            found = value;
        }
    });
    return found;
}

ContentField ParseContentField(std::string_view text) {
    ContentField field;
    const std::size_t n = text.size();
    std::size_t i = 0;
    const auto skipComment = [&] {
        int level = 0;
        for (; i < n; ++i) {
            if (text[i] == '\\') {
                ++i;
            } else if (text[i] == '(') {
                ++level;
            } else if (text[i] == ')' && --level == 0) {
                ++i;
                return;
            }
        }
    };
    const auto skipBlanks = [&] {
        while (i < n && (IsLinearWhite(text[i]) || text[i] == '(')) {
            if (text[i] == '(') {
                skipComment();
            } else {
                ++i;
            }
        }
    };
    // A token up to a blank, a comment, ";" or one of stops.
    const auto token = [&](std::string_view stops) {
        std::string out;
        while (i < n && !IsLinearWhite(text[i]) && text[i] != ';' && text[i] != '(' &&
               stops.find(text[i]) == std::string_view::npos) {
            out += text[i++];
        }
        return out;
    };
    const auto toSemicolon = [&] {
        while (i < n && text[i] != ';') {
            if (text[i] == '"') {
                for (++i; i < n && text[i] != '"'; ++i) {
                    i += text[i] == '\\' ? 1 : 0;
                }
                ++i;
            } else if (text[i] == '(') {
                skipComment();
            } else {
                ++i;
            }
        }
    };

    skipBlanks();
    std::string value = token("");
    skipBlanks();
    if (i < n && text[i] == '/' && value.find('/') == std::string::npos) {
        ++i; // "text / plain" is rare but legal
        skipBlanks();
        value += "/";
    }
    if (value.ends_with('/')) {
        skipBlanks();
        value += token("");
    }
    field.Value = LowerAscii(value);
    toSemicolon();
    while (i < n) {
        ++i; // the ";"
        skipBlanks();
        const std::string name = LowerAscii(token("="));
        skipBlanks();
        if (i >= n || text[i] != '=' || name.empty()) {
            toSemicolon();
            continue;
        }
        ++i;
        skipBlanks();
        std::string parameter;
        if (i < n && text[i] == '"') {
            for (++i; i < n && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < n) {
                    ++i;
                }
                parameter += text[i];
            }
            ++i;
        } else {
            // Unquoted values with characters a token may not hold ("=" in a boundary) are
            // common: take everything up to ";" or a blank.
            while (i < n && text[i] != ';' && !IsLinearWhite(text[i])) {
                parameter += text[i++];
            }
        }
        field.Params.emplace_back(name, std::move(parameter));
        toSemicolon();
    }
    return field;
}

namespace {

// The RFC 2231 value of key: its bytes and its charset ("" when none is declared).
std::optional<std::pair<std::string, std::string>> ExtendedParam(const ContentField& field,
                                                                 std::string_view key) {
    constexpr std::size_t kMaxSections = 1000;
    std::map<std::size_t, std::pair<bool, std::string_view>> sections; // index -> (encoded, v)
    for (const auto& [name, value] : field.Params) {
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
    if (sections.empty() || sections.begin()->first != 0) {
        return std::nullopt;
    }
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
                charset = LowerAscii(value.substr(0, q1));
                value = value.substr(q2 + 1);
            }
        }
        bytes += section.first ? PercentDecode(value) : std::string(value);
    }
    return std::make_pair(std::move(bytes), std::move(charset));
}

const std::string* PlainParam(const ContentField& field, std::string_view key) {
    for (const auto& [name, value] : field.Params) {
        if (name == key) {
            return &value;
        }
    }
    return nullptr;
}

} // namespace

std::optional<std::string> ContentField::Param(std::string_view name) const {
    if (auto extended = ExtendedParam(*this, name)) {
        return std::move(extended->first);
    }
    if (const std::string* plain = PlainParam(*this, name)) {
        return *plain;
    }
    return std::nullopt;
}

std::optional<std::string> ContentField::ParamText(std::string_view name,
                                                   const CharsetConverter& convert) const {
    if (auto extended = ExtendedParam(*this, name)) {
        auto& [bytes, charset] = *extended;
        if (charset.empty()) {
            return DecodeEncodedWords(bytes, convert);
        }
        return SanitizeUtf8(convert ? convert(charset, bytes) : FallbackConvert(charset, bytes));
    }
    if (const std::string* plain = PlainParam(*this, name)) {
        return DecodeEncodedWords(*plain, convert);
    }
    return std::nullopt;
}

bool MimePart::IsFile() const {
    if (IsContainer()) {
        return false;
    }
    if (Type == "message/rfc822" || Type == "message/global" || Disposition == "attachment" ||
        Named) {
        return true;
    }
    return !Type.starts_with("text/");
}

std::string_view MessageText(std::string_view raw) {
    std::size_t last = raw.size();
    while (last > 0 && (raw[last - 1] == '\r' || raw[last - 1] == '\n' || raw[last - 1] == ' ' ||
                        raw[last - 1] == '\t')) {
        --last;
    }
    if (last >= 3 && raw[last - 1] == '.' && raw.substr(last - 3, 2) == "\r\n" &&
        raw.substr(last, 2) == "\r\n") {
        return raw.substr(0, last - 1);
    }
    return raw;
}

MimeTree ParseMime(std::string_view message, const CharsetConverter& convert) {
    MimeTree tree;
    Walker(message, convert, tree).part(0, message.size(), NoParent, 0, false);
    return tree;
}

std::string PartBytes(std::string_view message, const MimePart& part) {
    if (part.BodyStart > part.BodyEnd || part.BodyEnd > message.size()) {
        return {};
    }
    const std::string_view content = message.substr(part.BodyStart, part.BodyEnd - part.BodyStart);
    if (part.Encoding == "base64") {
        return modBase64::Base64DecodeBytes(content);
    }
    if (part.Encoding == "quoted-printable") {
        return DecodeQPBytes(content);
    }
    return std::string(content);
}

std::vector<std::size_t> FileParts(const MimeTree& tree) {
    std::vector<std::size_t> files;
    for (std::size_t i = 0; i < tree.Parts.size(); ++i) {
        if (tree.Parts[i].IsFile()) {
            files.push_back(i);
        }
    }
    return files;
}

std::size_t FindReferencedPart(const MimeTree& tree, std::string_view reference, bool cid) {
    if (reference.empty()) {
        return NoParent;
    }
    const std::string id = cid ? StripAngles(PercentDecode(reference)) : std::string(reference);
    for (std::size_t i = 0; i < tree.Parts.size(); ++i) {
        const MimePart& p = tree.Parts[i];
        if (!p.IsContainer() && (cid ? p.ContentId : p.ContentLocation) == id) {
            return i;
        }
    }
    return NoParent;
}

} // namespace decoding
