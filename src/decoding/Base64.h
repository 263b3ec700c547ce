#pragma once

#include <string>
#include <string_view>

// Base64 transfer encoding (RFC 2045, section 6.8), standard alphabet, "=" as pad.
// Each char of a std::string is one byte (0..255).
namespace modBase64 {

// The encoding of text on one line: no line breaks, whatever the length.
std::string Base64Encode(std::string_view text);

// Characters outside the alphabet and "=" are skipped (line breaks, blanks, junk).
// The rest is read in groups of four values, "=" counting as a value wherever it stands:
// a group ending in "=" gives two bytes, one ending in "==" gives one, and a group with
// "=" only in its third place also gives two. An incomplete last group is dropped.
std::string Base64Decode(std::string_view text);

// The same for files, where every byte counts: a last group of two or three values still
// gives its one or two bytes (encoders that leave off the pad exist).
std::string Base64DecodeBytes(std::string_view text);

} // namespace modBase64
