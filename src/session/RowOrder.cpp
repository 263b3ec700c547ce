#include "session/RowOrder.h"

#include "decoding/Charset.h"
#include "session/HeaderRow.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>
#include <string>

namespace session {

namespace {

using decoding::CharOffset;
using decoding::TextUnits;

constexpr std::size_t kSenderColumn = 14; // after the date and " | "
constexpr std::size_t kSenderWidth = 22;
constexpr std::size_t kSizeColumn = kMarkColumn + 2; // after the mark and "|"

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// "Nk " in the size column: N, or -1 when the size is not known.
std::int64_t SizeOf(std::string_view row) {
    std::size_t at = CharOffset(row, kSizeColumn, TextUnits::Utf8);
    std::int64_t size = 0;
    const std::size_t start = at;
    for (; at < row.size() && row[at] >= '0' && row[at] <= '9' && at - start < 12; ++at) {
        size = size * 10 + (row[at] - '0');
    }
    return at > start && row.substr(at, 2) == "k " ? size : -1;
}

// "2 Jan 2024" (as the date column shows it) as 20240102; 0 when it cannot be read.
std::int64_t DateOf(std::string_view row) {
    static constexpr std::array<std::string_view, 12> months = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    const std::string_view date = Trimmed(row.substr(0, CharOffset(row, 11, TextUnits::Utf8)));
    int day = 0, year = 0;
    std::size_t at = 0;
    for (; at < date.size() && date[at] >= '0' && date[at] <= '9'; ++at) {
        day = day * 10 + (date[at] - '0');
    }
    if (at == 0 || at > 2 || date.size() < at + 5 || date[at] != ' ') {
        return 0;
    }
    std::string month(date.substr(at + 1, 3));
    for (char& c : month) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    const auto found = std::find(months.begin(), months.end(), month);
    if (found == months.end()) {
        return 0;
    }
    at += 4;
    if (at < date.size() && date[at] == ' ') {
        ++at;
    }
    const std::size_t yearStart = at;
    for (; at < date.size() && date[at] >= '0' && date[at] <= '9'; ++at) {
        year = year * 10 + (date[at] - '0');
    }
    if (at - yearStart != 4) {
        return 0; // the column cuts a two-digit day's year short: "12 Jan 202"
    }
    return std::int64_t{year} * 10000 + (found - months.begin() + 1) * 100 + day;
}

std::string Folded(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    return folded;
}

} // namespace

std::string_view RowSender(std::string_view row) {
    const std::size_t start = CharOffset(row, kSenderColumn, TextUnits::Utf8);
    const std::size_t end = CharOffset(row, kSenderColumn + kSenderWidth, TextUnits::Utf8);
    return Trimmed(row.substr(start, end - start));
}

std::string_view RowSubject(std::string_view row) {
    std::size_t at = CharOffset(row, kSizeColumn, TextUnits::Utf8);
    if (SizeOf(row) >= 0) {
        at = row.find("k ", at) + 2;
    } else if (at < row.size() && row[at] == ' ') {
        ++at;
    }
    return at < row.size() ? row.substr(at) : std::string_view();
}

std::vector<int> OrderRows(const HeaderList& rows, RowOrder order) {
    std::vector<int> positions(static_cast<std::size_t>(rows.size()));
    std::iota(positions.begin(), positions.end(), 0);
    if (order == RowOrder::Server) {
        return positions;
    }
    if (order == RowOrder::Date || order == RowOrder::Size) {
        std::vector<std::int64_t> keys;
        keys.reserve(positions.size());
        for (int row : positions) {
            const std::string text = rows.shown(row);
            keys.push_back(order == RowOrder::Date ? DateOf(text) : SizeOf(text));
        }
        std::stable_sort(positions.begin(), positions.end(), [&](int a, int b) {
            return keys[static_cast<std::size_t>(a)] < keys[static_cast<std::size_t>(b)];
        });
        return positions;
    }
    std::vector<std::string> keys;
    keys.reserve(positions.size());
    for (int row : positions) {
        const std::string text = rows.shown(row);
        keys.push_back(Folded(order == RowOrder::Sender ? RowSender(text) : RowSubject(text)));
    }
    std::stable_sort(positions.begin(), positions.end(), [&](int a, int b) {
        return keys[static_cast<std::size_t>(a)] < keys[static_cast<std::size_t>(b)];
    });
    return positions;
}

} // namespace session
