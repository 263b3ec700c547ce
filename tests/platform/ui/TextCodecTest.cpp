// Message bytes to display text: declared charsets, RFC 2047 header words, HTML charsets.

#include "platform/TextCodec.h"
#include "platform/BrowserView.h"

#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

using platform::TextCodec;

namespace {

// Text as UTF-8, so that failures print readably.
std::string Decode(std::string_view bytes, std::string_view charset) {
    return TextCodec::decode(bytes, charset).toStdString();
}

std::string AllBytes() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes += static_cast<char>(b);
    }
    return bytes;
}

// "Grüße" in UTF-8 and in ISO-8859-1.
const std::string kGruesseUtf8 = "Gr\xC3\xBC\xC3\x9F"
                                 "e";
const std::string kGruesseLatin1 = "Gr\xFC\xDF"
                                   "e";

int CountNewlines(const QString& text) {
    return static_cast<int>(text.count(QLatin1Char('\n')));
}

struct DecodeCase {
    const char* name;
    std::string bytes;
    const char* charset;
    const char* text; // UTF-8
};

TEST(TextCodecDecode, DeclaredCharsets) {
    const DecodeCase cases[] = {
        {"utf-8", kGruesseUtf8, "utf-8", "Grüße"},
        {"utf-8 upper case, no dash", kGruesseUtf8, "UTF8", "Grüße"},
        {"utf-8 quoted", "\xE2\x82\xAC 5", "\"utf-8\"", "€ 5"},
        {"utf-8 4-byte", "\xF0\x9F\x98\x80!", "utf-8", "😀!"},
        {"utf-8 BOM dropped", "\xEF\xBB\xBFhi", "utf-8", "hi"},
        {"iso-8859-1 (quoted-printable decoded)", kGruesseLatin1, "iso-8859-1", "Grüße"},
        {"latin1 alias", "caf\xE9", "latin1", "café"},
        {"iso-8859-1 read as its superset", "\x93quoted\x94", "ISO-8859-1", "“quoted”"},
        {"us-ascii with 8-bit bytes", "na\xEFve", "us-ascii", "naïve"},
        {"cp1252 alias", "\x80 \x85", "cp1252", "€ …"},
        {"iso-8859-2", "\xA3\xF3\x64\xBC", "iso-8859-2", "Łódź"},
        {"iso-8859-15", "\xA4", "iso-8859-15", "€"},
        {"koi8-r", "\xF0\xD2\xC9\xD7\xC5\xD4", "koi8-r", "Привет"},
        {"windows-1251", "\xCF\xF0\xE8\xE2\xE5\xF2", "windows-1251", "Привет"},
        {"shift_jis", "\x93\xFA\x96\x7B\x8C\xEA", "Shift_JIS", "日本語"},
        {"x-sjis alias", "\x82\xA0", "x-sjis", "あ"},
        {"gb2312", "\xC4\xE3\xBA\xC3", "gb2312", "你好"},
        {"big5", "\xA4\xA4\xA4\xE5", "big5", "中文"},
        {"utf-16le", std::string("a\0\xFC\0", 4), "utf-16le", "aü"},
        {"no charset", kGruesseLatin1, "", "Grüße"},
        {"unknown charset", kGruesseLatin1, "x-unknown", "Grüße"},
        {"the user's locale is no charset", "Gr\xC3\xBC", "locale", "GrÃ¼"},
        {"empty text", "", "utf-8", ""},
    };
    for (const DecodeCase& c : cases) {
        EXPECT_EQ(Decode(c.bytes, c.charset), c.text) << c.name;
    }
}

TEST(TextCodecDecode, KnownCharsetNames) {
    for (const char* known : {"utf-8", "UTF-8", "utf8", "us-ascii", "latin1", "iso-8859-1",
                              "cp1252", "windows-1252", "x-sjis", "shift_jis", "koi8-r", "gb2312",
                              "big5", "euc-jp", "iso-2022-jp", " 'utf-8' "}) {
        EXPECT_TRUE(TextCodec::knowsCharset(known)) << known;
    }
    for (const char* unknown :
         {"", "x-unknown", "locale", "utf-8; format=flowed", "=?utf-8?", "\xC3\xBC"}) {
        EXPECT_FALSE(TextCodec::knowsCharset(unknown)) << unknown;
    }
    // A charset parameter is bytes from the message; a NUL must not cut it to a known name.
    EXPECT_FALSE(TextCodec::knowsCharset(std::string_view("utf-8\0x", 7)));
    EXPECT_EQ(Decode("Gr\xC3\xBC", std::string_view("utf-8\0x", 7)), "GrÃ¼");
}

