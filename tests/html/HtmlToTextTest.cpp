#include "html/HtmlToText.h"

#include "html/HtmlToTextReference.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using modHTML2txt::HTML2txt;
using modHTML2txt::RemoveSpaces;

namespace {

// A fragment placed in a document body, after a line end, and followed by further input that
// writes nothing.
std::string Body(const std::string& fragment) {
    return "<html><body>\r\n" + fragment + "</body></html>";
}

struct Case {
    const char* name;
    std::string html;
    std::string text;
};

void CheckCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(HTML2txt(c.html), c.text) << c.name;
        EXPECT_EQ(reference::HTML2txt(c.html), c.text) << c.name << " (reference)";
    }
}

const std::string CrLf = "\r\n";
const std::string Blank = "\r\n\r\n";

TEST(HtmlToText, DocumentsAndBody) {
    CheckCases({
        {"empty", "", ""},
        {"title then body", "<html><head><title>Hi</title></head><body>x y</body></html>",
         "Hi" + Blank + "x y"},
        {"no body: only title and structural breaks",
         "<html><head><title>T</title></head><p>text<br>more<ol><li>a</ol>"
         "<table><tr><td>a</td></tr></table></html>",
         "T" + Blank + Blank + CrLf + "1. " + CrLf},
        {"title copied raw, entities and spaces kept",
         "<title> a &amp;  b </title><body>x</body></html>", " a &amp;  b " + Blank + "x"},
        {"comment before body is not a comment",
         "<html><head><!-- <title>T</title> --></head><body>x</body></html>", "T" + Blank + "x"},
        {"br right after body breaks nothing", "<html><body><br>x</body></html>", "x"},
        {"line end after body counts as text", "<html><body>\r\n<br>x</body></html>", CrLf + "x"},
        {"body inside script is ignored", "<html><script><body></script>x<body>y</body></html>",
         "y"},
    });
}

TEST(HtmlToText, TagsIgnoreCaseAndNeedSpaceBeforeAttributes) {
    CheckCases({
        {"p", Body("a<p>b"), "a" + Blank + "b"},
        {"P with attribute", Body("a<P class=a>b"), "a" + Blank + "b"},
        {"Pre is not P", Body("a<Pre>b"), "ab"},
        {"P with tab before attribute", Body("a<p\tclass=a>b"), "ab"},
        {"spaces inside brackets", Body("a< p >b"), "a" + Blank + "b"},
        {"br", Body("a<br>b"), "a" + CrLf + "b"},
        {"BR", Body("a<BR>b"), "a" + CrLf + "b"},
        {"br/", Body("a<br/>b"), "ab"},
        {"br /", Body("a<br />b"), "ab"},
        {"br clear", Body("a<br clear=all>b"), "ab"},
        {"several br", Body("a<br><br><BR>b"), "a" + CrLf + "b"},
        {"p after p", Body("a<p><p>b"), "a" + Blank + "b"},
        {"p after list end", Body("a<ul><li>b</ul><p>c"), "a" + Blank + CrLf + "* b" + Blank + "c"},
        {"headings", Body("a<h1>b</h1><H4>c<h5>d"), "a" + CrLf + "b" + CrLf + "cd"},
        {"option", Body("<select><option>one<option selected>two</select>"),
         CrLf + "\tone" + CrLf + "\ttwo"},
        {"table breaks a line once", Body("a<table border=1>b<br>c"),
         "a" + CrLf + "b" + CrLf + "c"},
        {"unknown and closing tags", Body("a<div><span>b</span></div></p></td>c"), "abc"},
    });
}

