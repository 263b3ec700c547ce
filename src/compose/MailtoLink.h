#pragma once

#include <string>
#include <string_view>

// mailto: links (RFC 6068), as a web page or the desktop hands them to a mail program.
namespace compose {

struct MailtoLink {
    std::string to;      // the addresses, joined by ", " (UTF-8)
    std::string cc;      // likewise
    std::string subject; // UTF-8
    std::string body;    // UTF-8, line ends as CR LF
};

struct MailtoResult {
    bool ok = false;
    MailtoLink link;
    std::string error; // why the link was refused, in words (when !ok)
};

// The link is at most this long; a longer one is refused rather than parsed.
inline constexpr std::size_t kMaxMailtoLength = std::size_t{2} << 20;

// Parses "mailto:" addresses, then "?" and "&"-separated fields: to, cc, subject and body
// are used (by name, in any letter case; a field given twice adds to or replaces it as the
// RFC says), every other field is ignored. Percent escapes are undone and the result must
// be UTF-8. A line break or NUL in an address or the subject, a bad escape, text that is
// not UTF-8 or a link that does not begin with "mailto:" are refused.
MailtoResult ParseMailto(std::string_view link);

} // namespace compose
