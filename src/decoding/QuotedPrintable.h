#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Quoted-printable transfer decoding (RFC 2045, section 6.7) of single-byte text.
namespace decoding {

// The value of a two-character escape such as "3D" (61) or "E9" (233); 0 when pair is not
// exactly two upper-case hexadecimal digits ("0"-"9", "A"-"F").
std::int16_t HexPairValue(std::string_view pair);

// Decodes "=XX" escapes and "=" CR LF soft line breaks in one pass. An escape whose value
// is 0 or that is not upper-case hex stays as it is, and a decoded character is never
// taken for the start of another escape, so "=3D=3D" gives "==".
std::string DecodeQP(std::string_view text);

// Quoted-printable decoding for files, where every byte counts: every "=XX" escape in either
// letter case, NUL included; soft line breaks ("=" before CR LF or LF, blanks between them
// allowed); the blanks a transport adds at the end of a line dropped.
std::string DecodeQPBytes(std::string_view text);

} // namespace decoding
