#include "html/HtmlPrepare.h"

#include <gtest/gtest.h>

#include <string>

using namespace html;

namespace {

TEST(HtmlPrepare, Examples) {
    struct Case {
        std::string html;
        HtmlOptions options;
        std::string browserHtml, removedTags;
    } cases[] = {
        {"a<img src=x.gif>b<IMG SRC=y.gif>c",
         {true, false, ""},
         "<html><body>abc</body></html><pre>",
         ""},
        {"<p>a<img src=x.gif>b<IMG SRC=y.gif>c</p>",
         {true, false, ""},
         "<html><body><p>abc</p></body></html><pre>",
         ""},
        {"<p><img src=pixel.gif?id=7><img src=logo.gif></p>",
         {false, true, "corvane.test"},
         "<html><body><p><img src=logo.gif></p></body></html><pre>",
         "\r\n<img src=pixel.gif?id=7>"},
        {"<p><img src=\"http://corvane.test/u.gif\"><img src=\"http://CORVANE.TEST/u.gif\"></p>",
         {false, true, "corvane.test"},
         "<html><body><p><img src=\"http://CORVANE.TEST/u.gif\"></p></body></html><pre>",
         "\r\n<img src=\"http://corvane.test/u.gif\">"},
        // An empty domain is in every tag.
        {"<p><img src=a><img src=b></p>",
         {false, true, ""},
         "<html><body><p></p></body></html><pre>",
         "\r\n<img src=a>\r\n<img src=b>"},
        {"<p><img src=a?1><img src=b?2>!</p>",
         {false, true, "x.y"},
         "<html><body><p>!</p></body></html><pre>",
         "\r\n<img src=a?1>\r\n<img src=b?2>"},
        {"<p>x<img src=a?", {true, true, ""}, "<html><body><p>x<img src=a?</body></html><pre>", ""},
        {"Hello <b>world</b>", {}, "<html><body><b>world</b></body></html><pre>", ""},
        {"no tags at all", {}, "<html><body>no tags at all</body></html><pre>", ""},
        {"junk<body bgcolor=white>x",
         {},
         "<html><body><body bgcolor=white>x</body></html><pre>",
         ""},
        {"pre<BODY>x</body>", {}, "<html><BODY>x</body></html><pre>", ""},
        {"<html>...</html>Footer", {}, "<html>...</html><pre>Footer", ""},
        {"<HTML><body>x</body></HTML>a</html>b",
         {},
         "<HTML><body>x</body></HTML><pre>a</html>b",
         ""},
        {"lead <html>x", {}, "lead <html>x", ""}, // nothing to close, nothing dropped
        {"", {true, true, ""}, "", ""},
    };
    for (const auto& c : cases) {
        const auto result = PrepareHTML(c.html, c.options);
        EXPECT_EQ(result.BrowserHTML, c.browserHtml) << c.html;
        EXPECT_EQ(result.RemovedTags, c.removedTags) << c.html;
        EXPECT_EQ(result.LinkRemoved, !c.removedTags.empty()) << c.html;
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
