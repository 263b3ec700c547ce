#pragma once

#include <string>
#include <string_view>

namespace reader {

// A file's text as the reader collects it: every line (ended by CR LF, LF or
// a lone CR, or by the end of the file) followed by CR LF. One pass.
std::string CollectLines(std::string_view fileBytes);

// The next list height after "+" or "-": rowHeight is the measured height of
// one row, both in twips; the list never gets lower than 1400 twips.
double LongerList(double listHeight, double rowHeight);
double ShorterList(double listHeight, double rowHeight);

} // namespace reader