// Bytes invalid in the declared charset: shown as Windows-1252 where they are, the rest of
// the text in its charset; no replacement characters, no lost byte or line.
TEST(TextCodecDecode, InvalidBytesFallBackLocally) {
    const DecodeCase cases[] = {
        {"utf-8 with stray bytes", kGruesseUtf8 + " \xFF caf\xE9", "utf-8", "Grüße ÿ café"},
        {"utf-8 cut off at the end", "a\xE2\x82", "utf-8", "aâ‚"},
        {"utf-8 surrogate and overlong forms", "\xED\xA0\x80 \xC0\xAF", "utf-8", "í\xC2\xA0€ À¯"},
        {"Windows-1252 text labelled utf-8", kGruesseLatin1 + " \x93x\x94", "utf-8", "Grüße “x”"},
        {"shift_jis, one bad line among good ones",
         "\x93\xFA\x96\x7B\r\ncaf\xE9\xFF\r\n\x8C\xEA\r\n", "shift_jis", "日本\r\ncaféÿ\r\n語\r\n"},
        {"shift_jis cut off at the end", "\x93\xFA\x93", "shift_jis", "“ú“"},
        {"iso-8859-7 unassigned byte keeps its line only", "\xE1\xE2\r\nx\xAE\r\n", "iso-8859-7",
         "αβ\r\nx®\r\n"},
        {"utf-16 with an odd byte", std::string("a\0b", 3), "utf-16le", "a b"},
    };
    for (const DecodeCase& c : cases) {
        QString text = TextCodec::decode(c.bytes, c.charset);
        EXPECT_FALSE(text.contains(QChar(0xFFFD))) << c.name;
        EXPECT_EQ(text.replace(QChar(0), QLatin1Char(' ')).toStdString(), c.text) << c.name;
    }
}

// A large body with one bad line: only that line changes, wherever it falls.
TEST(TextCodecDecode, OneBadLineInALargeBody) {
    const struct {
        const char* charset;
        std::string line;
        const char* text;
    } cases[] = {
        {"shift_jis", "\x93\xFA\x96\x7B\x8C\xEA", "日本語"},
        {"utf-8", kGruesseUtf8, "Grüße"},
        {"big5", "\xA4\xA4\xA4\xE5", "中文"},
    };
    const std::string badLine = "caf\xE9\xFF\x81\r\n";
    for (const auto& c : cases) {
        for (int badAt : {0, 1, 4000, 9999}) {
            std::string body;
            QString expected;
            for (int i = 0; i < 10000; ++i) {
                if (i == badAt) {
                    body += badLine;
                    expected += QString::fromUtf8("café\xC3\xBF\xC2\x81\r\n");
                } else {
                    body += c.line + " " + std::to_string(i) + "\r\n";
                    expected += QString::fromUtf8(c.text) + QString(" %1\r\n").arg(i);
                }
            }
            EXPECT_EQ(TextCodec::decode(body, c.charset), expected) << c.charset << " " << badAt;
        }
    }
}