TEST(HtmlToText, TableRows) {
    const std::string a40(40, 'a');
    const std::string b25(25, 'b');
    const std::string b24(24, 'b');
    CheckCases({
        {"short row on one line", Body("<table><tr><td>Name</td><td>Value</td></tr></table>"),
         CrLf + CrLf + "Name   Value"},
        {"TH cells and attributes", Body("<tr class=x><th>A</th><TD align=left>B</td></tr>"),
         CrLf + "A   B"},
        {"64 characters stay on one line",
         Body("<tr><td>" + a40 + "</td><td>" + b24 + "</td></tr>"), CrLf + a40 + "   " + b24},
        {"65 characters: one line per cell",
         Body("<tr><td>" + a40 + "</td><td>" + b25 + "</td></tr>"), CrLf + CrLf + a40 + CrLf + b25},
        {"white space in cells counts",
         Body("<tr><td>" + a40 + "</td><td>" + std::string(24, ' ') + "b</td></tr>"),
         CrLf + CrLf + a40 + CrLf + " b"},
        {"characters between cells do not count",
         Body("<tr>" + a40 + "<td>x</td>" + a40 + "<td>y</td></tr>"),
         CrLf + a40 + "x" + a40 + "   y"},
        {"br in a cell", Body("<tr><td>a<br>b</td><td>c</td></tr>"),
         CrLf + CrLf + "a" + CrLf + "b" + CrLf + "c"},
        {"p in a cell", Body("<tr><td>a</td><td><p class=x>c</td></tr>"),
         CrLf + CrLf + "a" + CrLf + Blank + "c"},
        {"br/ in a cell does not count", Body("<tr><td>a<br/>b</td><td>c</td></tr>"),
         CrLf + "ab   c"},
        {"nested table between cells",
         Body("<tr><td>a</td><table><tr><td>b</td></tr></table></tr>"),
         CrLf + CrLf + "a" + CrLf + CrLf + "b"},
        {"nested table inside a cell is not seen",
         Body("<tr><td>a<table><tr><td>b</td></tr></table></td></tr>"),
         CrLf + "a" + CrLf + CrLf + "b"},
        {"row ended by /table", Body("<tr><td>a</td><td>b</td></table>"), CrLf + "a   b"},
        {"tags inside a cell are skipped", Body("<tr><td><b>a</b></td><td>b</ td></tr>"),
         CrLf + "a   b"},
        {"rows without /tr end at /table",
         Body("<table><tr><td>a</td><td>b</td><tr><td>c</td><td>d</td></table>"),
         CrLf + CrLf + "a   b" + CrLf + "c   d"},
        {"tr inside script", Body("<script><tr></script>x"), "x"},
    });
}

// Where a row's look-ahead runs into the end of the input, the row is laid out with what was
// counted and the rest of the text is still converted.
TEST(HtmlToText, UnclosedRowsKeepTheirText) {
    CheckCases({
        {"row without /tr or /table", Body("<table><tr><td>a</td><td>b</td> tail"),
         CrLf + CrLf + "a   b tail"},
        {"cell without /td", Body("<table><tr><td>a<td>b</table> more"),
         CrLf + CrLf + "a   b more"},
        {"long unclosed row", Body("<tr><td>" + std::string(70, 'x') + "<td>y"),
         CrLf + CrLf + std::string(70, 'x') + CrLf + "y"},
    });
}

TEST(HtmlToText, Lists) {
    CheckCases({
        {"ordered", Body("<ol><li>a<li>b</ol>"), Blank + CrLf + "1. a" + CrLf + "2. b" + Blank},
        {"unordered", Body("<ul><li>a</ul>"), Blank + CrLf + "* a" + Blank},
        {"second ordered list restarts", Body("<ol><li>a</ol><ol><li>b</ol>"),
         Blank + CrLf + "1. a" + Blank + Blank + CrLf + "1. b" + Blank},
        {"ol does not reset the number", Body("<ol><li>a<ol><li>b"),
         Blank + CrLf + "1. a" + Blank + CrLf + "2. b"},
        {"/ol before text keeps the number",
         "<html><body><ol><li></ol><ol><li>x</ol></body></html>",
         Blank + CrLf + "1. " + Blank + CrLf + "2. x" + Blank},
        {"li with attribute", Body("<ul><li class=x>a<li\tb>c</ul>"),
         Blank + CrLf + "* ac" + Blank},
    });
}

TEST(HtmlToText, WhiteSpace) {
    const std::string x74(74, 'x');
    const std::string x73(73, 'x');
    CheckCases({
        {"white space between tags dropped", Body("a<b> </b><i>c"), "ac"},
        {"line end after br", Body("word<br>\r\nnext"), "word" + CrLf + "next"},
        {"indented line after br keeps a space", Body("word<br>\r\n  next"),
         "word" + CrLf + " next"},
        {"run becomes one space", Body("a \t\r\n  b"), "a b"},
        {"space after a tag", Body("a<b> b</b>"), "a b"},
        {"wrap at column 75", Body(x74 + " y z"), x74 + " " + CrLf + "y z"},
        {"no wrap before 75", Body(x73 + " y"), x73 + " y"},
        {"wrap on a line end", Body(x74 + "\r\ny"), x74 + " " + CrLf + "y"},
        {"code 31 dropped",
         Body("a\x1f"
              "b"),
         "ab"},
        {"NUL is white space", Body(std::string("a\0b", 3)), "a b"},
        {"high characters copied", Body("\xe9\xa0\xff"), "\xe9\xa0\xff"},
        {"dash", Body("a - b"), "a - b"},
        {"dash before text dropped", "<html><body>-a</body></html>", "a"},
    });
}

