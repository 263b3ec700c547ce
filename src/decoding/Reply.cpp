#include "decoding/Reply.h"

#include <algorithm>

namespace decoding {

namespace {

constexpr std::string_view kQuote = "> ";

// The caption's text from the second character after its first ":" on.
std::string_view AfterLabel(std::string_view caption) {
    const std::size_t colon = caption.find(':');
    if (colon == std::string_view::npos) {
        return caption;
    }
    return caption.substr(std::min(colon + 2, caption.size()));
}

// Appends text with "> " after every CR LF.
void AppendQuoted(std::string& out, std::string_view text) {
    std::size_t pos = 0;
    while (true) {
        const std::size_t crlf = text.find("\r\n", pos);
        if (crlf == std::string_view::npos) {
            out.append(text.substr(pos));
            return;
        }
        out.append(text.substr(pos, crlf + 2 - pos));
        out.append(kQuote);
        pos = crlf + 2;
    }
}

} // namespace

bool NeedsAddressChoice(const ReplyAddresses& addresses) {
    return !addresses.ReplyToField.empty() || !addresses.XSenderField.empty() ||
           !addresses.ApparentlyToField.empty() || !addresses.CcField.empty();
}

std::array<ReplyMenuItem, kReplyMenuItems> ReplyMenuItems(const ReplyAddresses& addresses) {
    std::array<ReplyMenuItem, kReplyMenuItems> items;
    items[0] = {"From: " + addresses.From, true};
    std::size_t n = 1;
    const auto add = [&](std::string_view label, const std::string& address) {
        if (!address.empty()) {
            items[n++] = {std::string(label) + address, true};
        }
    };
    add("Reply-To: ", addresses.ReplyToField);
    add("X-Sender: ", addresses.XSenderField);
    add("X-Apparently-To: ", addresses.ApparentlyToField);
    add("Cc: ", addresses.CcField);
    items[n] = {std::string(kReplyToAllCaption), true};
    return items;
}

std::string ChosenAddress(const std::array<ReplyMenuItem, kReplyMenuItems>& items,
                          std::size_t index) {
    if (index >= items.size()) {
        return {};
    }
    if (items[index].Caption != kReplyToAllCaption) {
        return std::string(AfterLabel(items[index].Caption));
    }
    std::string all;
    for (std::size_t j = 0; j < index; ++j) {
        all.append(AfterLabel(items[j].Caption)).append(", ");
    }
    return all;
}

std::string ReplySubject(std::string_view subject) {
    return subject.empty() ? std::string() : "Re: " + std::string(subject);
}

std::string AttributionName(std::string_view from) {
    const std::size_t open = from.find('"');
    if (open == std::string_view::npos) {
        return {};
    }
    const std::size_t close = from.find('"', open + 1);
    if (close == std::string_view::npos || close + 1 >= from.size()) {
        return {};
    }
    return std::string(from.substr(open, close - open + 1));
}

std::string BuildReplyText(std::string_view text, std::string_view from, bool fromHtml) {
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 64);
    out += "\r\n\r\n";
    out += kQuote;
    if (!fromHtml) {
        if (const std::string name = AttributionName(from); !name.empty()) {
            AppendQuoted(out, name + " said:\r\n\r\n");
        }
    }
    AppendQuoted(out, text);
    return out;
}

} // namespace decoding
