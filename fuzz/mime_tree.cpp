// Walks arbitrary bytes as a MIME tree and takes everything the reader takes from it: every
// file's content, the save names, the attachments line and the picture look-ups.
#include "decoding/Attachments.h"
#include "decoding/MimeTree.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text =
        decoding::MessageText(std::string_view(reinterpret_cast<const char*>(data), size));
    const decoding::MimeTree tree = decoding::ParseMime(text);
    if (tree.Parts.empty() || tree.Parts.size() > decoding::MaxMimeParts) {
        __builtin_trap();
    }
    std::size_t total = 0;
    for (std::size_t i = 0; i < tree.Parts.size(); ++i) {
        const decoding::MimePart& p = tree.Parts[i];
        // Every part lies inside the text, inside its parent, one level below it.
        if (!(p.HeadStart <= p.HeadEnd && p.HeadEnd <= p.BodyStart && p.BodyStart <= p.BodyEnd &&
              p.BodyEnd <= text.size()) ||
            p.Depth >= decoding::MaxMimeDepth ||
            (i > 0 && (p.Parent >= i || p.HeadStart < tree.Parts[p.Parent].BodyStart ||
                       p.BodyEnd > tree.Parts[p.Parent].BodyEnd))) {
            __builtin_trap();
        }
        total += decoding::FindReferencedPart(tree, p.ContentId, true) != decoding::NoParent;
        total += decoding::FindReferencedPart(tree, p.ContentLocation, false) != decoding::NoParent;
    }
    const auto files = decoding::FindAttachments(tree);
    for (std::size_t i = 0; i < files.size() && i < 64; ++i) {
        if (decoding::AttachmentContent(text, tree, files[i]).size() > text.size()) {
            __builtin_trap();
        }
    }
    const auto names = decoding::SaveNames(files);
    std::set<std::string> folded;
    for (const std::string& name : names) {
        if (!folded.insert(decoding::FoldCase(name)).second) {
            __builtin_trap(); // two files would overwrite each other on a case-blind disk
        }
        // A name to write into a folder never leaves it and is never empty.
        if (name.empty() || name.find('/') != std::string::npos ||
            name.find('\\') != std::string::npos || name.front() == '.' ||
            name.size() > decoding::MaxFileNameBytes + 16) {
            __builtin_trap();
        }
    }
    const std::string line = decoding::AttachmentsLine(files, names);
    if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos) {
        __builtin_trap();
    }
    return total == static_cast<std::size_t>(-1) ? 1 : 0;
}
