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
        bool designed;
        bool expected;
    } cases[] = {
        {"True", false, true},  {"False", true, false},  {"true", false, false},
        {"TRUE", false, false}, {"false", true, true},   {"", true, true},
        {"", false, false},     {" True", false, false}, {"True ", false, false},
        {"1", false, false},    {"0", true, true},       {"Yes", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseFlag(c.stored, c.designed), c.expected)
            << "stored \"" << c.stored << "\" designed " << c.designed;
    }
    EXPECT_EQ(FlagText(true), "True");
    EXPECT_EQ(FlagText(false), "False");
}

TEST(GeometryFromText, MainWindowThresholds) {
    const struct {
        const char *top, *left, *height, *width;
        WindowGeometry expected;
    } cases[] = {
        // Top, Left, Height, Width
        {"", "", "", "", {100, 200, 6000, 3000}},
        {"1999", "1999", "5999.5", "2999.9", {100, 200, 6000, 3000}},
        {"2000", "2000", "6000", "3000", {2000, 2000, 6000, 3000}},
        {"2527.5", "4000", "7000.25", "9000", {2527.5, 4000, 7000.25, 9000}},
        {"-5000", "abc", "1e3", "12x", {100, 200, 6000, 3000}},
        {"1e999", "-1e999", "1e999", "nan", {100, 200, 6000, 3000}}, // non-finite counts as 0
        {"  3000", "\t2500", "8000twips", "4000", {3000, 2500, 8000, 4000}},
    };
    for (const auto& c : cases) {
        const WindowGeometry g =
            GeometryFromText(c.top, c.left, c.height, c.width, kMainWindowLimits);
        EXPECT_EQ(g.Top, c.expected.Top) << c.top;
        EXPECT_EQ(g.Left, c.expected.Left) << c.left;
        EXPECT_EQ(g.Height, c.expected.Height) << c.height;
        EXPECT_EQ(g.Width, c.expected.Width) << c.width;
    }
}

TEST(GeometryFromText, BufferWindowMinimums) {
    WindowGeometry g = GeometryFromText("", "", "4499", "5499", kBufferWindowLimits);
    EXPECT_EQ(g.Height, 4500);
    EXPECT_EQ(g.Width, 5500);
    g = GeometryFromText("2100", "2200", "4500", "5500", kBufferWindowLimits);
    EXPECT_EQ(g.Top, 2100);
    EXPECT_EQ(g.Left, 2200);
    EXPECT_EQ(g.Height, 4500);
    EXPECT_EQ(g.Width, 5500);
}

TEST(CoordinateFromText, NoMinimum) {
    EXPECT_EQ(CoordinateFromText(""), 0);
    EXPECT_EQ(CoordinateFromText("15"), 15);
    EXPECT_EQ(CoordinateFromText("-30"), -30);
    EXPECT_EQ(CoordinateFromText("1e999"), 0);
}

TEST(FontSizeFromText, OnlyBetweenSixAndTwentyFourExclusive) {
    const struct {
        const char* stored;
        double expected;
    } cases[] = {
        {"", 8},   {"6", 8},   {"6.5", 6.5}, {"9.75", 9.75}, {"23.9", 23.9},
        {"24", 8}, {"abc", 8}, {"-10", 8},   {"12pt", 12},   {"1e999", 8},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FontSizeFromText(c.stored), c.expected) << c.stored;
    }
}

TEST(FormatSingle, ShortestTextOfTheSinglePrecisionValue) {
    const struct {
        double value;
        const char* expected;
    } cases[] = {
        {1440, "1440"},  {2527.5, "2527.5"}, {9.75, "9.75"},         {8, "8"}, {0, "0"},
        {-120, "-120"},  {0.1, "0.1"},       {1e12, "999999995904"}, // float's nearest
        {INFINITY, "0"}, {NAN, "0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatSingle(c.value), c.expected) << c.value;
    }
}

TEST(AccountList, SlotKeysAndCount) {
    EXPECT_EQ(SlotKey(0), "ISP0");
    EXPECT_EQ(SlotKey(12), "ISP12");
    const struct {
        const char* stored;
        int expected;
    } cases[] = {{"", 0}, {"3", 3}, {"2.5", 2}, {"3.5", 4}, {"-4", 0}, {"x", 0}, {"99999", 32767}};
    for (const auto& c : cases) {
        EXPECT_EQ(SlotCount(c.stored), c.expected) << c.stored;
    }
    EXPECT_TRUE(IsReservedAccountName("Settings"));
    EXPECT_FALSE(IsReservedAccountName("settings"));
    EXPECT_FALSE(IsReservedAccountName("My Settings"));
}

TEST(StoredPassword, RoundTripAndBlanks) {
    const std::string passwords[] = {"", "secret", "p@ss word", std::string("\xe9\xff\x01", 3)};
    for (const std::string& p : passwords) {
        EXPECT_EQ(DecodeStoredPassword(EncodeStoredPassword(p)), p);
    }
    EXPECT_EQ(EncodeStoredPassword("secret"), "c2VjcmV0");
    EXPECT_EQ(DecodeStoredPassword("  c2VjcmV0  "), "secret");
    EXPECT_EQ(DecodeStoredPassword(""), "");
}

TEST(AppVersion, FromTheProjectVersion) {
    EXPECT_EQ(AppVersion("0.1.50"), "V0.1.50");
    EXPECT_EQ(AppVersion("00.01.050"), "V0.1.50");
    EXPECT_EQ(AppVersion("2.10"), "V2.10.0");
    EXPECT_EQ(AppVersion("1.2.3-rc1"), "V1.2.3");
    EXPECT_EQ(AppVersion(""), "V0.0.0");
}

TEST(AppVersion, StartUpGate) {
    EXPECT_TRUE(VersionGateBlocks(AppVersion("0.0.0")));
    EXPECT_TRUE(VersionGateBlocks(AppVersion("0.0.1")));
    EXPECT_FALSE(VersionGateBlocks(AppVersion("0.0.2")));
    EXPECT_FALSE(VersionGateBlocks(AppVersion("0.1.50")));
    EXPECT_FALSE(VersionGateBlocks(AppVersion("1.0.1")));
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
    EXPECT_TRUE(unknown.askUser);
    EXPECT_EQ(unknown.askText, "OS Version: 3.5");
    const OsDescriptionResult none = OsDescription(-1, 6.1f);
    EXPECT_EQ(none.text, "");
    EXPECT_FALSE(none.askUser);
}
