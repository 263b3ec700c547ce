#include "session/RetrFields.h"

#include "decoding/TextSearch.h"

#include <algorithm>

namespace session {

namespace {

constexpr auto npos = std::string_view::npos;

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Position just after the first occurrence of label, or npos. With anyCase the label is
// given in capitals and the text matched as if upper-cased.
// With startsLine the text's first line counts as one after a line break.
std::size_t FindLabel(std::string_view text, std::string_view label, bool anyCase,
                      bool startsLine) {
    const std::string_view bare = label.substr(2); // without its CR LF
    if (startsLine && text.size() >= bare.size() &&
        std::equal(bare.begin(), bare.end(), text.begin(),
                   [anyCase](char b, char a) { return (anyCase ? AsciiUpper(a) : a) == b; })) {
        return bare.size();
    }
    if (!anyCase) {
        const std::size_t at = text.find(label);
        return at == npos ? npos : at + label.size();
    }
    const std::size_t at = decoding::FindTextNoCase(text, label); // the whole message: fast
    return at == npos ? npos : at + label.size();
}

// The text from start to the next CR LF, when that line end is at least two characters on.
std::optional<std::string> Value(std::string_view text, std::size_t start) {
    if (start == npos) {
        return std::nullopt;
    }
    const std::size_t end = text.find("\r\n", start);
    if (end == npos || end < start + 2) {
        return std::nullopt;
    }
    return std::string(text.substr(start, end - start));
}

} // namespace

RetrFields PickRetrFields(std::string_view reply, bool startsLine) {
    RetrFields fields;
    if (const std::size_t date = FindLabel(reply, "\r\nDate: ", false, startsLine); date != npos) {
        // Sixteen characters, but never the next header line.
        const std::size_t end = std::min(reply.find("\r\n", date), reply.size());
        fields.FromDate = std::string(reply.substr(date, std::min<std::size_t>(16, end - date)));
    }
    fields.FromAddress = Value(reply, FindLabel(reply, "\r\nFrom: ", false, startsLine));
    fields.ApparentlyToField =
        Value(reply, FindLabel(reply, "\r\nX-APPARENTLY-TO: ", true, startsLine));
    fields.XSenderField = Value(reply, FindLabel(reply, "\r\nX-SENDER: ", true, startsLine));
    fields.ReplyToField = Value(reply, FindLabel(reply, "\r\nREPLY-TO: ", true, startsLine));
    fields.CcField = Value(reply, FindLabel(reply, "\r\nCC: ", true, startsLine));
    fields.FromSubject = Value(reply, FindLabel(reply, "\r\nSubject: ", false, startsLine));
    return fields;
}

void StoreRetrFields(const RetrFields& picked, decoding::MessageFields& fields) {
    fields.FromDate = picked.FromDate.value_or("");
    fields.FromAddress = picked.FromAddress.value_or("");
    fields.ApparentlyToField = picked.ApparentlyToField.value_or("");
    fields.XSenderField = picked.XSenderField.value_or("");
    fields.ReplyToField = picked.ReplyToField.value_or("");
    fields.CcField = picked.CcField.value_or("");
    fields.FromSubject = picked.FromSubject.value_or("");
}

} // namespace session
