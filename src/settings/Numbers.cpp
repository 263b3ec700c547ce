#include "settings/Numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace settings {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t SkipDigits(std::string_view text, std::size_t i) {
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
    }
    return i;
}

} // namespace

double LeadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t start = i;
    const std::size_t intEnd = SkipDigits(text, i);
    std::size_t end = intEnd;
    std::size_t fracDigits = 0;
    if (end < text.size() && text[end] == '.') {
        const std::size_t fracEnd = SkipDigits(text, end + 1);
        fracDigits = fracEnd - (end + 1);
        end = fracEnd;
    }
    if (intEnd == start && fracDigits == 0) {
        return 0.0; // no digits: "", "abc", "-", "."
    }
    // An exponent counts only when digits follow it: "2e" and "2e+" read as 2.
    bool negativeExponent = false;
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        std::size_t j = end + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            negativeExponent = text[j] == '-';
            ++j;
        }
        const std::size_t expEnd = SkipDigits(text, j);
        if (expEnd > j) {
            end = expEnd;
        } else {
            negativeExponent = false;
        }
    }
    // from_chars is locale-independent; it takes no sign of ours and no leading "+".
    double value = 0.0;
    const char* first = text.data() + start;
    const char* last = text.data() + end;
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        value = negativeExponent ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (ec != std::errc() || ptr != last) {
        return 0.0; // not expected: the span was checked above
    }
    return negative ? -value : value;
}

std::int16_t ToInt16(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    constexpr double kMin = std::numeric_limits<std::int16_t>::min();
    constexpr double kMax = std::numeric_limits<std::int16_t>::max();
    if (value <= kMin) {
        return std::numeric_limits<std::int16_t>::min();
    }
    if (value >= kMax) {
        return std::numeric_limits<std::int16_t>::max();
    }
    // Banker's rounding without relying on the floating-point rounding mode.
    double rounded = std::floor(value);
    const double fraction = value - rounded;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0)) {
        rounded += 1.0;
    }
    return static_cast<std::int16_t>(rounded);
}

} // namespace settings
