#include "html/HtmlPrepare.h"

#include "decoding/TextSearch.h"

#include <algorithm>
#include <cstring>

namespace html {

namespace {

using decoding::FindText;
using decoding::FindTextNoCase;
using decoding::NotFound;

constexpr std::string_view kImgTag = "<IMG";

// Number of characters at the end of kept that, followed by the start of rest, spell "<IMG"
// (the earliest such start), or 0.
std::size_t StraddlingTag(std::string_view kept, std::string_view rest) {
    for (std::size_t k = std::min(kept.size(), kImgTag.size() - 1); k > 0; --k) {
        const std::size_t need = kImgTag.size() - k;
        if (rest.size() < need) {
            continue;
        }
        std::string joined(kept.substr(kept.size() - k));
        joined.append(rest.substr(0, need));
        if (FindTextNoCase(joined, kImgTag) == 0) {
            return k;
        }
    }
    return 0;
}

} // namespace

namespace {

// The filters below work in place: kept text is moved down over what was cut, so the HTML is
// held in one buffer from the message to the browser view. The write position never passes
// the read position, so nothing is overwritten before it has been read.

void RemovePicturesInPlace(std::string& html) {
    // Each cut restarts the search at the top of the text. Nothing before the cut held a tag,
    // so only a "<IMG" that the cut itself joins together (begun in the last three kept
    // characters) can come before the next one further on.
    const std::string_view text = html;
    std::size_t w = 0; // html[0, w) is the kept text
    std::size_t i = 0;
    const auto keep = [&](std::size_t from, std::size_t count) {
        if (w != from) {
            std::memmove(html.data() + w, html.data() + from, count);
        }
        w += count;
    };
    while (i < text.size()) {
        if (const std::size_t k = StraddlingTag(text.substr(0, w), text.substr(i)); k > 0) {
            const std::size_t gt = text.find('>', i);
            if (gt == std::string_view::npos) {
                break;
            }
            w -= k;
            i = gt + 1;
            continue;
        }
        const std::size_t tag = FindTextNoCase(text, kImgTag, i);
        if (tag == NotFound) {
            break;
        }
        const std::size_t gt = text.find('>', tag);
        if (gt == std::string_view::npos) {
            break;
        }
        keep(i, tag - i);
        i = gt + 1;
    }
    if (i < text.size()) {
        keep(i, text.size() - i);
    }
    html.resize(w);
}

void RemoveSuspiciousTagsInPlace(std::string& html, std::string_view smtpDomain,
                                 std::string& removedTags) {
    // After a cut the scan goes on where the removed tag began, that is with the text that
    // followed it; after a kept tag, past its ">".
    const std::string_view text = html;
    std::size_t w = 0;
    std::size_t i = 0;
    const auto keep = [&](std::size_t from, std::size_t count) {
        if (w != from) {
            std::memmove(html.data() + w, html.data() + from, count);
        }
        w += count;
    };
    while (i < text.size()) {
        const std::size_t tag = FindTextNoCase(text, kImgTag, i);
        if (tag == NotFound) {
            break;
        }
        const std::size_t gt = text.find('>', tag);
        if (gt == std::string_view::npos) {
            break;
        }
        const std::string_view tagText = text.substr(tag, gt - tag + 1);
        const bool suspicious = smtpDomain.empty() || FindText(tagText, smtpDomain) != NotFound ||
                                tagText.find('?') != std::string_view::npos;
        if (suspicious) {
            removedTags.append("\r\n");
            removedTags.append(tagText); // read before anything is moved over it
            keep(i, tag - i);
        } else {
            keep(i, gt + 1 - i);
        }
        i = gt + 1;
    }
    if (i < text.size()) {
        keep(i, text.size() - i);
    }
    html.resize(w);
}

// Room the completion needs: "<html><body>", "</body></html>" and "<pre>".
constexpr std::size_t kCompletionRoom = 40;

void CompleteHTMLInPlace(std::string& html) {
    if (FindTextNoCase(html, "<HTML") == NotFound) {
        // A fragment: what comes before its first tag is dropped.
        if (const std::size_t lt = html.find('<'); lt != std::string::npos) {
            html.erase(0, lt);
        }
        const bool hasBody = FindTextNoCase(html, "<BODY>") != NotFound;
        html.insert(0, hasBody ? "<html>" : "<html><body>");
        html.append(hasBody ? "</html>" : "</body></html>");
    }
    constexpr std::string_view kClose = "</HTML>";
    if (const std::size_t close = FindTextNoCase(html, kClose); close != NotFound) {
        html.insert(close + kClose.size(), "<pre>");
    }
}

} // namespace

std::string RemovePictures(std::string_view html) {
    std::string out(html);
    RemovePicturesInPlace(out);
    return out;
}

std::string RemoveSuspiciousTags(std::string_view html, std::string_view smtpDomain,
                                 std::string& removedTags) {
    std::string out(html);
    RemoveSuspiciousTagsInPlace(out, smtpDomain, removedTags);
    return out;
}

std::string CompleteHTML(std::string_view html) {
    std::string out;
    out.reserve(html.size() + kCompletionRoom);
    out.assign(html);
    CompleteHTMLInPlace(out);
    return out;
}

PreparedHtml PrepareHTML(std::string_view html, const HtmlOptions& options) {
    PreparedHtml result;
    if (html.empty()) {
        return result;
    }
    // The one copy of the HTML on this side: filtered and completed where it lies.
    std::string& text = result.BrowserHTML;
    text.reserve(html.size() + kCompletionRoom);
    text.assign(html);
    if (options.NoPictures) {
        RemovePicturesInPlace(text);
    }
    if (options.ClearEmailInIMGTag) {
        const std::size_t logged = result.RemovedTags.size();
        RemoveSuspiciousTagsInPlace(text, options.SMTPDomain, result.RemovedTags);
        result.LinkRemoved = result.RemovedTags.size() != logged;
    }
    CompleteHTMLInPlace(text);
    return result;
}

} // namespace html