TEST(HtmlToText, Entities) {
    CheckCases({
        {"decoded once", Body("&amp;lt;"), "&lt;"},
        {"no semicolon near", Body("Tom & Jerry"), "Tom & Jerry"},
        {"short name with a space", Body("a & b; c"), "a  c"},
        {"seven-letter name not decoded", Body("&thetasym;"), "&thetasym;"},
        {"six-letter name", Body("&eacute;t&Eacute;"), "\xe9t\xc9"},
        {"numeric", Body("&#65;&#233;&#8217;"), "A\xe9"},
        {"second ampersand first", Body("&a&amp;"), "&a&"},
        {"empty name", Body("a&;b"), "ab"},
        {"entity across a tag", Body("a&x<b>;c"), "ac"},
        {"nbsp written like text", Body("a&nbsp;b"),
         "a\xa0"
         "b"},
        {"ampersand at the end", "<html><body>a &", "a &"},
    });
}

TEST(HtmlToText, ScriptsAndComments) {
    CheckCases({
        {"script dropped", Body("a<script>var x = 1 - 2;</script>b"), "ab"},
        {"script with attribute", Body("a<script type=x>y</ script >b"), "ab"},
        {"comment dropped", Body("a<!-- hidden <b> -->b"), "ab"},
        {"comment end with spaces", Body("a<!-- x - - >b"), "ab"},
        {"comment end needs dashes", Body("a<!-- x > y -->b"), "ab"},
        {"empty comment stays open", Body("a<!---->b-->c"), "ac"},
        {"space in comment suppresses the next", Body("after<!-- hidden --> tail"), "aftertail"},
        {"comment ending at the last character", "<html><body>t<!-- x -->", "t->"},
    });
}

// The text ends early where a tag or its white space runs into the end of the input.
TEST(HtmlToText, EarlyEnds) {
    CheckCases({
        {"last tag followed by one character", "<html><body>x<br>y", "x"},
        {"last tag followed by two characters", "<html><body>x<i>yz", "xyz"},
        {"lone < at the end", "<html><body>x<", "x"},
        {"< without >", "<html><body>x<b y z", "x"},
        {"white space to the last character", "<html><body>x<b>  \r\ny", "x"},
        {"comment never closed", "<html><body>x<!-- y", "x"},
        {"tag reaching the last character", "<html><body>x<b>", "x"},
    });
}

TEST(HtmlToText, RemoveSpaces) {
    EXPECT_EQ(RemoveSpaces(" / t d "), "/td");
    EXPECT_EQ(RemoveSpaces("a\tb\r\n c"), "a\tb\r\nc");
    EXPECT_EQ(RemoveSpaces("   "), "");
    EXPECT_EQ(RemoveSpaces(""), "");
}

// Random documents from a small alphabet of tags, entities and white space, compared with the
// step-by-step reference.
TEST(HtmlToText, MatchesReferenceOnRandomDocuments) {
    const std::vector<std::string> pieces = {
        "<p>",      "<P class=a>", "<br>",      "<BR>",
        "<br/>",    "<tr>",        "</tr>",     "<td>",
        "</td>",    "<th>",        "< / td >",  "<table>",
        "</table>", "<ol>",        "</ol>",     "<ul>",
        "</ul>",    "<li>",        "<title>",   "</title>",
        "<body>",   "<script>",    "</script>", "<!--",
        "-->",      "- -",         "-",         "&amp;",
        "&lt;",     "&#233;",      "&#9999;",   "&Eacute;",
        "&",        ";",           "&nbsp;",    " ",
        "  ",       "\r\n",        "\t",        "x",
        "word",     "<",           ">",         "<h1>",
        "<option>", "<pre>",       "\x1f",      std::string(1, '\0'),
        "<!---->",  "<b>",         "</b>",      "abcdefghijklmnopqrstuvwxyz0123456789 ",
        "\xe9",     "<tr><td>",    "</td><td>", "</td></tr>"};
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(0, 40);
    for (int round = 0; round < 60000; ++round) {
        std::string html = round % 2 == 0 ? "<body>" : "";
        for (int i = length(rng); i > 0; --i) {
            html += pieces[pick(rng)];
        }
        ASSERT_EQ(HTML2txt(html), reference::HTML2txt(html)) << testing::PrintToString(html);
    }
}

// Random strings over the characters the converter reacts to.
TEST(HtmlToText, MatchesReferenceOnRandomCharacters) {
    const std::string alphabet = "<>/!-&;# \r\n\tabdeilprtBDTRPL1";
    std::mt19937 rng(7);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 60);
    for (int round = 0; round < 60000; ++round) {
        std::string html = "<body>";
        for (int i = length(rng); i > 0; --i) {
            html += alphabet[pick(rng)];
        }
        ASSERT_EQ(HTML2txt(html), reference::HTML2txt(html)) << testing::PrintToString(html);
    }
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
