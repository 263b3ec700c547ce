#include "settings/AppVersion.h"
#include "settings/SettingsValues.h"
#include "settings/WindowGeometry.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>

using namespace settings;

TEST(ParseFlag, OnlyTheExactWordsChangeTheDesignedState) {
    const struct {
        const char* stored;
        bool designed, expected;
    } cases[] = {
        {"True", false, true},  {"False", true, false},  {"true", false, false},
        {"TRUE", false, false}, {"false", true, true},   {"", true, true},
        {"", false, false},     {" True", false, false}, {"1", false, false},
    };
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
        {"2527.5", "4000", "7000.25", "9000", kMainWindowLimits, {2527.5, 4000, 7000.25, 9000}},
        {"-5000", "abc", "1e3", "12x", kMainWindowLimits, {100, 200, 6000, 3000}},
        {"1e999", "-1e999", "1e999", "nan", kMainWindowLimits, {100, 200, 6000, 3000}},
        {"  3000", "\t2500", "8000twips", "4000", kMainWindowLimits, {3000, 2500, 8000, 4000}},
        {"", "", "4499", "5499", kBufferWindowLimits, {100, 200, 4500, 5500}},
        {"2100", "2200", "4500", "5500", kBufferWindowLimits, {2100, 2200, 4500, 5500}},
    };
    for (const auto& c : cases) {
        const WindowGeometry g = GeometryFromText(c.top, c.left, c.height, c.width, c.limits);
        EXPECT_EQ(g.Top, c.expected.Top) << c.top;
        EXPECT_EQ(g.Left, c.expected.Left) << c.left;
        EXPECT_EQ(g.Height, c.expected.Height) << c.height;
        EXPECT_EQ(g.Width, c.expected.Width) << c.width;
    }
    EXPECT_EQ(CoordinateFromText("-30"), -30) << "the setup dialog's position has no minimum";
}

TEST(StoredNumbers, FontSizeSlotCountAndSingles) {
    const std::pair<const char*, double> fonts[] = {{"", 8},        {"6", 8},     {"6.5", 6.5},
                                                    {"23.9", 23.9}, {"24", 8},    {"abc", 8},
                                                    {"-10", 8},     {"12pt", 12}, {"1e999", 8}};
    for (const auto& [stored, size] : fonts) {
        EXPECT_EQ(FontSizeFromText(stored), size) << stored;
    }
    const std::pair<const char*, int> counts[] = {{"", 0},   {"3", 3}, {"2.5", 2},      {"3.5", 4},
                                                  {"-4", 0}, {"x", 0}, {"99999", 32767}};
    for (const auto& [stored, n] : counts) {
        EXPECT_EQ(SlotCount(stored), n) << stored;
    }
    EXPECT_EQ(SlotKey(12), "ISP12");
    const std::pair<double, const char*> singles[] = {
        {1440, "1440"}, {2527.5, "2527.5"}, {9.75, "9.75"},         {-120, "-120"},
        {0.1, "0.1"},   {INFINITY, "0"},    {1e12, "999999995904"}, {NAN, "0"}};
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
        {"Y2Fm6YA=", "café€"}, // Windows-1252, as earlier versions wrote it
    };
    for (const auto& [base64, password] : stored) {
        EXPECT_EQ(DecodeStoredPassword(base64), password) << base64;
    }
    EXPECT_EQ(EncodeStoredPassword("пароль-zażółć"), stored[1].first);
}

TEST(AccountName, TheStoresOwnSectionIsReserved) {
    EXPECT_TRUE(IsReservedAccountName("Settings"));
    EXPECT_FALSE(IsReservedAccountName("settings"));
    EXPECT_FALSE(IsReservedAccountName("My Settings"));
}

TEST(AppVersion, FromTheProjectVersionAndTheStartUpGate) {
    const std::pair<const char*, const char*> versions[] = {{"0.1.50", "V0.1.50"},
                                                            {"00.01.050", "V0.1.50"},
                                                            {"2.10", "V2.10.0"},
                                                            {"1.2.3-rc1", "V1.2.3"},
                                                            {"", "V0.0.0"}};
    for (const auto& [project, shown] : versions) {
        EXPECT_EQ(AppVersion(project), shown);
    }
    const std::pair<const char*, bool> gate[] = {
        {"0.0.0", true}, {"0.0.1", true}, {"0.0.2", false}, {"0.1.50", false}, {"1.0.1", false}};
    for (const auto& [version, blocks] : gate) {
        EXPECT_EQ(VersionGateBlocks(AppVersion(version)), blocks) << version;
    }
    const std::string text = VersionGateMessage();
    EXPECT_EQ(text.rfind("You need to download the latest EXE from http", 0), 0u);
    EXPECT_NE(text.find("\r\nand copy the file in the Corvane installation directory."),
              std::string::npos);
}

TEST(OsDescription, Families) {
    EXPECT_EQ(OsDescription(1, 4.1f).text, "Windows 95, ver. 4.1");
    EXPECT_EQ(OsDescription(2, 5.0f).text, "Windows NT, ver. 5");
    const OsDescriptionResult unknown = OsDescription(0, 3.5f);
    EXPECT_EQ(unknown.text, "Unidentified");
    EXPECT_EQ(unknown.askText, "OS Version: 3.5");
    EXPECT_TRUE(unknown.askUser);
    EXPECT_EQ(OsDescription(-1, 6.1f).text, "");
    EXPECT_FALSE(OsDescription(-1, 6.1f).askUser);
}
