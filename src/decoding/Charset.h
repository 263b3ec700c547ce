#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Helpers for mail written in charsets other than Windows-1252: the declared charset of a
// header or part, RFC 2047 encoded words in header values, and cutting UTF-8 text by
// characters. Everything here is byte logic; converting a charset other than UTF-8 or
// Windows-1252 into UTF-8 is the caller's job (see CharsetConverter).
namespace decoding {

// --- UTF-8 text by characters ------------------------------------------------------------
//
// A character is one well-formed UTF-8 sequence (RFC 3629); every byte that does not belong
// to one counts as one character on its own, so that stray single-byte text is neither lost
// nor split in the middle of a sequence.

// Number of characters in text.
std::size_t Utf8Length(std::string_view text);

// Byte offset at which character n starts; text.size() when the text has n characters or
// fewer.
std::size_t Utf8Offset(std::string_view text, std::size_t n);

// The first n characters of text (the whole text when it is shorter).
std::string Utf8Left(std::string_view text, std::size_t n);

// Windows-1252 bytes as UTF-8. The five codes Windows-1252 leaves undefined become the
// control characters of the same value, so no byte is lost.
std::string Windows1252ToUtf8(std::string_view bytes);
// The same, appended to out (runs of ASCII are copied whole).
void AppendWindows1252AsUtf8(std::string& out, std::string_view bytes);

// Valid UTF-8 for any input: well-formed sequences are kept, every other byte is read as a
// Windows-1252 character.
std::string SanitizeUtf8(std::string_view text);

// How a fixed-width text is measured: one byte per character (Windows-1252 text as the
// program holds it) or UTF-8 characters (text already converted for display).
enum class TextUnits { Bytes, Utf8 };

// Character count and character offset in the given units.
std::size_t CharCount(std::string_view text, TextUnits units);
std::size_t CharOffset(std::string_view text, std::size_t n, TextUnits units);

// --- Declared charset ---------------------------------------------------------------------

// The charset parameter of the first Content-Type field of a header block, a part head or a
// single Content-Type line: the name lower-cased, quotes and surrounding blanks removed; ""
// when there is none. Field name and parameter name are matched in any letter case, folded
// lines are joined, comments "(...)" are skipped, and the RFC 2231 form
// charset*=us-ascii'en'koi8-r (value koi8-r)
// is understood. The head ends at its first empty line.
std::string FindCharset(std::string_view contentTypeHeaderOrPartHead);

// --- RFC 2047 encoded words ---------------------------------------------------------------

// A stretch of header bytes that share one charset. Charset "" marks bytes that stood
// outside any encoded word, as the header carried them.
struct CharsetRun {
    std::string Charset; // lower-case, language suffix ("*en") removed
    std::string Bytes;

    bool operator==(const CharsetRun&) const = default;
};

// Splits a header value into charset runs, decoding the encoded words
// "=?charset?B?...?=" and "=?charset?Q?...?=" wherever they stand.
// - White space between two adjacent encoded words is dropped (RFC 2047 section 6.2);
//   adjacent words of the same charset share one run, so a character whose bytes were split
//   across two words is whole again before it is converted. Each word's base64 is decoded
//   on its own; missing padding is tolerated.
// - Folded lines (CR LF or LF followed by a blank or tab) are unfolded.
// - A word that is not well formed (no "?=", unknown encoding, characters outside the base64
//   alphabet, empty charset) stays as literal text; in Q text an "=" not followed by two hex
//   digits stays as it is. No text is ever dropped.
// Linear in the length of the header.
std::vector<CharsetRun> DecodeEncodedWordRuns(std::string_view header);

// Converts bytes in the named charset ("" for bytes outside encoded words) to UTF-8. The
// window side supplies one that knows every charset the platform knows.
using CharsetConverter =
    std::function<std::string(std::string_view charset, std::string_view bytes)>;

// The converter used when none is given: UTF-8 and "" (raw header bytes) keep well-formed
// UTF-8 and read other bytes as Windows-1252; every other charset is read as Windows-1252,
// which is right for us-ascii, iso-8859-1 and windows-1252 and a best guess otherwise.
std::string FallbackConvert(std::string_view charset, std::string_view bytes);

// The header value as UTF-8 text: every run converted with convert (FallbackConvert when
// convert is empty). The result is valid UTF-8 whatever the converter returns.
std::string DecodeEncodedWords(std::string_view header, const CharsetConverter& convert = {});

} // namespace decoding
