#include "settings/AppVersion.h"
#include "settings/Numbers.h"
#include "settings/ServerAddress.h"
#include "settings/SettingsValues.h"
#include "settings/WindowGeometry.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

using namespace settings;

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(LeadingNumber, Texts) {
    const std::pair<std::string, double> cases[] = {
        {"", 0},         {"abc", 0},     {"-", 0},           {".", 0},       {"+.e5", 0},
        {"3", 3},        {"1440", 1440}, {"2527.5", 2527.5}, {"9.75", 9.75}, {"-120", -120},
        {"+7", 7},       {".5", 0.5},    {"5.", 5},          {"007", 7},     {"  12", 12},
        {"\t12", 12},    {"12abc", 12},  {"12 34", 12},      {"1.5.5", 1.5}, {"1E+07", 1e7},
        {"2.5e-1", .25}, {"2e", 2},      {"2e+", 2},         {"2ex", 2},     {"1,5", 1},
        {"True", 0},     {"0x10", 0},    {"nan", 0},         {"inf", 0},     {"1e-400", 0}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(LeadingNumber(text), value) << text;
    }
    EXPECT_EQ(LeadingNumber("1e400"), -LeadingNumber("-" + std::string(400, '9')));
    EXPECT_EQ(LeadingNumber("1e400"), kInf);
}

TEST(ToInt16, RoundsHalvesToEvenAndClamps) {
    const std::pair<double, int> cases[] = {
        {0, 0},           {0.4, 0},       {0.5, 0},           {0.6, 1},         {1.5, 2},
        {2.5, 2},         {3.5, 4},       {-0.5, 0},          {-1.5, -2},       {-2.5, -2},
        {-2.6, -3},       {5999.5, 6000}, {2527.5, 2528},     {70.62, 71},      {32766.5, 32766},
        {32767.5, 32767}, {32768, 32767}, {-32768.5, -32768}, {-1e300, -32768}, {kInf, 32767},
        {-kInf, -32768}};
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(ToInt16(value), expected) << value;
    }
    EXPECT_EQ(ToInt16(std::nan("")) + ToInt16(0.49999999999999994), 0);
}

TEST(ServerAddress, FormsTheFieldsAccept) {
    const std::pair<const char*, const char*> cases[] = {
        {"pop.x", "pop.x 110"},     {"pop.x:995", "pop.x 995"},   {"  m.x:2525  ", "m.x 2525"},
        {"[::1]:2110", "::1 2110"}, {"1.2.3.4:10", "1.2.3.4 10"}, {"[::1]", "::1 110"},
        {"::1", "::1 110"},         {"h:65535", "h 65535"},       {"h:00110", "h 110"},
        {"почта.x", "почта.x 110"}};
    for (const auto& [text, address] : cases) {
        const auto a = parseServerAddress(text, 110);
        EXPECT_EQ(a.host + " " + std::to_string(a.port) + (a.valid ? "" : "?"), address) << text;
    }
    EXPECT_EQ(parseServerAddress("smtp.example.com", 25).port, 25);
    for (const char* refused :
         {"", "   ", "host:", "host:0", "host:65536", "host:99999999", "host:11a", ":110", "[::1",
          "[::1]x", "[::1]:", "[]:110", "[hostname]:110", "two words", "host/path", "user@host"}) {
        EXPECT_FALSE(parseServerAddress(refused, 110).valid) << '"' << refused << '"';
    }
}

