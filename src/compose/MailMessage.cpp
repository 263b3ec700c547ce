#include "compose/MailMessage.h"

#include "decoding/Base64.h"
#include "decoding/TextSearch.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace compose {

namespace {

// RFC 5322 section 2.1.1: lines should stay within 78 characters and must within 998.
constexpr std::size_t kFoldedLine = 78;
constexpr std::size_t kMaxLine = 998;

bool isUtf8Continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

bool isPlainAscii(std::string_view text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F) {
            return false;
        }
    }
    return true;
}

// A whole RFC 5322 quoted string: opening and closing quote, every quote between escaped.
bool isQuotedString(std::string_view text) {
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') {
        return false;
    }
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == '"') {
            return false;
        }
    }
    return true; // a final backslash would escape the closing quote
}

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + '"';
}

std::string withBlanksForControls(std::string text) {
    for (char& c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            c = ' ';
        }
    }
    return text;
}

// Header text as the user reads it, kept on one line.
std::string shownText(std::string_view raw, const decoding::CharsetConverter& convert) {
    return withBlanksForControls(decoding::DecodeEncodedWords(raw, convert));
}

// Position of the "<" that opens an entry's address, outside quotes; npos when none.
std::size_t angleOutsideQuotes(std::string_view entry) {
    bool quoted = false;
    for (std::size_t i = 0; i < entry.size(); ++i) {
        const char c = entry[i];
        if (c == '\\' && quoted) {
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == '<' && !quoted) {
            return i;
        }
    }
    return std::string_view::npos;
}

// The entries of an address list: split at "," or ";" outside quotes, angle brackets and
// comments.
std::vector<std::string_view> listEntries(std::string_view list) {
    std::vector<std::string_view> entries;
    bool quoted = false;
    int angle = 0;
    int comment = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const char c = list[i];
        if (c == '\\' && (quoted || comment > 0)) {
            ++i;
        } else if (c == '"' && comment == 0) {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == '(') {
            ++comment;
        } else if (c == ')' && comment > 0) {
            --comment;
        } else if (comment > 0) {
            continue;
        } else if (c == '<') {
            ++angle;
        } else if (c == '>' && angle > 0) {
            --angle;
        } else if ((c == ',' || c == ';') && angle == 0) {
            entries.push_back(list.substr(start, i - start));
            start = i + 1;
        }
    }
    entries.push_back(list.substr(std::min(start, list.size())));
    return entries;
}

// The address of one list entry: inside "<...>" when present (outside quotes), else the
// entry itself.
std::string entryAddress(std::string_view entry) {
    const std::size_t open = angleOutsideQuotes(entry);
    if (open == std::string_view::npos) {
        // A bare address may carry a comment: "c@z (Carl)".
        std::string bare;
        int depth = 0;
        for (const char c : entry) {
            if (c == '(') {
                ++depth;
            } else if (c == ')' && depth > 0) {
                --depth;
            } else if (depth == 0) {
                bare += c;
            }
        }
        return std::string(decoding::TrimWhite(bare));
    }
    const std::size_t close = entry.find('>', open + 1);
    const std::size_t end = close == std::string_view::npos ? entry.size() : close;
    return std::string(decoding::TrimWhite(entry.substr(open + 1, end - open - 1)));
}

// Plain text folded before blanks (RFC 5322 section 2.2.3) so that lines stay within
// kFoldedLine where the blanks allow; empty when some line would still exceed kMaxLine.
std::string foldAtBlanks(std::string_view text, std::size_t nameLength) {
    std::string out;
    std::size_t column = nameLength;
    std::size_t pos = 0;
    while (pos < text.size()) {
        // The next piece: up to the blank after the next word.
        std::size_t end = text.find(' ', pos + 1);
        end = end == std::string_view::npos ? text.size() : end;
        const std::string_view piece = text.substr(pos, end - pos);
        if (!out.empty() && piece.front() == ' ' && column + piece.size() > kFoldedLine) {
            out += "\r\n";
            column = 0;
        }
        if (column + piece.size() > kMaxLine) {
            return {};
        }
        out += piece;
        column += piece.size();
        pos = end;
    }
    return out;
}

} // namespace

std::vector<std::string> EnvelopeAddresses(std::string_view to) {
    std::vector<std::string> addresses;
    for (const std::string_view entry : listEntries(to)) {
        std::string address = entryAddress(entry);
        if (!address.empty()) {
            addresses.push_back(std::move(address));
        }
    }
    return addresses;
}

std::string EncodeAddressList(std::string_view to, std::size_t nameLength) {
    // One entry as it is written when it starts at column.
    const auto entryText = [](std::string_view entry, std::size_t column) {
        const std::size_t open = angleOutsideQuotes(entry);
        if (open == std::string_view::npos) {
            return std::string(entry); // an address itself cannot be encoded
        }
        std::string_view name = decoding::TrimWhite(entry.substr(0, open));
        std::string text;
        if (isPlainAscii(entry)) {
            text = QuotedDisplayName(name);
        } else {
            if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
                name = name.substr(1, name.size() - 2);
            }
            text = EncodeHeaderValue(name, column);
        }
        // After a long encoded name the address goes on a line of its own.
        const std::size_t lastBreak = text.rfind("\r\n");
        const std::size_t last =
            lastBreak == std::string::npos ? column + text.size() : text.size() - lastBreak - 2;
        const std::string_view address = entry.substr(open);
        if (!name.empty()) {
            text += last + 1 + address.size() + 1 > kFoldedLine ? "\r\n " : " ";
        }
        text += address;
        return text;
    };
    std::string out;
    std::size_t column = nameLength; // length of the line being written
    for (const std::string_view raw : listEntries(to)) {
        const std::string_view entry = decoding::TrimWhite(raw);
        if (entry.empty()) {
            continue;
        }
        std::string text = entryText(entry, out.empty() ? column : column + 2);
        if (!out.empty()) {
            // Folded between addresses (RFC 5322 section 2.2.3): the line with its comma
            // stays within kFoldedLine where the entry allows it.
            const std::size_t firstLine = std::min(text.find("\r\n"), text.size());
            if (column + 2 + firstLine + 1 > kFoldedLine) {
                out += ",\r\n ";
                column = 1;
                text = entryText(entry, column);
            } else {
                out += ", ";
                column += 2;
            }
        }
        const std::size_t lastBreak = text.rfind("\r\n");
        column =
            lastBreak == std::string::npos ? column + text.size() : text.size() - lastBreak - 2;
        out += text;
    }
    return out;
}

