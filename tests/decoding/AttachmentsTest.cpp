#include "decoding/Attachments.h"

#include "decoding/Base64.h"
#include "decoding/TestData.h"

#include <gtest/gtest.h>

using namespace decoding;

namespace {

struct Part {
    std::string head, content, name, bytes;
};

// Every byte as an escape, soft line breaks between groups: what an encoder makes of a
// binary file.
std::string AllEscaped(std::string_view bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        constexpr char kHex[] = "0123456789ABCDEF";
        const auto b = static_cast<unsigned char>(bytes[i]);
        out.append({'=', kHex[b >> 4], kHex[b & 15]});
        out.append(i % 20 == 19 ? "=\r\n" : "");
    }
    return out;
}

std::string Lines(std::string_view text, std::size_t width) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += width) {
        out.append(text.substr(i, width)).append(i + width < text.size() ? "\r\n" : "");
    }
    return out;
}

// The parts of the table, then binary files in both encodings, as one message.
TEST(Attachments, EveryFilePartIsFoundNamedAndDecodedByteForByte) {
    std::vector<Part> parts;
    for (const auto& row : testdata::Table("decoder/attachments.table", 4, 15)) {
        parts.push_back({row[0], row[1], row[2], row[3]});
    }
    const std::string all = testdata::AllBytes() + testdata::AllBytes();
    const std::string noise = testdata::RandomBytes(5000, 16);
    parts.push_back({"Content-Type: application/octet-stream; name=\"all.bin\"\r\n"
                     "Content-Transfer-Encoding: base64",
                     Lines(modBase64::Base64Encode(all), 76), "all.bin", all});
    parts.push_back({"Content-Type: application/octet-stream; name=\"all.bin\"\r\n"
                     "Content-Transfer-Encoding: quoted-printable",
                     AllEscaped(all), "all (2).bin", all});
    parts.push_back({"Content-Type: image/jpeg\r\nContent-Transfer-Encoding: Base64",
                     Lines(modBase64::Base64Encode(noise), 72), "attachment.jpg", noise});

    std::string raw = "+OK\r\nContent-Type: multipart/mixed; boundary=\"=_mix_9\"\r\n\r\nPreamble";
    for (const Part& p : parts) {
        raw += "\r\n--=_mix_9\r\n" + p.head + "\r\n\r\n" + p.content;
    }
    raw += "\r\n--=_mix_9--\r\nEpilogue\r\n.\r\n";
    const std::string_view text = MessageText(raw);
    const MimeTree tree = ParseMime(text);
    const std::vector<Attachment> found = FindAttachments(tree);
    const std::vector<std::string> names = SaveNames(found);

    std::size_t i = 0;
    for (const Part& p : parts) {
        if (p.name == "-") {
            continue;
        }
        SCOPED_TRACE(p.head);
        ASSERT_LT(i, found.size());
        EXPECT_EQ(names[i], p.name);
        EXPECT_EQ(AttachmentContent(text, tree, found[i]), p.bytes);
        ++i;
    }
    EXPECT_EQ(found.size(), i) << "no other part is a file";
}

TEST(Attachments, LongNamesAreCutOnACharacterAndKeepTheirExtension) {
    std::string accented;
    for (int i = 0; i < 150; ++i) {
        accented += "\xc3\xa9"; // 300 bytes
    }
    for (const std::string& name : {accented + ".txt", "x" + accented, std::string(300, 'a')}) {
        const std::string safe = SafeFileName(name, "text/plain");
        SCOPED_TRACE(safe);
        EXPECT_LE(safe.size(), MaxFileNameBytes);
        EXPECT_GT(safe.size(), MaxFileNameBytes - 2);
        EXPECT_EQ(SanitizeUtf8(safe), safe);
        const std::size_t kept = name.ends_with(".txt") ? safe.size() - 4 : safe.size();
        EXPECT_EQ(name.substr(0, kept), safe.substr(0, kept));
        EXPECT_EQ(safe.ends_with(".txt"), name.ends_with(".txt"));
    }
}

std::vector<std::string> Split(const std::string& joined) {
    std::vector<std::string> parts;
    for (std::size_t at = 0;;) {
        const std::size_t bar = joined.find('|', at);
        parts.push_back(joined.substr(at, bar - at));
        if (bar == std::string::npos) {
            return parts;
        }
        at = bar + 1;
    }
}

TEST(Attachments, SaveNamesAreVisibleAndDistinctRegardlessOfCase) {
    for (const auto& row : testdata::Table("mime/save-names.table", 2, 8)) {
        std::vector<Attachment> files;
        for (const std::string& name : Split(row[0])) {
            files.push_back({0, name, "application/octet-stream", ""});
        }
        EXPECT_EQ(SaveNames(files), Split(row[1])) << row[0];
    }
    // A 300-character name is offered in the menu by its start and its end.
    const std::string elided = ElideName(std::string(150, 'a') + std::string(150, 'z'), 60);
    EXPECT_EQ(elided, std::string(30, 'a') + "\u2026" + std::string(29, 'z'));
    EXPECT_EQ(ElideName("short.pdf", 60), "short.pdf");
}

} // namespace
