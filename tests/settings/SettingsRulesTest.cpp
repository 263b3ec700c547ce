#include "settings/AppVersion.h"
#include "settings/Numbers.h"
#include "settings/PopAuth.h"
#include "settings/Security.h"
#include "settings/ServerAddress.h"
#include "settings/SettingsValues.h"
#include "settings/WindowGeometry.h"

#include "decoding/TestData.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace settings;

namespace {

std::vector<std::vector<std::string>> rows(const char* name) {
    return testdata::Table(std::string("settings/") + name + ".table");
}

TEST(StoredNumbers, LeadingNumberAndInt16) {
    for (const auto& r : rows("leading-number")) {
        EXPECT_EQ(LeadingNumber(r[0]), std::stod(r[1])) << r[0];
    }
    for (const auto& r : rows("to-int16")) {
        EXPECT_EQ(ToInt16(std::stod(r[0])), std::stoi(r[1])) << r[0];
    }
}

TEST(ServerAddress, FormsTheFieldsAccept) {
    for (const auto& r : rows("server-address")) {
        const auto a = parseServerAddress(r[0], std::stoi(r[1]));
        EXPECT_EQ(a.valid ? a.host + " " + std::to_string(a.port) : "refused", r[2]) << r[0];
    }
}

TEST(Security, StoredValueOrThePortDecides) {
    for (const auto& r : rows("security")) {
        const bool pop = r[2] == "pop";
        const auto read = pop ? PopSecurity(r[0], r[1]) : SmtpSecurity(r[0], r[1]);
        const auto port = parseServerAddress(r[1], pop ? kDefaultPopPort : kDefaultSmtpPort).port;
        EXPECT_EQ(SecurityText(read), r[3]) << r[0] << " " << r[1];
        EXPECT_EQ(SecurityText(DefaultSecurity(port, pop ? kPopTlsPort : kSmtpTlsPort)), r[4])
            << r[1];
        EXPECT_EQ(SecurityFitsPort(read, port, pop) ? "fits" : "misfit", r[5]) << r[0] << r[1];
    }
}

TEST(PopAuth, OnlyTheStoredWordsLeaveUserAndPass) {
    for (const auto& r : rows("pop-auth")) {
        EXPECT_EQ(PopAuthText(PopAuthFromText(r[0])), r[1]) << r[0];
    }
}

TEST(ParseFlag, OnlyTheExactWordsChangeTheDesignedState) {
    for (const auto& r : rows("flags")) {
        EXPECT_EQ(ParseFlag(r[0], r[1] == "1"), r[2] == "1") << r[0] << r[1];
        EXPECT_EQ(ParseFlag(FlagText(r[2] == "1"), r[2] != "1"), r[2] == "1");
    }
}

TEST(GeometryFromText, ThresholdsAndMinimums) {
    for (const auto& r : rows("geometry")) {
        const WindowGeometry g = GeometryFromText(
            r[0], r[1], r[2], r[3], r[4] == "main" ? kMainWindowLimits : kBufferWindowLimits);
        std::ostringstream read;
        read << g.Top << ' ' << g.Left << ' ' << g.Height << ' ' << g.Width;
        EXPECT_EQ(read.str(), r[5]) << r[0] << " " << r[1] << " " << r[2] << " " << r[3];
    }
}

TEST(StoredNumbers, FontSizeSlotCountAndSingles) {
    for (const auto& r : rows("stored-numbers")) {
        if (r[0] == "font") {
            EXPECT_EQ(FontSizeFromText(r[1]), std::stod(r[2])) << r[1];
        } else if (r[0] == "slots") {
            EXPECT_EQ(SlotCount(r[1]), std::stoi(r[2])) << r[1];
        } else {
            EXPECT_EQ(FormatSingle(std::stod(r[1])), r[2]) << r[1];
        }
    }
}

TEST(StoredPassword, RoundTripsAsTypedAndReadsOldFiles) {
    for (const std::string p : {"", "secret", "p@ss word", "пароль-zażółć", "日本\x01"}) {
        EXPECT_EQ(DecodeStoredPassword("  " + EncodeStoredPassword(p) + " "), p);
    }
    // UTF-8, as written now, and Windows-1252, as earlier versions wrote it.
    EXPECT_EQ(DecodeStoredPassword("c2VjcmV0") + DecodeStoredPassword("Y2Fm6YA="), "secretcafé€");
    EXPECT_EQ(EncodeStoredPassword("пароль-zażółć"), "0L/QsNGA0L7Qu9GMLXphxbzDs8WCxIc=");
}

TEST(AppVersion, FromTheProjectVersionAndTheStartUpGate) {
    EXPECT_EQ(AppVersion("00.01.050-rc1") + AppVersion("2.10") + AppVersion(""),
              "V0.1.50V2.10.0V0.0.0");
    for (const auto& r : rows("version-gate")) {
        EXPECT_EQ(VersionGateBlocks(AppVersion(r[0])), r[1] == "1") << r[0];
    }
    EXPECT_EQ(VersionGateMessage(),
              "You need to download the latest EXE from " + std::string(kDownloadSite) +
                  "\r\nand copy the file in the Corvane installation directory.");
}

} // namespace