std::string QuotedDisplayName(std::string_view name) {
    if (name.empty() || isQuotedString(name) ||
        name.find_first_of("()<>[]:;@\\,\"") == std::string_view::npos) {
        return std::string(name);
    }
    return quoted(name);
}

std::string ReplyAddressText(std::string_view raw, const decoding::CharsetConverter& convert) {
    const std::string field = withBlanksForControls(std::string(raw));
    std::string out;
    for (const std::string_view part : listEntries(field)) {
        const std::string_view entry = decoding::TrimWhite(part);
        if (entry.empty()) {
            continue;
        }
        const std::string address = entryAddress(entry);
        std::string text;
        const std::size_t open = angleOutsideQuotes(entry);
        if (open == std::string_view::npos) {
            // A bare address, perhaps with a comment; a decoded comment must not turn it
            // into another address or into two.
            text = shownText(entry, convert);
            if (EnvelopeAddresses(text) != std::vector<std::string>{address}) {
                text = address;
            }
        } else {
            text =
                QuotedDisplayName(decoding::TrimWhite(shownText(entry.substr(0, open), convert)));
            text += text.empty() ? "<" : " <";
            text += address + ">";
        }
        if (!out.empty()) {
            out += ", ";
        }
        out += text;
    }
    return out;
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string EncodeHeaderValue(std::string_view utf8, std::size_t nameLength) {
    if (isPlainAscii(utf8)) {
        if (nameLength + utf8.size() <= kFoldedLine) {
            return std::string(utf8);
        }
        // Folded before blanks; a run without blanks too long for any line goes as encoded
        // words, which fold anywhere.
        if (std::string folded = foldAtBlanks(utf8, nameLength); !folded.empty()) {
            return folded;
        }
    }

    // Each line holds one encoded word; a word never splits a UTF-8 sequence, as RFC 2047
    // section 5 requires of every word decoding on its own.
    constexpr std::string_view prefix = "=?UTF-8?B?";
    constexpr std::string_view suffix = "?=";
    constexpr std::size_t lineLimit = 76;
    std::string out;
    out.reserve(utf8.size() * 2);
    std::size_t used = nameLength;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::size_t room = lineLimit > used + prefix.size() + suffix.size()
                                     ? lineLimit - used - prefix.size() - suffix.size()
                                     : 4;
        std::size_t bytes = std::max<std::size_t>(room / 4, 1) * 3;
        if (pos + bytes < utf8.size()) {
            std::size_t cut = pos + bytes;
            while (cut > pos + 1 && isUtf8Continuation(static_cast<unsigned char>(utf8[cut]))) {
                --cut;
            }
            bytes = cut - pos;
        } else {
            bytes = utf8.size() - pos;
        }
        if (!out.empty()) {
            out += "\r\n ";
        }
        out += prefix;
        out += modBase64::Base64Encode(utf8.substr(pos, bytes));
        out += suffix;
        pos += bytes;
        used = 1;
    }
    return out;
}

std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32 + 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string MailDate(const std::tm& local, long utcOffsetSeconds) {
    static constexpr std::array<const char*, 7> days{"Sun", "Mon", "Tue", "Wed",
                                                     "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> months{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const long minutes = std::labs(utcOffsetSeconds) / 60;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                  days[static_cast<std::size_t>(local.tm_wday % 7)], local.tm_mday,
                  months[static_cast<std::size_t>(local.tm_mon % 12)], local.tm_year + 1900,
                  local.tm_hour, local.tm_min, local.tm_sec, utcOffsetSeconds < 0 ? '-' : '+',
                  minutes / 60, minutes % 60);
    return buffer;
}

std::string AttachmentDisposition(std::string_view utf8Name) {
    if (isPlainAscii(utf8Name)) {
        return "attachment; filename=" + quoted(utf8Name);
    }
    // RFC 2231 section 4: attribute characters stay, every other byte is %XX.
    static constexpr std::string_view kept = "!#$&+-.^_`|~";
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out = "attachment;\r\n filename*=UTF-8''";
    for (const char c : utf8Name) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) != 0 && u < 0x80) {
            out += c;
        } else if (kept.find(c) != std::string_view::npos) {
            out += c;
        } else {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 0x0F];
        }
    }
    return out;
}

std::string AttachmentContentType(std::string_view type, std::string_view utf8Name) {
    if (isPlainAscii(utf8Name)) {
        return std::string(type) + "; name=" + quoted(utf8Name);
    }
    constexpr std::string_view lead = " name=\"";
    return std::string(type) + ";\r\n" + std::string(lead) +
           EncodeHeaderValue(utf8Name, lead.size()) + '"';
}

std::string AttachmentName(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

} // namespace compose
