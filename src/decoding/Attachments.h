#pragma once

#include "decoding/MimeTree.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The files a message carries, as its MIME tree finds them, and the names they are shown
// and saved under.
namespace decoding {

struct Attachment {
    std::size_t Part = 0;    // the part in the tree
    std::string FileName;    // the declared name as UTF-8, unchecked; "" when none is given
    std::string ContentType; // "type/subtype" in lower case
    std::string ContentId;   // Content-ID without its angle brackets
};

// More are not listed: no real message carries this many files.
inline constexpr std::size_t MaxAttachments = 1000;

// Every file of the tree in order. An attached message without a name of its own is named
// after its subject.
std::vector<Attachment> FindAttachments(const MimeTree& tree);

// The attachment's bytes, its transfer encoding undone.
std::string AttachmentContent(std::string_view message, const MimeTree& tree,
                              const Attachment& attachment);

// A name that can be written into a chosen folder and stays there: the last path component,
// no control characters or characters Windows refuses, no bidirectional controls, zero-width
// or other invisible format characters (they make "invoice\u202Efdp.exe" look like a PDF),
// no leading dots, no trailing dots or blanks, device names such as CON prefixed, at most
// MaxFileNameBytes of UTF-8 (cut on a character boundary, the extension kept). An empty
// result becomes "attachment" with an extension from contentType ("attachment.pdf").
inline constexpr std::size_t MaxFileNameBytes = 200;
std::string SafeFileName(std::string_view name, std::string_view contentType);

// The name with " (n)" before its extension: "a.txt", 2 -> "a (2).txt".
std::string NumberedName(std::string_view name, int n);

// Letter case folded as case-insensitive disks (vfat, exFAT, NTFS, macOS) fold it, for the
// Latin, Greek and Cyrillic letters; other text unchanged.
std::string FoldCase(std::string_view utf8);

// The safe names of the attachments, made distinct regardless of letter case by numbering
// the later ones: "a.PDF", "a (2).pdf".
std::vector<std::string> SaveNames(const std::vector<Attachment>& attachments);

// A name as one line of text: control characters, line breaks and tabs become blanks, the
// invisible format characters go; an empty result is fallback.
std::string DisplayName(std::string_view name, std::string_view fallback);

// At most maxChars characters: a longer name keeps its start and its end around "…".
std::string ElideName(std::string_view utf8, std::size_t maxChars);

// The attachments line: each file's display name followed by "; ".
std::string AttachmentsLine(const std::vector<Attachment>& attachments,
                            const std::vector<std::string>& saveNames);

} // namespace decoding
