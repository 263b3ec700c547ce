#include "settings/AppVersion.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsValues.h"

#include <array>

namespace settings {

std::string AppVersion(std::string_view projectVersion) {
    std::array<unsigned long, 3> parts{};
    std::size_t part = 0;
    for (char c : projectVersion) {
        if (c == '.') {
            if (++part == parts.size()) {
                break;
            }
        } else if (c >= '0' && c <= '9') {
            // Version numbers are small; cap them rather than overflow.
            if (parts[part] < 100000000UL) {
                parts[part] = parts[part] * 10 + static_cast<unsigned long>(c - '0');
            }
        } else {
            break; // "0.1.50-rc1": the suffix is not part of the number
        }
    }
    return "V" + std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." +
           std::to_string(parts[2]);
}

bool VersionGateBlocks(std::string_view appVersion) {
    return appVersion == "V0.0.0" || appVersion == "V0.0.1";
}

std::string VersionGateMessage() {
    return "You need to download the latest EXE from " + std::string(kDownloadSite) +
           "\r\nand copy the file in the " + std::string(keys::kApplication) +
           " installation directory.";
}

OsDescriptionResult OsDescription(int familyCode, float version) {
    const std::string versionText = FormatSingle(version);
    OsDescriptionResult result;
    switch (familyCode) {
    case 1:
        result.text = "Windows 95, ver. " + versionText;
        break;
    case 2:
        result.text = "Windows NT, ver. " + versionText;
        break;
    case 0:
        result.askUser = true;
        result.askText = "OS Version: " + versionText;
        result.text = "Unidentified";
        break;
    default:
        break;
    }
    return result;
}

} // namespace settings
