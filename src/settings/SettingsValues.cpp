#include "settings/SettingsValues.h"

#include "decoding/Base64.h"
#include "decoding/Charset.h"
#include "settings/Numbers.h"
#include "settings/SettingsKeys.h"

#include <charconv>
#include <cmath>

namespace settings {

bool ParseFlag(std::string_view text, bool designed) {
    if (text == "True") {
        return true;
    }
    if (text == "False") {
        return false;
    }
    return designed;
}

std::string FlagText(bool value) {
    return value ? "True" : "False";
}

std::string FormatSingle(double value) {
    const auto single = static_cast<float>(value);
    if (!std::isfinite(single)) {
        return "0";
    }
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, single);
    if (ec != std::errc()) {
        return "0";
    }
    std::string text(buffer, end);
    // to_chars picks scientific form for very large or small values; the
    // store holds plain decimals, which LeadingNumber reads either way.
    if (text.find('e') != std::string::npos) {
        const auto [fixedEnd, fixedEc] =
            std::to_chars(buffer, buffer + sizeof buffer, single, std::chars_format::fixed);
        if (fixedEc == std::errc()) {
            text.assign(buffer, fixedEnd);
        }
    }
    return text;
}

double FontSizeFromText(std::string_view text) {
    const double v = LeadingNumber(text);
    return (v > 6 && v < 24) ? v : kDesignedFontSize;
}

std::string SlotKey(int slot) {
    return std::string(keys::kIspSlotPrefix) + std::to_string(slot);
}

int SlotCount(std::string_view text) {
    const int n = ToInt16(LeadingNumber(text));
    return n < 0 ? 0 : n;
}

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string DecodeStoredPassword(std::string_view stored) {
    std::string password = modBase64::Base64Decode(TrimBlanks(stored));
    // Earlier versions wrapped Windows-1252 bytes; such a password is not
    // UTF-8, and reads as the text it was typed as.
    if (decoding::SanitizeUtf8(password) != password) {
        password = decoding::Windows1252ToUtf8(password);
    }
    return password;
}

std::string EncodeStoredPassword(std::string_view password) {
    return modBase64::Base64Encode(password);
}

bool IsReservedAccountName(std::string_view name) {
    return name == keys::kSettings;
}

} // namespace settings
