#include "compose/MailtoLink.h"

#include "compose/MailMessage.h"
#include "decoding/Charset.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace compose {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// "%XX" undone; nullopt for a "%" not followed by two hexadecimal digits.
std::optional<std::string> PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        const int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char lower, char c) {
               return std::tolower(static_cast<unsigned char>(c)) == lower;
           });
}

void AddAddresses(std::string& list, std::string_view more) {
    for (const std::string& address : EnvelopeAddresses(more)) {
        if (!list.empty()) {
            list += ", ";
        }
        list += address;
    }
}

MailtoResult Refuse(std::string why) {
    MailtoResult result;
    result.error = std::move(why);
    return result;
}

} // namespace

MailtoResult ParseMailto(std::string_view link) {
    if (link.size() > kMaxMailtoLength) {
        return Refuse("The link is too long.");
    }
    if (!StartsWithNoCase(link, "mailto:")) {
        return Refuse("The link does not begin with \"mailto:\".");
    }
    link.remove_prefix(7);
    const std::size_t query = link.find('?');
    MailtoResult result;
    MailtoLink& out = result.link;
    const auto field = [&](std::string_view name,
                           std::string_view raw) -> std::optional<std::string> {
        std::optional<std::string> value = PercentDecode(raw);
        if (!value) {
            return std::string("The link has a \"%\" that is not followed by two hexadecimal "
                               "digits.");
        }
        if (decoding::SanitizeUtf8(*value) != *value) {
            return std::string("The link's ") + std::string(name) + " is not UTF-8 text.";
        }
        if (name != "body" && HasLineBreakOrNul(*value)) {
            return std::string("The link's ") + std::string(name) + " holds a line break.";
        }
        if (name == "to" || name == "cc") {
            AddAddresses(name == "to" ? out.to : out.cc, *value);
        } else if (name == "subject") {
            out.subject = std::move(*value);
        } else if (name == "body") {
            if (value->find('\0') != std::string::npos) {
                return std::string("The link's body holds a NUL character.");
            }
            out.body = WithCrLf(*value);
        }
        return std::nullopt;
    };

    if (auto error = field("to", link.substr(0, query))) {
        return Refuse(std::move(*error));
    }
    if (query != std::string_view::npos) {
        std::string_view rest = link.substr(query + 1);
        while (!rest.empty()) {
            const std::size_t amp = rest.find('&');
            const std::string_view pair = rest.substr(0, amp);
            rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
            const std::size_t eq = pair.find('=');
            std::string name(pair.substr(0, eq));
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            const std::string_view value =
                eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1);
            if (name == "to" || name == "cc" || name == "subject" || name == "body") {
                if (auto error = field(name, value)) {
                    return Refuse(std::move(*error));
                }
            }
        }
    }
    result.ok = true;
    return result;
}

} // namespace compose
