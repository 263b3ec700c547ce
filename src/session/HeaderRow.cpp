#include "session/HeaderRow.h"

#include "decoding/TextSearch.h"
#include "session/StripTrailingNewline.h"

#include <algorithm>

namespace session {

namespace {

using decoding::CharCount;
using decoding::CharOffset;
using decoding::TextUnits;

constexpr auto npos = std::string_view::npos;

constexpr std::size_t kDateWidth = 11;
constexpr std::size_t kSenderWidth = 22;
constexpr std::size_t kSenderCut = 20; // followed by ".."
constexpr std::size_t kSenderCutFrom = 23;

// End of the line that contains pos (the CR of its CR LF), or the end of the text.
std::size_t LineEnd(std::string_view text, std::size_t pos) {
    const std::size_t end = text.find("\r\n", pos);
    return end == npos ? text.size() : end;
}

// The value of the header line starting at the CR LF at labelPos: from valueOffset
// characters after labelPos to the end of that line.
std::string_view LineValue(std::string_view text, std::size_t labelPos, std::size_t valueOffset) {
    const std::size_t end = LineEnd(text, labelPos + 2);
    const std::size_t start = std::min(labelPos + valueOffset, end);
    return text.substr(start, end - start);
}

std::string TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::string FitWidth(std::string text, std::size_t width, TextUnits units) {
    text.resize(CharOffset(text, width, units));
    text.append(width - CharCount(text, units), ' ');
    return text;
}

class ValueShower {
public:
    explicit ValueShower(const HeaderValueDecoder& decode) : decode(decode) {}

    TextUnits Units() const { return decode ? TextUnits::Utf8 : TextUnits::Bytes; }

    std::string operator()(std::string_view raw) const {
        if (!decode) {
            return std::string(raw);
        }
        std::string text = decoding::SanitizeUtf8(decode(raw));
        // A decoded line break or tab would break the row apart.
        std::replace_if(
            text.begin(), text.end(),
            [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, ' ');
        return text;
    }

private:
    const HeaderValueDecoder& decode;
};

// The sender as the header gives it: the From value, with a blank put in front of the address
// so that "Name<a@b>" reads "Name <a@b>"; without From the "Return-Path: " value. Nothing when
// neither is there or the line does not end.
std::optional<std::string> RawSender(std::string_view reply) {
    if (const std::size_t from = reply.find("\r\nFrom"); from != npos) {
        if (reply.find("\r\n", from + 2) == npos) {
            return std::nullopt;
        }
        const std::string_view raw = LineValue(reply, from, 8);
        std::string sender;
        const std::size_t lt = raw.find('<');
        if (lt != npos && lt >= 1) {
            sender.append(raw.substr(0, lt)).append(" ").append(raw.substr(lt));
        } else {
            sender = raw;
        }
        return StripTrailingNewline(sender);
    }
    if (const std::size_t path = reply.find("\r\nReturn-Path: "); path != npos) {
        const std::size_t end = reply.find("\r\n", path + 15);
        if (end == npos || end <= path + 15) {
            return std::nullopt;
        }
        return std::string(reply.substr(path + 15, end - (path + 15)));
    }
    return std::nullopt;
}

std::string Sender(std::string_view reply, const ValueShower& show) {
    const std::optional<std::string> raw = RawSender(reply);
    if (!raw) {
        return {};
    }
    std::string sender = TrimBlanks(show(*raw));
    if (CharCount(sender, show.Units()) >= kSenderCutFrom) {
        sender.resize(CharOffset(sender, kSenderCut, show.Units()));
        sender += "..";
    }
    return sender;
}

std::string Date(std::string_view reply, const ValueShower& show) {
    const std::size_t at = reply.find("\r\nDate");
    if (at == npos) {
        return {};
    }
    const std::string_view raw = LineValue(reply, at, 8).substr(0, 16);
    std::string date = StripTrailingNewline(raw);
    // "Mon, 1 Jan 2024" loses its weekday.
    if (const std::size_t comma = date.find(','); comma != npos) {
        date.erase(0, std::min(comma + 2, date.size()));
    }
    date.resize(std::min(date.size(), kDateWidth));
    return show(date);
}

std::string Subject(std::string_view reply, const ValueShower& show) {
    const std::size_t at = reply.find("\r\nSubject");
    if (at == npos) {
        return {};
    }
    return show(StripTrailingNewline(LineValue(reply, at, 11)));
}

} // namespace

std::string BuildHeaderRow(std::string_view topReply, std::optional<std::int32_t> size,
                           const HeaderValueDecoder& decode) {
    const ValueShower show(decode);
    const TextUnits units = show.Units();
    std::string row = FitWidth(Date(topReply, show), kDateWidth, units);
    row += " | ";
    row += FitWidth(Sender(topReply, show), kSenderWidth, units);
    if (size) {
        row += " | |";
        row += std::to_string(std::max<std::int32_t>(*size, 0) / 1000);
        row += "k ";
    } else {
        row += " | | ";
    }
    row += Subject(topReply, show);
    return row;
}

std::string SenderAddress(std::string_view topReply) {
    const std::optional<std::string> raw = RawSender(topReply);
    if (!raw) {
        return {};
    }
    std::string_view address = *raw;
    if (const std::size_t lt = address.rfind('<'); lt != npos) {
        const std::size_t gt = address.find('>', lt);
        address = address.substr(lt + 1, gt == npos ? npos : gt - lt - 1);
    }
    return decoding::LowerAscii(TrimBlanks(address));
}

std::string NumberedRow(int number, std::optional<std::int32_t> size) {
    const std::string row = BuildHeaderRow({}, size);
    const std::string label = "#" + std::to_string(number);
    return label.size() <= kDateWidth ? label + row.substr(label.size()) : label + row;
}

std::string RowWithMark(std::string_view row, std::string_view mark, decoding::TextUnits units) {
    const std::size_t headEnd = CharOffset(row, kMarkColumn, units);
    std::string result(row.substr(0, headEnd));
    result.append(kMarkColumn - CharCount(result, units), ' ');
    const std::string_view markChar = mark.substr(0, CharOffset(mark, 1, units));
    result += markChar.empty() ? std::string_view(" ") : markChar;
    result += row.substr(CharOffset(row, kMarkColumn + 1, units));
    return result;
}

bool IsSpamRow(std::string_view row) {
    return row.find("[spam]") != npos;
}

bool IsSexuallyExplicitRow(std::string_view row) {
    constexpr std::string_view tag = "SEXUALLY EXPLICIT";
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    const auto it = std::search(row.begin(), row.end(), tag.begin(), tag.end(),
                                [&](char a, char b) { return upper(a) == b; });
    return it != row.end();
}

int ViewRow(std::string_view selectedRow, int selected, int rowCount, bool filterSpam) {
    if (!filterSpam || !IsSpamRow(selectedRow)) {
        return selected;
    }
    return selected + 1 < rowCount ? selected + 1 : 0;
}

} // namespace session