TEST(TextCodecDecode, LongBadLinesAmongGoodOnes) {
    // Lines long enough to be decoded one by one: only the bad one changes.
    const std::string good(200, 'x');
    const std::string sjisLine = "\x93\xFA\x96\x7B" + good + "\r\n";
    const std::string bad = "\x82\xA0" + good + "\xFF\r\n";
    const std::string body = sjisLine + bad + sjisLine;
    const QString text = TextCodec::decode(body, "shift_jis");
    const QString goodText =
        QString::fromUtf8("日本") + QString::fromStdString(good) + QStringLiteral("\r\n");
    EXPECT_EQ(text, goodText + TextCodec::fromBytes(bad) + goodText);
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
    const struct {
        const char* name;
        std::string bytes;
        const char* charset;
    } cases[] = {
        {"tiny bad lines, shift_jis", tinyBadLines, "shift_jis"},
        {"tiny bad lines, utf-8", tinyBadLines, "utf-8"},
        {"tiny bad lines, gb2312", tinyBadLines, "gb2312"},
        {"every 7th line bad, shift_jis", mixed, "shift_jis"},
        {"every 7th line bad, euc-kr", mixed, "euc-kr"},
        {"every 7th line bad, iso-2022-jp", mixed, "iso-2022-jp"},
        {"all bytes, big5", AllBytes(), "big5"},
        {"all bytes, utf-7", AllBytes(), "utf-7"},
    };
    for (const auto& c : cases) {
        const QString text = TextCodec::decode(c.bytes, c.charset);
        const std::size_t lines = std::count(c.bytes.begin(), c.bytes.end(), '\n');
        EXPECT_EQ(CountNewlines(text), static_cast<int>(lines)) << c.name;
        EXPECT_FALSE(text.contains(QChar(0xFFFD))) << c.name;
    }
}

