// Message bytes to display text: declared charsets, RFC 2047 header words, HTML charsets.

#include "platform/TextCodec.h"
#include "platform/BrowserView.h"

#include "decoding/TestData.h"

#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using platform::TextCodec;

namespace {

// A run with nowhere to break a line is broken every kLongestRun characters for the view;
// words, line breaks and East Asian text are left as they are.
TEST(ForTextView, BreaksOnlyRunsLongerThanAnyWord) {
    const qsizetype n = platform::kLongestRun;
    const QString a(n, u'a'), cjk(3 * n, QChar(0x4E00));
    const struct {
        QString text, shown;
    } cases[] = {
        {a, a},
        {a + u'a', a + u'\n' + u'a'},
        {a + a + a + u'b', a + u'\n' + a + u'\n' + a + u'\n' + u'b'},
        {a + u' ' + a + u'\n' + a + u'\t' + a, a + u' ' + a + u'\n' + a + u'\t' + a},
        {cjk, cjk},
        {u'x' + a + cjk, u'x' + a.left(n - 1) + u'\n' + u'a' + cjk},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::ForTextView(c.text), c.shown) << c.text.size();
    }
}

// No replacement characters, no lost byte or line.
TEST(TextCodecDecode, Table) {
    for (const auto& row : testdata::Table("charsets/decode.table", 3, 30)) {
        QString text = TextCodec::decode(row[1], row[0]);
        EXPECT_FALSE(text.contains(QChar(0xFFFD))) << row[1];
        EXPECT_EQ(text.replace(QChar(0), QLatin1Char(' ')).toStdString(), row[2]) << row[1];
    }
}

TEST(TextCodecDecode, KnownCharsetNames) {
    for (const auto& row : testdata::Table("charsets/known.table", 2)) {
        EXPECT_EQ(TextCodec::knowsCharset(row[0]), row[1] == "1") << row[0];
    }
    // A charset parameter is bytes from the message; a NUL must not cut it to a known name.
    EXPECT_FALSE(TextCodec::knowsCharset(std::string_view("utf-8\0x", 7)));
    EXPECT_EQ(TextCodec::decode("Gr\xC3\xBC", std::string_view("utf-8\0x", 7)).toStdString(),
              "GrÃ¼");
}

// A large body with one bad line, short or long: only that line changes, wherever it falls.
TEST(TextCodecDecode, OneBadLineInALargeBody) {
    const struct {
        const char* charset;
        std::string line;
        const char* text;
    } cases[] = {
        {"shift_jis", "\x93\xFA\x96\x7B\x8C\xEA", "日本語"},
        {"utf-8", "Grüße", "Grüße"}, // UTF-8 source text
        {"big5", "\xA4\xA4\xA4\xE5", "中文"},
    };
    for (const std::string& badLine :
         {std::string("caf\xE9\xFF\x81\r\n"), "\x82\xA0" + std::string(200, 'x') + "\xFF\r\n"}) {
        for (const auto& c : cases) {
            for (int badAt : {0, 1, 4000, 9999}) {
                std::string body;
                QString expected;
                for (int i = 0; i < 10000; ++i) {
                    const bool bad = i == badAt;
                    body += bad ? badLine : c.line + " " + std::to_string(i) + "\r\n";
                    expected += bad ? TextCodec::fromBytes(badLine)
                                    : QString::fromUtf8(c.text) + QString(" %1\r\n").arg(i);
                }
                EXPECT_EQ(TextCodec::decode(body, c.charset), expected)
                    << c.charset << " " << badAt;
            }
        }
    }
}

// Hostile bodies: whatever the charset makes of them, every line is still there.
TEST(TextCodecDecode, HostileBodiesKeepEveryLine) {
    std::string tinyBadLines;
    for (int i = 0; i < 5000; ++i) {
        tinyBadLines += i % 3 == 0 ? "\xFF\n" : "\x82\xA0\n";
    }
    std::string mixed;
    for (int i = 0; i < 2000; ++i) {
        mixed += "line \x93\xFA " + std::to_string(i) + (i % 7 == 0 ? "\x81\n" : "\n");
    }
    const std::pair<std::string, const char*> cases[] = {{tinyBadLines, "shift_jis"},
                                                         {tinyBadLines, "utf-8"},
                                                         {tinyBadLines, "gb2312"},
                                                         {mixed, "shift_jis"},
                                                         {mixed, "euc-kr"},
                                                         {mixed, "iso-2022-jp"},
                                                         {testdata::AllBytes(), "big5"},
                                                         {testdata::AllBytes(), "utf-7"}};
    for (const auto& [bytes, charset] : cases) {
        const QString text = TextCodec::decode(bytes, charset);
        const auto lines = std::count(bytes.begin(), bytes.end(), '\n');
        EXPECT_EQ(text.count(QLatin1Char('\n')), lines) << charset << " " << bytes.size();
        EXPECT_FALSE(text.contains(QChar(0xFFFD))) << charset << " " << bytes.size();
    }
}

