#include "support/TempSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

TempSettings::TempSettings() {
    static int files = 0; // a new name per store: the settings library caches files by name
    current = std::make_unique<platform::SettingsStore>(
        dir.filePath(QStringLiteral("Corvane/Corvane-%1.ini").arg(++files)));
    platform::installSettingsStore(current.get());
    // The tests' desktop has no keyring; its note was seen.
    current->SaveSetting("Settings", "NoKeyringNoted", "True");
}

void TempSettings::setAccounts(const std::vector<std::string>& list, const std::string& active) {
    std::map<std::string, std::string> slots{{"nbISP", std::to_string(list.size())},
                                             {"ISP", active}};
    for (std::size_t i = 0; i < list.size(); ++i) {
        slots["ISP" + std::to_string(i)] = list[i];
        const std::string pop = list[i] == "NoPop" ? "" : "pop." + list[i];
        setSection(
            list[i],
            {{"POPAddress", pop}, {"EmailUsername", "user of " + list[i]}, {"EmailPass", "b2xk"}});
    }
    setSection("Settings", slots); // last: a list naming "Settings" or "" keeps its slots
}

void TempSettings::writeRaw(const QByteArray& bytes) {
    QFile f(current->filePath());
    QDir().mkpath(QFileInfo(f).absolutePath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

void TempSettings::reopen() {
    current = std::make_unique<platform::SettingsStore>(current->filePath());
    platform::installSettingsStore(current.get());
}