TEST(TextCodecDecode, EveryByteRoundTripsThroughWindows1252) {
    const std::string bytes = AllBytes();
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

// --- Header words -------------------------------------------------------------------------

struct HeaderCase {
    const char* name;
    std::string header;
    const char* text; // UTF-8
};

TEST(TextCodecHeader, EncodedWords) {
    const HeaderCase cases[] = {
        {"B, utf-8", "=?UTF-8?B?R3LDvMOfZQ==?=", "Grüße"},
        {"Q, iso-8859-1", "=?ISO-8859-1?Q?Gr=FC=DFe?=", "Grüße"},
        {"lower-case encoding and charset", "=?iso-8859-1?q?Gr=fc=dfe?=", "Grüße"},
        {"Q underscore is a blank", "=?utf-8?Q?a_b?=", "a b"},
        {"B without padding", "=?UTF-8?B?R3LDvMOfZQ?=", "Grüße"},
        {"koi8-r", "=?KOI8-R?B?8NLJ18XU?=", "Привет"},
        {"shift_jis", "=?Shift_JIS?B?k/qWe4zq?=", "日本語"},
        {"gb2312", "=?gb2312?B?xOO6ww==?=", "你好"},
        {"big5", "=?big5?B?pKSk5Q==?=", "中文"},
        {"language suffix", "=?utf-8*de?Q?Gr=C3=BC=C3=9Fe?=", "Grüße"},
        {"word within text", "Re: =?utf-8?Q?Gr=C3=BC=C3=9Fe?= aus Wien", "Re: Grüße aus Wien"},
        {"sender with address", "=?utf-8?Q?J=C3=BCrgen?= <j@example.org>",
         "Jürgen <j@example.org>"},
        {"split mid-character (B)", "=?UTF-8?B?R3LD?= =?UTF-8?B?vMOfZQ==?=", "Grüße"},
        {"split mid-character (Q)", "=?utf-8?Q?=E2?= =?utf-8?Q?=82=AC?=", "€"},
        {"split across a folded line", "=?UTF-8?B?4g==?=\r\n =?UTF-8?B?gqw=?=", "€"},
        {"blanks between words dropped", "=?utf-8?Q?a?=  \t =?utf-8?Q?b?=", "ab"},
        {"text between words kept", "=?utf-8?Q?a?= x =?utf-8?Q?b?=", "a x b"},
        {"blank before a word kept", "x =?utf-8?Q?a?=", "x a"},
        {"mixed charsets", "=?KOI8-R?B?8NLJ18XU?= =?Shift_JIS?B?k/qWe4zq?= & =?gb2312?Q?=C4=E3?=",
         "Привет日本語 & 你"},
        {"unknown charset", "=?x-foo?Q?Gr=FC?=", "Grü"},
        {"bytes invalid in the charset", "=?utf-8?Q?caf=E9?=", "café"},
        {"us-ascii word with 8-bit bytes", "=?us-ascii?Q?caf=E9?=", "café"},
        {"broken shift_jis word", "=?shift_jis?Q?=93=FA=FF?=", "“úÿ"},
        {"raw UTF-8 header", kGruesseUtf8, "Grüße"},
        {"raw Windows-1252 header", kGruesseLatin1, "Grüße"},
        {"encoded line break becomes blanks", "=?utf-8?Q?a=0D=0Ab?=", "a  b"},
        {"tab and NUL become blanks", "=?utf-8?B?YQli?= =?utf-8?Q?=00c?=", "a b c"},
        {"empty", "", ""},
    };
    for (const HeaderCase& c : cases) {
        EXPECT_EQ(TextCodec::headerUtf8(c.header), c.text) << c.name;
        EXPECT_EQ(TextCodec::headerText(c.header), QString::fromUtf8(c.text)) << c.name;
    }
}

TEST(TextCodecHeader, MalformedWordsStayAsWritten) {
    for (const char* header : {"=?UTF-8?X?abc?=", "=?UTF-8?B?###?=", "=?utf-8?q?no end", "=??Q?a?=",
                               "=?utf-8?Q?a b?=", "=?", "?= =? ?=", "==?=?", "=?utf-8?B?YWJjZ?="}) {
        EXPECT_EQ(TextCodec::headerUtf8(header), header) << header;
    }
}

TEST(TextCodecHeader, TenThousandWords) {
    std::string same;
    std::string mixed;
    std::string expectedMixed;
    for (int i = 0; i < 10000; ++i) {
        same += "=?UTF-8?B?w7w=?= ";
        switch (i % 3) {
        case 0:
            mixed += "=?utf-8?Q?=C3=BC?= ";
            expectedMixed += "ü";
            break;
        case 1:
            mixed += "=?iso-8859-1?Q?=E9?=\r\n ";
            expectedMixed += "é";
            break;
        default:
            mixed += "=?koi8-r?B?8A==?= ";
            expectedMixed += "П";
            break;
        }
    }
    const QString sameText = TextCodec::headerText(same);
    EXPECT_EQ(sameText.size(), 10000 + 1); // the words joined, the last blank kept
    EXPECT_EQ(sameText.count(QChar(0xFC)), 10000);
    EXPECT_EQ(TextCodec::headerUtf8(mixed), expectedMixed + " ");

    std::string starts(200000, '=');
    for (std::size_t i = 1; i < starts.size(); i += 2) {
        starts[i] = '?';
    }
    EXPECT_EQ(TextCodec::headerUtf8(starts), starts);
}

// --- HTML ---------------------------------------------------------------------------------

TEST(TextCodecHtml, MetaCharset) {
    const struct {
        std::string html;
        const char* charset;
    } cases[] = {
        {"<html><head><meta charset=\"utf-8\"></head>", "utf-8"},
        {"<META CHARSET=KOI8-R>", "koi8-r"},
        {"<meta charset='Shift_JIS'/>", "shift_jis"},
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-2\">",
         "iso-8859-2"},
        {"<meta\ncontent=\"text/html;charset = windows-1251\" http-equiv=content-type>",
         "windows-1251"},
        {"<meta name=\"charset-info\" content=\"x\"><meta charset=big5>", "big5"},
        {"<metadata charset=utf-8>", ""},
        {"<p>charset=utf-8</p>", ""},
        {"<html><body>no declaration</body></html>", ""},
        {"<meta charset=", ""},
        {std::string(70000, ' ') + "<meta charset=utf-8>", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextCodec::htmlMetaCharset(c.html), c.charset) << c.html.substr(0, 80);
    }
}

TEST(TextCodecHtml, WhichCharsetApplies) {
    const std::string meta = "<meta charset=\"koi8-r\">";
    const struct {
        const char* name;
        std::string html;
        const char* declared;
        const char* charset;
    } cases[] = {
        {"declared wins over meta", meta, "utf-8", "utf-8"},
        {"declared, any letter case", meta, "ISO-8859-2", "iso-8859-2"},
        {"meta when none declared", meta, "", "koi8-r"},
        {"meta when the declared one is unknown", meta, "x-unknown", "koi8-r"},
        {"neither", "<p>x</p>", "", "windows-1252"},
        {"unknown meta", "<meta charset=x-foo>", "", "windows-1252"},
        {"meta utf-16 means utf-8", "<meta charset=utf-16>", "", "utf-8"},
        {"BOM wins", "\xEF\xBB\xBF" + meta, "iso-8859-1", "utf-8"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextCodec::htmlCharset(c.html, c.declared), c.charset) << c.name;
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
