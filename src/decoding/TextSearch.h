#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Substring searches over single-byte text, all linear in the text searched.
namespace decoding {

inline constexpr std::size_t NotFound = std::string_view::npos;

// Position of the first occurrence of needle starting at or after from, or NotFound.
// An empty needle is never found: an undeclared boundary must not match everywhere.
std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from = 0);

// As FindText, ignoring the case of ASCII letters; upperNeedle must be written in upper
// case. Only occurrences that start before limit count.
std::size_t FindTextNoCase(std::string_view text, std::string_view upperNeedle,
                           std::size_t from = 0, std::size_t limit = NotFound);

// Blank, tab, CR or LF: the white space of header values.
inline bool IsLinearWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The text without the linear white space at either end.
std::string_view TrimWhite(std::string_view text);

// The text with ASCII letters in upper case; every other byte (and every position) kept.
std::string UpperAscii(std::string_view text);

// An ASCII letter in lower case; every other byte as it is.
inline char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The text with ASCII letters in lower case: header names, types and parameter names.
std::string LowerAscii(std::string_view text);

// Repeated searches for one needle with start positions that mostly grow: a search from a
// position at or before the last hit reuses it, so a forward scan costs one pass in all.
class ForwardFinder {
public:
    ForwardFinder(std::string_view text, std::string_view needle) : text(text), needle(needle) {}
    std::size_t From(std::size_t from);

private:
    std::string_view text;
    std::string_view needle;
    std::size_t lastFrom = NotFound;
    std::size_t lastHit = NotFound;
};

} // namespace decoding
