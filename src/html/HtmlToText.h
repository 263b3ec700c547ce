#pragma once

#include <string>
#include <string_view>

// Plain text from the HTML body of a mail, for the quoted body of a reply and for printing.
// Written for the HTML that mail programs produce, not a general parser: a short list of tags
// lays out paragraphs, lists and table rows with CR LF breaks, white space collapses, lines wrap
// at the first white space from column 75, scripts and comments are dropped and character
// entities go through DecodeEntity. Bytes in, bytes out (one byte = one Windows-1252
// character); time and memory are linear in the input.
namespace modHTML2txt {

// Never fails. Malformed HTML ends the text early where a tag, its following white space or a
// comment runs into the end of the input; what was converted until then is the result.
std::string HTML2txt(std::string_view html);

// text with every space (code 32) deleted; tabs and line ends stay.
std::string RemoveSpaces(std::string_view text);

// The replacement for an entity name found between "&" and ";" (without either): the four
// markup names, the Latin-1 names "nbsp" to "yuml", and decimal references below 256, with or
// without "#", give one character; everything else, hexadecimal references included, gives "".
// Names are matched ignoring case; a letter name written with any capital gives the capital.
std::string DecodeEntity(std::string_view name);

} // namespace modHTML2txt
