#include "html/HtmlPrepare.h"

#include "decoding/TextSearch.h"

#include <algorithm>

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

std::string RemovePictures(std::string_view html) {
    // Each cut restarts the search at the top of the text. Nothing before the cut held a tag,
    // so only a "<IMG" that the cut itself joins together (begun in the last three kept
    // characters) can come before the next one further on.
    std::string out;
    out.reserve(html.size());
    std::size_t i = 0;
    while (i < html.size()) {
        if (const std::size_t k = StraddlingTag(out, html.substr(i)); k > 0) {
            const std::size_t gt = html.find('>', i);
            if (gt == std::string_view::npos) {
                break;
            }
            out.resize(out.size() - k);
            i = gt + 1;
            continue;
        }
        const std::size_t tag = FindTextNoCase(html, kImgTag, i);
        if (tag == NotFound) {
            break;
        }
        const std::size_t gt = html.find('>', tag);
        if (gt == std::string_view::npos) {
            break;
        }
        out.append(html.substr(i, tag - i));
        i = gt + 1;
    }
    if (i < html.size()) {
        out.append(html.substr(i));
    }
    return out;
}

std::string RemoveSuspiciousTags(std::string_view html, std::string_view smtpDomain,
                                 std::string& removedTags) {
    // After a cut the scan goes on where the removed tag began, that is with the text that
    // followed it; after a kept tag, past its ">".
    std::string out;
    out.reserve(html.size());
    std::size_t i = 0;
    while (i < html.size()) {
        const std::size_t tag = FindTextNoCase(html, kImgTag, i);
        if (tag == NotFound) {
            break;
        }
        const std::size_t gt = html.find('>', tag);
        if (gt == std::string_view::npos) {
            break;
        }
        const std::string_view text = html.substr(tag, gt - tag + 1);
        const bool suspicious = smtpDomain.empty() || FindText(text, smtpDomain) != NotFound ||
                                text.find('?') != std::string_view::npos;
        if (suspicious) {
            out.append(html.substr(i, tag - i));
            removedTags.append("\r\n");
            removedTags.append(text);
        } else {
            out.append(html.substr(i, gt + 1 - i));
        }
        i = gt + 1;
    }
    if (i < html.size()) {
        out.append(html.substr(i));
    }
    return out;
}

std::string CompleteHTML(std::string_view html) {
    std::string out;
    if (FindTextNoCase(html, "<HTML") == NotFound) {
        // A fragment: what comes before its first tag is dropped.
        if (const std::size_t lt = html.find('<'); lt != std::string_view::npos) {
            html = html.substr(lt);
        }
        const bool hasBody = FindTextNoCase(html, "<BODY>") != NotFound;
        out.reserve(html.size() + 40);
        out.append(hasBody ? "<html>" : "<html><body>");
        out.append(html);
        out.append(hasBody ? "</html>" : "</body></html>");
    } else {
        out.reserve(html.size() + 5);
        out.assign(html);
    }
    constexpr std::string_view kClose = "</HTML>";
    if (const std::size_t close = FindTextNoCase(out, kClose); close != NotFound) {
        out.insert(close + kClose.size(), "<pre>");
    }
    return out;
}

PreparedHtml PrepareHTML(std::string_view html, const HtmlOptions& options) {
    PreparedHtml result;
    if (html.empty()) {
        return result;
    }
    std::string text(html);
    if (options.NoPictures) {
        text = RemovePictures(text);
    }
    if (options.ClearEmailInIMGTag) {
        const std::size_t logged = result.RemovedTags.size();
        text = RemoveSuspiciousTags(text, options.SMTPDomain, result.RemovedTags);
        result.LinkRemoved = result.RemovedTags.size() != logged;
    }
    result.BrowserHTML = CompleteHTML(text);
    return result;
}

} // namespace html
