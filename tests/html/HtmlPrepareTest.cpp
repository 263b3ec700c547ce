#include "html/HtmlPrepare.h"

#include "decoding/TestData.h"

#include <gtest/gtest.h>

#include <string>

using namespace html;

namespace {

TEST(HtmlPrepare, Table) {
    for (const auto& row : testdata::Table("html/prepare.table", 6)) {
        const auto result = PrepareHTML(row[3], {row[0] == "1", row[1] == "1", row[2]});
        EXPECT_EQ(result.BrowserHTML, row[4]) << row[3];
        EXPECT_EQ(result.RemovedTags, row[5]) << row[3];
        EXPECT_EQ(result.LinkRemoved, !row[5].empty()) << row[3];
    }
}

TEST(HtmlPrepare, CutsThatJoinATag) {
    // Removing the inner tag brings "<" and "IMG" together: the search from the top finds it.
    EXPECT_EQ(RemovePictures("<<img a>IMG b>c"), "c");
    EXPECT_EQ(RemovePictures("<I<img a>MG b>c"), "c");
    EXPECT_EQ(RemovePictures("<IM<img a>G b>c"), "c");
    EXPECT_EQ(RemovePictures("a<img x>b<IMG c"), "ab<IMG c"); // no ">": the rest stays
    // The suspicious scan goes on after the cut, not before it.
    std::string removed;
    EXPECT_EQ(RemoveSuspiciousTags("<<img ?>IMG ?>c", "d", removed), "<IMG ?>c");
    EXPECT_EQ(removed, "\r\n<img ?>");
}

TEST(HtmlPrepare, LargeInputStaysLinear) {
    // 200,000 tags: a rescan from the top after each cut would take minutes.
    std::string text;
    for (int i = 0; i < 200000; ++i) {
        text += "<img src=a?" + std::to_string(i) + ">x";
    }
    EXPECT_EQ(RemovePictures(text), std::string(200000, 'x'));
    std::string removed;
    EXPECT_EQ(RemoveSuspiciousTags(text, "nowhere", removed), std::string(200000, 'x'));
}

} // namespace