TEST(TextCodecDecode, EveryByteRoundTripsThroughWindows1252) {
    const std::string bytes = testdata::AllBytes();
    const QString text = TextCodec::fromBytes(bytes);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(TextCodec::toBytes(text), bytes);
    EXPECT_EQ(text[0x80], QChar(0x20AC));
    EXPECT_EQ(text[0x81], QChar(0x81)); // undefined in Windows-1252, kept as its code
    EXPECT_EQ(text[0x9F], QChar(0x0178));
    // The labels that mean Windows-1252, and UTF-8 that is none (no high byte here starts a
    // well-formed sequence), show the same text as before.
    for (const char* charset : {"", "windows-1252", "iso-8859-1", "us-ascii", "utf-8", "x-foo"}) {
        EXPECT_EQ(TextCodec::decode(bytes, charset), text) << charset;
    }
    EXPECT_EQ(TextCodec::toBytes(QString::fromUtf8("ü😀Ж")), "\xFC??");
}

TEST(TextCodecHeader, Table) {
    for (const auto& row : testdata::Table("charsets/headers.table", 2, 15)) {
        EXPECT_EQ(TextCodec::headerUtf8(row[0]), row[1]);
        EXPECT_EQ(TextCodec::headerText(row[0]), QString::fromStdString(row[1]));
    }
}

// Endless word starts come back as written.
TEST(TextCodecHeader, HostileWordStarts) {
    std::string starts(200000, '=');
    for (std::size_t i = 1; i < starts.size(); i += 2) {
        starts[i] = '?';
    }
    EXPECT_EQ(TextCodec::headerUtf8(starts), starts);
}

TEST(TextCodecHtml, WhichCharsetApplies) {
    for (const auto& row : testdata::Table("charsets/meta.table", 2)) {
        EXPECT_EQ(TextCodec::htmlMetaCharset(row[0]), row[1]) << row[0];
    }
    EXPECT_EQ(TextCodec::htmlMetaCharset(std::string(70000, ' ') + "<meta charset=utf-8>"), "");
    EXPECT_EQ(TextCodec::htmlMetaCharset(""), "");
    for (const auto& row : testdata::Table("charsets/html.table", 3)) {
        EXPECT_EQ(TextCodec::htmlCharset(row[0], row[1]), row[2]) << row[0] << " " << row[1];
    }
}

TEST(TextCodecHtml, ForBrowserIsUtf8) {
    const std::string koi8 = "<meta charset=\"koi8-r\"><p>\xF0\xD2\xC9\xD7\xC5\xD4</p>";
    EXPECT_EQ(TextCodec::htmlForBrowser(koi8, "").toStdString(),
              "<meta charset=\"koi8-r\"><p>Привет</p>");
    EXPECT_EQ(TextCodec::htmlForBrowser("<p>caf\xE9</p>", "").toStdString(), "<p>café</p>");
    EXPECT_EQ(TextCodec::htmlForBrowser("<p>\xC3\xBC\xFF</p>", "utf-8").toStdString(), "<p>üÿ</p>");
}

// The browser reads the converted document as UTF-8, even where the document's own <meta>
// names another charset.
TEST(TextCodecHtml, BrowserShowsConvertedText) {
    auto view = std::make_unique<platform::BrowserView>();
    const std::string html = "<html><head><meta charset=\"iso-8859-5\"></head><body>"
                             "<p>\xF0\xD2\xC9\xD7\xC5\xD4 &amp; \x93q\x94</p></body></html>";
    QSignalSpy loaded(view.get(), &platform::BrowserView::documentComplete);
    view->showDocument(TextCodec::htmlForBrowser(html, "koi8-r"), "utf-8");
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.count() > 0; }, 30000));
    auto text = std::make_shared<std::optional<QString>>();
    view->page()->toPlainText([text](const QString& t) { *text = t; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return text->has_value(); }, 30000));
    // 0x93/0x94 are box-drawing characters in KOI8-R.
    EXPECT_EQ(text->value().trimmed().toStdString(), "Привет & ⌠q■");
}

} // namespace
