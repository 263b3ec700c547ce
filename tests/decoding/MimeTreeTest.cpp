// Mail in the shapes everyday mail programs write, walked as a tree: the files each message
// offers (names, sizes, content-ids), its attachments line, the text and HTML the message
// view picks, and the pictures its HTML refers to.
#include "decoding/MimeTree.h"
#include "decoding/Attachments.h"
#include "decoding/MessageDecoder.h"

#include "decoding/TestData.h"

#include <gtest/gtest.h>

using namespace decoding;

namespace {

// "name,size,cid" for each file, "|" between files.
std::string Listed(std::string_view text, const MimeTree& tree) {
    const std::vector<Attachment> files = FindAttachments(tree);
    const std::vector<std::string> names = SaveNames(files);
    std::string out;
    for (std::size_t i = 0; i < files.size(); ++i) {
        out += (i ? "|" : "") + names[i] + "," +
               std::to_string(AttachmentContent(text, tree, files[i]).size()) + "," +
               files[i].ContentId;
    }
    return out;
}

TEST(MimeTree, EverydayShapes) {
    for (const auto& row : testdata::Table("mime/shapes.table", 5, 20)) {
        SCOPED_TRACE(row[0]);
        const std::string file = testdata::ReadFile(testdata::Path("mime/shapes/" + row[0]));
        // As a download (status line and end mark) and as an opened file: the same files.
        const std::string download = "+OK message follows\r\n" + file + ".\r\n";
        for (const std::string* raw : {&download, &file}) {
            const std::string_view text = MessageText(*raw);
            const MimeTree tree = ParseMime(text);
            EXPECT_FALSE(tree.Capped);
            EXPECT_EQ(Listed(text, tree), row[1]);
            const std::vector<Attachment> files = FindAttachments(tree);
            EXPECT_EQ(AttachmentsLine(files, SaveNames(files)), row[2]);
        }
        // The described views, with boundaries read as parameters, show no part's raw
        // headers; every picture the HTML names is a picture of the message.
        Boundaries b;
        const DecodedMessage m = DecodeMessage(download, true, b);
        EXPECT_EQ(m.MsgText, row[3]);
        EXPECT_EQ(m.MsgHTML, row[4]);
        const MimeTree tree = ParseMime(MessageText(download));
        for (std::size_t at = m.MsgHTML.find("cid:"); at != std::string::npos;
             at = m.MsgHTML.find("cid:", at + 1)) {
            const std::string id = m.MsgHTML.substr(at + 4, m.MsgHTML.find('"', at) - at - 4);
            const std::size_t part = FindReferencedPart(tree, id, true);
            ASSERT_NE(part, NoParent) << id;
            EXPECT_TRUE(tree.Parts[part].Type.starts_with("image/")) << id;
        }
    }
}

TEST(MimeTree, PicturesByContentLocationAndEscapedCid) {
    const std::string raw =
        testdata::ReadFile(testdata::Path("mime/shapes/21_location_pictures.eml"));
    const MimeTree tree = ParseMime(raw);
    const std::size_t logo = FindReferencedPart(tree, "images/logo.png", false);
    ASSERT_NE(logo, NoParent);
    EXPECT_EQ(tree.Parts[logo].Type, "image/png");
    EXPECT_EQ(FindReferencedPart(tree, "images/logo.png", true), NoParent);
    EXPECT_EQ(FindReferencedPart(tree, "", false), NoParent);
    const MimeTree outlook = ParseMime(
        testdata::ReadFile(testdata::Path("mime/shapes/02_outlook_mixed_related_alt.eml")));
    EXPECT_NE(FindReferencedPart(outlook, "image001.png%4001D9", true), NoParent);
}

// A message that is itself a file keeps every byte, in every transfer encoding.
TEST(MimeTree, SinglePartFilesInEveryEncoding) {
    for (const auto& row : testdata::Table("mime/single-part.table", 3, 20)) {
        SCOPED_TRACE(row[0] + " " + testing::PrintToString(row[1]));
        std::string file = "Subject: f\r\nContent-Type: application/octet-stream; name=f.bin\r\n";
        if (!row[0].empty()) {
            file += "Content-Transfer-Encoding: " + row[0] + "\r\n";
        }
        file += "\r\n" + row[1];
        for (const std::string& raw : {file, "+OK 99 octets\r\n" + file + ".\r\n"}) {
            const std::string_view text = MessageText(raw);
            const MimeTree tree = ParseMime(text);
            const std::vector<Attachment> files = FindAttachments(tree);
            ASSERT_EQ(files.size(), 1u);
            EXPECT_EQ(files[0].FileName, "f.bin");
            EXPECT_EQ(AttachmentContent(text, tree, files[0]), row[2]);
        }
    }
}

// Content-Type parameters as mail programs write them.
TEST(MimeTree, ContentTypeParameters) {
    const ContentField f = ParseContentField(
        " Multipart/Related (comment; x=y) ;\r\n\ttype=\"text/html\"; BOUNDARY = \"a\\\"b;c\" ;"
        " title*0*=utf-8'de'%C3%BC; title*1=ber; x*=''plain; empty=; =novalue; stray");
    EXPECT_EQ(f.Value, "multipart/related");
    EXPECT_EQ(f.Param("boundary"), "a\"b;c");
    EXPECT_EQ(f.Param("type"), "text/html");
    EXPECT_EQ(f.ParamText("title"), "\xc3\xbc"
                                    "ber");
    EXPECT_EQ(f.Param("x"), "plain");
    EXPECT_EQ(f.Param("empty"), "");
    EXPECT_EQ(f.Param("x-missing"), std::nullopt);
    EXPECT_EQ(ParseContentField("text / plain").Value, "text/plain");
    EXPECT_EQ(HeaderFieldValue("+OK ready: go\r\nX: 1\r\nContent-ID:\r\n <a@b>\r\n", "content-id"),
              " <a@b>");
}

// Containers nest to the cap and no further; the deepest one is kept as a part of its own.
TEST(MimeTree, NestingIsCapped) {
    std::string raw;
    for (std::size_t i = 0; i < MaxMimeDepth + 5; ++i) {
        raw += "Content-Type: multipart/mixed; boundary=\"n" + std::to_string(i) + "\"\r\n\r\n--n" +
               std::to_string(i) + "\r\n";
    }
    raw += "Content-Type: image/png; name=deep.png\r\n\r\nx\r\n";
    const MimeTree tree = ParseMime(raw);
    EXPECT_TRUE(tree.Capped);
    EXPECT_EQ(tree.Parts.size(), MaxMimeDepth);
    EXPECT_EQ(tree.Parts.back().Depth, MaxMimeDepth - 1);
    EXPECT_TRUE(FindAttachments(tree).empty());
}

} // namespace
