#include "decoding/Attachments.h"

#include "decoding/TextSearch.h"

#include <algorithm>
#include <array>
#include <set>

namespace decoding {

namespace {

// The code point of the valid UTF-8 sequence at text[i], and its length.
char32_t CodePoint(std::string_view text, std::size_t i, std::size_t& length) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = b(0);
    length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    length = std::min(length, text.size() - i);
    char32_t cp = length == 1   ? lead
                  : length == 2 ? lead & 0x1F
                  : length == 3 ? lead & 0x0F
                                : lead & 0x07;
    for (std::size_t k = 1; k < length; ++k) {
        cp = (cp << 6) | (b(k) & 0x3F);
    }
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Characters that change how a name reads without being seen: bidirectional controls,
// zero-width characters and the other format characters.
bool IsInvisible(char32_t cp) {
    return cp == 0x00AD || cp == 0x034F || cp == 0x061C || cp == 0x115F || cp == 0x1160 ||
           cp == 0x17B4 || cp == 0x17B5 || cp == 0x180E || (cp >= 0x200B && cp <= 0x200F) ||
           (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2060 && cp <= 0x206F) || cp == 0x3164 ||
           cp == 0xFEFF || cp == 0xFFA0 || (cp >= 0xFFF9 && cp <= 0xFFFB) ||
           (cp >= 0x1D173 && cp <= 0x1D17A) || (cp >= 0xE0000 && cp <= 0xE0FFF);
}

// C0 and C1 controls, DEL, and the Unicode line and paragraph separators.
bool IsControl(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029;
}

char32_t FoldCodePoint(char32_t cp) {
    if ((cp >= 'A' && cp <= 'Z') || (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) ||
        (cp >= 0x391 && cp <= 0x3AB && cp != 0x3A2) || (cp >= 0x410 && cp <= 0x42F)) {
        return cp + 0x20;
    }
    if (cp >= 0x400 && cp <= 0x40F) {
        return cp + 0x50;
    }
    if (cp >= 0x100 && cp <= 0x17F && cp != 0x130 && cp != 0x131 && cp != 0x138 && cp != 0x149 &&
        cp != 0x17F) {
        // Latin Extended-A pairs: even upper case before odd lower case, except between
        // U+0139 and U+0148 and from U+0179 on, where the pairs start on an odd code.
        const bool oddPairs = (cp >= 0x139 && cp <= 0x148) || cp >= 0x179;
        if (cp == 0x178) {
            return 0xFF;
        }
        return (cp % 2 == 0) != oddPairs ? cp + 1 : cp;
    }
    return cp;
}

std::string ExtensionFor(std::string_view contentType) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 19> kKnown{{
        {"message/delivery-status", "txt"},
        {"application/pgp-signature", "asc"},
        {"application/pkcs7-signature", "p7s"},
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
    const std::string type = LowerAscii(contentType);
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
    const std::string stem = LowerAscii(TrimWhite(name.substr(0, name.find('.'))));
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

std::vector<Attachment> FindAttachments(const MimeTree& tree) {
    std::vector<Attachment> found;
    for (const std::size_t i : FileParts(tree)) {
        if (found.size() >= MaxAttachments) {
            break;
        }
        const MimePart& p = tree.Parts[i];
        Attachment a;
        a.Part = i;
        a.FileName = p.FileName;
        if (!p.Named && !p.Subject.empty()) {
            a.FileName = p.Subject + ".eml";
        }
        a.ContentType = p.Type;
        a.ContentId = p.ContentId;
        found.push_back(std::move(a));
    }
    return found;
}

std::string AttachmentContent(std::string_view message, const MimeTree& tree,
                              const Attachment& attachment) {
    if (attachment.Part >= tree.Parts.size()) {
        return {};
    }
    return PartBytes(message, tree.Parts[attachment.Part]);
}

std::string SafeFileName(std::string_view name, std::string_view contentType) {
    const std::string utf8 = SanitizeUtf8(name);
    std::string_view last = utf8;
    if (const std::size_t sep = last.find_last_of("/\\"); sep != std::string_view::npos) {
        last = last.substr(sep + 1);
    }
    std::string clean;
    clean.reserve(last.size());
    for (std::size_t i = 0, length = 0; i < last.size(); i += length) {
        const char32_t cp = CodePoint(last, i, length);
        if (IsControl(cp) || IsInvisible(cp)) {
            continue;
        }
        if (std::string_view("<>:\"|?*").find(char(cp)) != std::string_view::npos && cp < 0x80) {
            clean += '_';
        } else {
            clean.append(last, i, length);
        }
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

std::string NumberedName(std::string_view name, int n) {
    const std::size_t dot = name.rfind('.');
    const std::size_t split = dot == std::string_view::npos || dot == 0 ? name.size() : dot;
    return std::string(name.substr(0, split)) + " (" + std::to_string(n) + ")" +
           std::string(name.substr(split));
}

std::string FoldCase(std::string_view utf8) {
    const std::string text = SanitizeUtf8(utf8);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0, length = 0; i < text.size(); i += length) {
        AppendUtf8(out, FoldCodePoint(CodePoint(text, i, length)));
    }
    return out;
}

std::vector<std::string> SaveNames(const std::vector<Attachment>& attachments) {
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (const Attachment& a : attachments) {
        const std::string safe = SafeFileName(a.FileName, a.ContentType);
        std::string name = safe;
        for (int n = 2; taken.contains(FoldCase(name)); ++n) {
            name = NumberedName(safe, n);
        }
        taken.insert(FoldCase(name));
        names.push_back(std::move(name));
    }
    return names;
}

std::string DisplayName(std::string_view name, std::string_view fallback) {
    const std::string text = SanitizeUtf8(name);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0, length = 0; i < text.size(); i += length) {
        const char32_t cp = CodePoint(text, i, length);
        if (IsControl(cp)) {
            out += ' ';
        } else if (!IsInvisible(cp)) {
            out.append(text, i, length);
        }
    }
    if (TrimWhite(out).empty()) {
        return std::string(fallback);
    }
    return out;
}

std::string ElideName(std::string_view utf8, std::size_t maxChars) {
    const std::size_t count = Utf8Length(utf8);
    if (count <= maxChars || maxChars < 3) {
        return std::string(utf8);
    }
    const std::size_t tail = (maxChars - 1) / 2, head = maxChars - 1 - tail;
    return std::string(utf8.substr(0, Utf8Offset(utf8, head))) + "\u2026" +
           std::string(utf8.substr(Utf8Offset(utf8, count - tail)));
}

std::string AttachmentsLine(const std::vector<Attachment>& attachments,
                            const std::vector<std::string>& saveNames) {
    std::string line;
    for (std::size_t i = 0; i < attachments.size(); ++i) {
        line += DisplayName(attachments[i].FileName, i < saveNames.size() ? saveNames[i] : "");
        line += "; ";
    }
    return line;
}

} // namespace decoding
