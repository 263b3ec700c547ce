#include "decoding/MessageDecoder.h"

#include "decoding/TestData.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace decoding;
namespace fs = std::filesystem;

namespace {

std::string ReadSample(const std::string& name) {
    return testdata::ReadFile(testdata::Path("messages/" + name));
}

// A message without a Content-Type field is shown as its body text.
TEST(DecodeMessage, SplitsHeaderAndBody) {
    for (const auto& row : testdata::Table("decoder/split.table", 3)) {
        Boundaries b;
        const auto m = DecodeMessage(row[0], true, b);
        EXPECT_EQ(m.MsgHeader, row[1]) << testing::PrintToString(row[0]);
        EXPECT_EQ(m.MsgBody, row[2]) << testing::PrintToString(row[0]);
        EXPECT_EQ(m.MsgText, row[2]) << testing::PrintToString(row[0]);
        ASSERT_EQ(m.MsgParts.size(), 1u);
    }
}

// Each sample X.eml has its expected decoding in X.expected (X.textonly.expected with the HTML
// option off): "entry" rows list the part list, "partN" rows give PartContent(N).
TEST(DecodeMessage, Samples) {
    int samples = 0;
    for (const auto& file : fs::directory_iterator(testdata::Path("messages"))) {
        const std::string name = file.path().filename().string();
        if (!name.ends_with(".expected")) {
            continue;
        }
        SCOPED_TRACE(name);
        ++samples;
        // Decoded as the reader does: the message shared, its body a view into it, and the
        // view still good once the caller has let go of the message.
        auto raw = std::make_shared<const std::string>(
            ReadSample(name.substr(0, name.find('.')) + ".eml"));
        const std::string copy = *raw;
        const std::less_equal<const char*> atOrBefore;
        Boundaries b, copied;
        const auto m = DecodeMessage(raw, name.find(".textonly") == std::string::npos, b);
        EXPECT_EQ(m.MsgBody,
                  DecodeMessage(copy, name.find(".textonly") == std::string::npos, copied).MsgBody);
        EXPECT_EQ(!m.BodyDecodedQP,
                  atOrBefore(raw->data(), m.MsgBody.data()) &&
                      atOrBefore(m.MsgBody.data() + m.MsgBody.size(), raw->data() + raw->size()));
        EXPECT_EQ(m.BodyStore == raw, !m.BodyDecodedQP);
        raw.reset();
        const char* const views[] = {"Html", "Text", "Body"};
        const std::map<std::string, std::string> actual = {
            {"view", views[static_cast<int>(ViewToShow(m))]},
            {"text", m.MsgText},
            {"html", m.MsgHTML},
            {"related", b.RelatedBoundary},
            {"alternative", b.AlternativeBoundary},
            {"mixed", b.MixedBoundary},
            {"decodedqp", m.BodyDecodedQP ? "1" : "0"},
            {"qptext", m.QPText}};
        std::vector<std::string> entries;
        for (const auto& row : testdata::Table("messages/" + name, 2)) {
            if (row[0] == "entry") {
                entries.push_back(row[1]);
            } else if (row[0].starts_with("part")) {
                EXPECT_EQ(PartContent(m, std::stoul(row[0].substr(4))), row[1]) << row[0];
            } else {
                ASSERT_TRUE(actual.contains(row[0])) << row[0];
                EXPECT_EQ(actual.at(row[0]), row[1]) << row[0];
            }
        }
        EXPECT_EQ(m.PartEntries, entries);
        // One record per listed part (the "Image" entry has none), plus the empty last one.
        const std::size_t images = !entries.empty() && entries.back() == "Image" ? 1 : 0;
        ASSERT_EQ(m.MsgParts.size(), entries.size() - images + 1);
        EXPECT_EQ(PartContent(m, m.MsgParts.size() - 1), "");
    }
    EXPECT_GE(samples, 15);
}

// Part types keep their letter case; only an exact match is selected.
TEST(DecodeMessage, FindPartEntry) {
    Boundaries b;
    const auto mixed = DecodeMessage(ReadSample("mixed_attachment.eml"), true, b);
    EXPECT_EQ(FindPartEntry(mixed, "text/html"), 2u);
    EXPECT_EQ(FindPartEntry(mixed, "text/plain"), 1u);
    EXPECT_EQ(FindPartEntry(mixed, "TEXT/HTML"), std::string::npos);
    const auto related = DecodeMessage(ReadSample("related_image.eml"), true, b);
    EXPECT_EQ(FindPartEntry(related, ""), 4u); // "Image" belongs to the empty last record
    const auto upper = DecodeMessage(ReadSample("upper_case.eml"), true, b);
    EXPECT_EQ(FindPartEntry(upper, "text/html"), std::string::npos);
    EXPECT_EQ(FindPartEntry(upper, "TEXT/HTML"), 1u);
}

TEST(DecodeBodyQP, DecodesFromTheBodysOwnMarker) {
    for (const auto& row : testdata::Table("decoder/body-qp.table", 3)) {
        std::string body = row[0], qp = "old";
        DecodeBodyQP(body, qp);
        EXPECT_EQ(body, row[1]);
        EXPECT_EQ(qp, row[2]);
    }
}

// Boundaries come from the header (or else the body) and stay until a
// later message declares its own.
TEST(DecodeMessage, BoundariesAreCarried) {
    Boundaries b;
    DecodeMessage(ReadSample("related_image.eml"), true, b);
    DecodeMessage(ReadSample("mixed_attachment.eml"), true, b);
    EXPECT_EQ(b.RelatedBoundary, "----=_rel_0001");
    EXPECT_EQ(b.AlternativeBoundary, "alt_19bb"); // the body's own, not the earlier one
    EXPECT_EQ(b.MixedBoundary, "mix_7e3c5d");
    // Single-part messages and messages without declarations change nothing.
    DecodeMessage(ReadSample("single_plain.eml"), true, b);
    const auto m = DecodeMessage(ReadSample("mixed_no_boundaries.eml"), true, b);
    EXPECT_EQ(b.MixedBoundary, "mix_7e3c5d");
    EXPECT_EQ(m.PartBoundaries.RelatedBoundary, "----=_rel_0001");

    for (const auto& row : testdata::Table("decoder/alternative-boundary.table", 2)) {
        Boundaries carried{"r", "old", "m"};
        DecodeMessage(row[0] + "Content-Type: text/plain\r\n\r\nx\r\n.\r\n", true, carried);
        EXPECT_EQ(carried.AlternativeBoundary, row[1]) << row[0];
        EXPECT_EQ(carried.RelatedBoundary, "r");
        EXPECT_EQ(carried.MixedBoundary, "m");
    }
}

TEST(DecodeMessage, PartTypeIsCutAtSemicolonAndCapped) {
    Boundaries b;
    const std::string longType(1000, 't');
    const auto m = DecodeMessage("Content-Type: multipart/mixed\r\n\r\nContent-Type: a/b;c\r\n"
                                 "Content-Type: \r\nContent-Type: " +
                                     longType + "\r\nContent-Type: last",
                                 true, b);
    ASSERT_EQ(m.PartEntries.size(), 4u);
    EXPECT_EQ(m.PartEntries[0], "a/b");
    EXPECT_EQ(m.PartEntries[1], "");
    EXPECT_EQ(m.PartEntries[2], longType.substr(0, MaxPartTypeLength));
    EXPECT_EQ(m.PartEntries[3], "last");
    EXPECT_EQ(m.MsgParts[3].Start, m.MsgBody.rfind("Content-Type: last"));
}

TEST(ExtractPart, Table) {
    for (const auto& row : testdata::Table("decoder/extract-part.table", 5)) {
        const Boundaries boundaries{row[0], row[1], row[2]};
        EXPECT_EQ(ExtractPart(row[3], row[3].rfind("Content-Type"), boundaries), row[4])
            << testing::PrintToString(row[3]);
    }
}

} // namespace
