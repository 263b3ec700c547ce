#pragma once

#include <string>
#include <string_view>

namespace settings {

// "V" + major + "." + minor + "." + revision, each without leading zeros, from
// the project's version text "major.minor.revision" (missing or unreadable
// parts count as 0): "0.1.50" -> "V0.1.50".
std::string AppVersion(std::string_view projectVersion);

// Builds that must not run: the start-up gate stops them with VersionGateMessage().
bool VersionGateBlocks(std::string_view appVersion);
// Where the program is distributed.
inline constexpr std::string_view kDownloadSite = "https://corvane.example.org/download";
// "You need to download the latest EXE from <site>" CR LF "and copy the file in the
// Corvane installation directory."
std::string VersionGateMessage();

// The operating system as the platform reports it: family code 1 and 2 name the
// two classic families, 0 an unidentified one; any other code gives "".
struct OsDescriptionResult {
    std::string text;
    bool askUser = false; // family 0: show askText in a message box first
    std::string askText;
};
OsDescriptionResult OsDescription(int familyCode, float version);

} // namespace settings
