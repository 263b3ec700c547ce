#include "compose/SmtpErrors.h"

#include <fstream>
#include <string_view>

namespace modSMTPErrors {

namespace {

constexpr const char* kFileName = "SMTPErrors.txt";
constexpr const char* kNotFound = "Error File SMTPError.txt not found";
constexpr const char* kUnknown = "Unknown Error";

// The text starts this many characters after the first character of the number.
constexpr std::size_t kTextOffset = 7;

bool ReadWholeFile(std::string& content) {
    std::ifstream file(kFileName, std::ios::in | std::ios::binary);
    if (!file.is_open()) {
        return false;
    }
    char buffer[16384];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        content.append(buffer, static_cast<std::size_t>(file.gcount()));
    }
    // A directory or a read error shows up as badbit, not as an empty file.
    return !file.bad();
}

} // namespace

std::string SMTPErrorText(std::int16_t code) {
    std::string content;
    if (!ReadWholeFile(content)) {
        return kNotFound;
    }
    const std::string key = std::to_string(code);
    const std::string_view text(content);
    // The key holds only digits and "-", so a match never spans a line break and the
    // first match in the raw file is the first one in its lines.
    const std::size_t match = text.find(key);
    if (match == std::string_view::npos) {
        return kUnknown;
    }
    std::size_t lineEnd = text.find_first_of("\r\n", match);
    if (lineEnd == std::string_view::npos) {
        lineEnd = text.size(); // last line without a line break
    }
    const std::size_t start = match + kTextOffset;
    if (start >= lineEnd) {
        return std::string();
    }
    return std::string(text.substr(start, lineEnd - start));
}

} // namespace modSMTPErrors
