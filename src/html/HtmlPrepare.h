#pragma once

#include <string>
#include <string_view>

// Prepares the HTML of a message for the browser view: optional picture filters, then
// completion into a whole document. Pure string logic, linear in the text.
namespace html {

struct HtmlOptions {
    bool NoPictures = false;         // "No Picture in HTML": every image tag goes
    bool ClearEmailInIMGTag = false; // "Clear Suspicious IMG tags"
    std::string SMTPDomain;          // the active account's domain, searched with case counting
};

struct PreparedHtml {
    std::string BrowserHTML;  // what the browser view is given; empty for empty input
    std::string RemovedTags;  // to be appended to the window's log: CR LF + tag for each removal
    bool LinkRemoved = false; // a suspicious tag was taken out ("Link removed from IMG tag")
};

// Filters (when the options ask for it) and completes html. Empty html gives an empty
// result; the caller reports "Message empty" and shows nothing.
PreparedHtml PrepareHTML(std::string_view html, const HtmlOptions& options);

// Removes every "<IMG ... >" (letter case ignored), searching again from the start after each
// cut, so a tag that the cut itself brings together goes too. A "<IMG" without a later ">"
// ends the filter and the rest stays.
std::string RemovePictures(std::string_view html);

// Removes the image tags that contain smtpDomain (an empty domain is in every tag) or a "?",
// and appends CR LF + tag to removedTags for each. A "<IMG" without a later ">" ends it.
std::string RemoveSuspiciousTags(std::string_view html, std::string_view smtpDomain,
                                 std::string& removedTags);

// Makes a whole document of a fragment and inserts "<pre>" after the first "</html>", so that
// whatever follows the end of the document is still shown, as preformatted text.
std::string CompleteHTML(std::string_view html);

} // namespace html