TEST(ParseFlag, OnlyTheExactWordsChangeTheDesignedState) {
    const struct {
        const char* stored;
        bool designed, expected;
    } cases[] = {{"True", false, true},  {"False", true, false},  {"true", false, false},
                 {"TRUE", false, false}, {"false", true, true},   {"", true, true},
                 {"", false, false},     {" True", false, false}, {"1", false, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(ParseFlag(c.stored, c.designed), c.expected) << c.stored << c.designed;
        EXPECT_EQ(ParseFlag(FlagText(c.expected), !c.expected), c.expected);
    }
}

TEST(GeometryFromText, ThresholdsAndMinimums) {
    const struct {
        const char *top, *left, *height, *width;
        GeometryLimits limits;
        WindowGeometry expected;
    } cases[] = {
        {"", "", "", "", kMainWindowLimits, {100, 200, 6000, 3000}},
        {"1999", "1999", "5999.5", "2999.9", kMainWindowLimits, {100, 200, 6000, 3000}},
        {"2000", "2000", "6000", "3000", kMainWindowLimits, {2000, 2000, 6000, 3000}},
        {"2527.5", "4e3", "7000.25", "9000", kMainWindowLimits, {2527.5, 4000, 7000.25, 9000}},
        {"-5000", "abc", "1e999", "nan", kMainWindowLimits, {100, 200, 6000, 3000}},
        {"", "", "4499", "5499", kBufferWindowLimits, {100, 200, 4500, 5500}},
        {"2100", "2200", "4500", "5500", kBufferWindowLimits, {2100, 2200, 4500, 5500}}};
    for (const auto& c : cases) {
        const WindowGeometry g = GeometryFromText(c.top, c.left, c.height, c.width, c.limits);
        const WindowGeometry& e = c.expected;
        EXPECT_TRUE(g.Top == e.Top && g.Left == e.Left && g.Height == e.Height &&
                    g.Width == e.Width)
            << c.top << " " << c.left << " " << c.height << " " << c.width;
    }
}

TEST(StoredNumbers, FontSizeSlotCountAndSingles) {
    const std::pair<const char*, double> fonts[] = {{"", 8},        {"6", 8},    {"6.5", 6.5},
                                                    {"23.9", 23.9}, {"24", 8},   {"abc", 8},
                                                    {"12pt", 12},   {"1e999", 8}};
    for (const auto& [stored, size] : fonts) {
        EXPECT_EQ(FontSizeFromText(stored), size) << stored;
    }
    const std::pair<const char*, int> counts[] = {{"", 0},    {"3", 3},  {"2.5", 2},
                                                  {"3.5", 4}, {"-4", 0}, {"99999", 32767}};
    for (const auto& [stored, n] : counts) {
        EXPECT_EQ(SlotCount(stored), n) << stored;
    }
    const std::pair<double, const char*> singles[] = {
        {1440, "1440"}, {2527.5, "2527.5"}, {9.75, "9.75"}, {-120, "-120"},
        {0.1, "0.1"},   {INFINITY, "0"},    {NAN, "0"},     {1e12, "999999995904"}};
    for (const auto& [value, text] : singles) {
        EXPECT_EQ(FormatSingle(value), text) << value;
    }
}

TEST(StoredPassword, RoundTripsAsTypedAndReadsOldFiles) {
    for (const std::string p : {"", "secret", "p@ss word", "пароль-zażółć", "日本\x01"}) {
        EXPECT_EQ(DecodeStoredPassword("  " + EncodeStoredPassword(p) + " "), p);
    }
    const std::pair<const char*, const char*> stored[] = {
        {"c2VjcmV0", "secret"},
        {"0L/QsNGA0L7Qu9GMLXphxbzDs8WCxIc=", "пароль-zażółć"}, // UTF-8, as written now
        {"Y2Fm6YA=", "café€"}}; // Windows-1252, as earlier versions wrote it
    for (const auto& [base64, password] : stored) {
        EXPECT_EQ(DecodeStoredPassword(base64), password) << base64;
    }
    EXPECT_EQ(EncodeStoredPassword("пароль-zażółć"), stored[1].first);
}

TEST(AppVersion, FromTheProjectVersionAndTheStartUpGate) {
    EXPECT_EQ(AppVersion("00.01.050-rc1") + AppVersion("2.10") + AppVersion(""),
              "V0.1.50V2.10.0V0.0.0");
    const std::pair<const char*, bool> gate[] = {
        {"0.0.0", true}, {"0.0.1", true}, {"0.0.2", false}, {"0.1.50", false}, {"1.0.1", false}};
    for (const auto& [version, blocks] : gate) {
        EXPECT_EQ(VersionGateBlocks(AppVersion(version)), blocks) << version;
    }
    EXPECT_EQ(VersionGateMessage(),
              "You need to download the latest EXE from " + std::string(kDownloadSite) +
                  "\r\nand copy the file in the Corvane installation directory.");
}
