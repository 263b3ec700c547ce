#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// The text side of replying to the shown message: the addresses to offer, the subject, and
// the quoted body. Menus, questions and the compose window are the window side's.
namespace decoding {

// The addresses a reply may go to, as the reader window holds them.
struct ReplyAddresses {
    std::string From; // the From label's text
    std::string ReplyToField;
    std::string XSenderField;
    std::string ApparentlyToField;
    std::string CcField;
};

// One item of the address menu mnReply's six mnReplyTo entries.
struct ReplyMenuItem {
    std::string Caption;
    bool Visible = false;

    bool operator==(const ReplyMenuItem&) const = default;
};

inline constexpr std::string_view kChooseCaption = "Choose Address To Reply To:";
inline constexpr std::string_view kReplyToAllCaption = "Reply To All";
inline constexpr std::size_t kReplyMenuItems = 6;

// The menu is needed only when some address besides From is known.
bool NeedsAddressChoice(const ReplyAddresses& addresses);

// The six items: "From: " + From, then for each known address in the order Reply-To,
// X-Sender, X-Apparently-To, Cc an item "Reply-To: ", "X-Sender: ", "X-Apparently-To: " or
// "Cc: " + the address, then "Reply To All"; the items after it are hidden and empty.
std::array<ReplyMenuItem, kReplyMenuItems> ReplyMenuItems(const ReplyAddresses& addresses);

// The recipient text for item index of the menu: the caption from the second character after
// its first ":" on; for "Reply To All", that text of every item above it, each followed by
// ", " (so the list ends with ", ").
std::string ChosenAddress(const std::array<ReplyMenuItem, kReplyMenuItems>& items,
                          std::size_t index);

// "Re: " + subject, also when it already begins with "Re: "; "" for an empty subject.
std::string ReplySubject(std::string_view subject);

// The quoted display name of a From text such as "\"Ann Lee\" <ann@example.com>", quotes
// included; "" when there is no pair of quotes or the closing one is the last character.
std::string AttributionName(std::string_view from);

// The message text of the reply: two empty lines, then the attribution line
// "> " + name + " said:" and an empty quoted line (when the From text has a quoted name and
// the text is not from HTML), then text, with "> " at the start of every line. Lines are
// broken by CR LF. Built in one pass.
std::string BuildReplyText(std::string_view text, std::string_view from, bool fromHtml);

} // namespace decoding
