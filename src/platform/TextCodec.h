#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

namespace platform {

// The one place where message bytes cross into Qt text. Bytes are
// Windows-1252 characters unless a part declares another charset.
class TextCodec {
public:
    // Windows-1252 bytes to text. The five codes Windows-1252 leaves undefined
    // map to the control characters of the same value, so no byte is lost.
    static QString fromBytes(std::string_view bytes);
    // Text to Windows-1252 bytes; a character the set cannot hold becomes "?".
    static std::string toBytes(const QString& text);

    // True when decode() converts text in this charset with the charset's own table
    // (any name or alias the platform knows, in any letter case).
    static bool knowsCharset(std::string_view charset);

    // Message bytes in the charset their part declares, as text. Never a storm of
    // replacement characters and never a lost byte:
    // - no charset, an unknown one, US-ASCII and ISO-8859-1: Windows-1252 (a superset of
    //   the last two that mail labelled with them often relies on);
    // - UTF-8: every well-formed sequence as UTF-8, every other byte as the Windows-1252
    //   character (UTF-8 finds its footing again at the next byte); a leading BOM is
    //   dropped;
    // - UTF-16 and UTF-32 with bytes invalid in them: the whole text as Windows-1252;
    // - any other charset: the text as one, and if that finds bytes invalid in the charset,
    //   line by line: a line (or a group of short lines) with invalid bytes is shown as
    //   Windows-1252, every other line in the charset.
    // Linear in the size of the text.
    static QString decode(std::string_view bytes, std::string_view charset);

    // decode() as UTF-8; fits decoding::CharsetConverter. The empty charset stands for
    // header bytes outside encoded words, which are UTF-8 where well formed and
    // Windows-1252 elsewhere.
    static std::string charsetToUtf8(std::string_view charset, std::string_view bytes);

    // A header value (From, Subject, ...) as the user reads it, in UTF-8: RFC 2047 encoded
    // words decoded in their charsets, folded lines joined, and control characters (an
    // encoded CR LF or TAB among them) shown as blanks, so that the value stays one line.
    static std::string headerUtf8(std::string_view headerValue);
    static QString headerText(std::string_view headerValue);

    // The charset an HTML document names in a <meta charset="..."> or
    // <meta http-equiv="Content-Type" content="...; charset=..."> near its top,
    // lower-cased; "" when none.
    static std::string htmlMetaCharset(std::string_view html);
    // The charset an HTML part is read in: a byte-order mark first, then the charset the
    // part declares, then the document's own <meta>, each only when known; else
    // windows-1252.
    static std::string htmlCharset(std::string_view html, std::string_view declaredCharset);
    // The HTML part as UTF-8 for the browser view; show it with the charset "utf-8", so that
    // the browser reads it exactly as the text view would.
    static QByteArray htmlForBrowser(std::string_view html, std::string_view declaredCharset);
};

// Message text for a plain-text view. A run of more than kLongestRun characters with no
// place to break a line (a blank, a tab, a line break, or an East Asian character, which
// breaks anywhere) gets a line break after every kLongestRun characters: the view lays out
// such a run in time that grows with the square of its length, so that a hostile message of
// one megabyte-long word would keep the window frozen for minutes. No real word is that long.
inline constexpr qsizetype kLongestRun = 4096;
QString ForTextView(QString text);

} // namespace platform
