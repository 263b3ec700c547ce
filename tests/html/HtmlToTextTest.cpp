#include "html/HtmlToText.h"

#include "decoding/TestData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using modHTML2txt::HTML2txt;
using modHTML2txt::RemoveSpaces;

namespace {

const std::string CrLf = "\r\n";

// Known answers: "body" rows are fragments placed after a BODY tag and a line end.
TEST(HtmlToText, Table) {
    for (const auto& row : testdata::Table("html/html2txt.table", 3, 85)) {
        const std::string html =
            row[0] == "body" ? "<html><body>\r\n" + row[1] + "</body></html>" : row[1];
        EXPECT_EQ(HTML2txt(html), row[2]) << testing::PrintToString(html);
    }
}

TEST(HtmlToText, RemoveSpaces) {
    EXPECT_EQ(RemoveSpaces(" / t d "), "/td");
    EXPECT_EQ(RemoveSpaces("a\tb\r\n c"), "a\tb\r\nc");
    EXPECT_EQ(RemoveSpaces("   "), "");
}

// Hostile inputs: each must finish (linear time) with an output of bounded size.
TEST(HtmlToText, HostileInputsFinish) {
    const std::size_t mb = 1 << 20;
    std::vector<std::pair<const char*, std::string>> inputs;
    inputs.emplace_back("10 MB without white space", "<body>" + std::string(10 * mb, 'x') + "<i>.");
    inputs.emplace_back("lone <", "<body>x" + std::string(mb, 'y') + "<" + std::string(mb, 'z'));
    inputs.emplace_back("NULs", "<body>" + std::string(mb, '\0') + "</body>");
    std::string nested = "<html><body>\r\n";
    for (int i = 0; i < 100000; ++i) {
        nested += "<div><tr><td><ol><li>";
    }
    inputs.emplace_back("100,000 nested tags, rows never closed", nested + "x</body></html>");
    std::string ampersands = "<body>";
    for (std::size_t i = 0; i < mb / 4; ++i) {
        ampersands += "&a;&";
    }
    inputs.emplace_back("ampersands", ampersands);
    inputs.emplace_back("unterminated comment",
                        "<body>x<!--" + std::string(mb, '-') + std::string(mb, '>'));
    std::string reread = "<body>x";
    for (int i = 0; i < 100000; ++i) {
        reread += "<!-- - ";
    }
    inputs.emplace_back("comments read again", reread + "-->");
    inputs.emplace_back("unterminated script",
                        "<body><script>" + std::string(mb, 'x') + " " + std::string(mb, '<'));
    std::string cells = "<body><table><tr>";
    for (int i = 0; i < 100000; ++i) {
        cells += "<td>x<tr>";
    }
    inputs.emplace_back("cells never closed", cells + "</body>");
    for (const auto& [name, html] : inputs) {
        const std::string text = HTML2txt(html);
        EXPECT_LE(text.size(), 4 * html.size()) << name;
    }
}

TEST(HtmlToText, LongTextWrapsEveryLine) {
    std::string html = "<body>";
    for (int i = 0; i < 20000; ++i) {
        html += "word" + std::to_string(i % 100) + " ";
    }
    const std::string text = HTML2txt(html + "</body></html>");
    std::size_t start = 0;
    std::size_t lines = 0;
    for (std::size_t end = text.find(CrLf); end != std::string::npos;
         start = end + 2, end = text.find(CrLf, start)) {
        ++lines;
        EXPECT_GE(end - start, 75u);
        EXPECT_LE(end - start, 81u);
        EXPECT_EQ(text[end - 1], ' ');
    }
    EXPECT_GT(lines, 1000u);
}

} // namespace
