#include "support/TempSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {
int fileCounter = 0;
}

TempSettings::TempSettings() {
    EXPECT_TRUE(dir.isValid());
    // A new file name for every store: the settings library caches files by name.
    current = std::make_unique<platform::SettingsStore>(
        dir.filePath(QStringLiteral("Corvane/Corvane-%1.ini").arg(++fileCounter)));
    platform::installSettingsStore(current.get());
}

TempSettings::~TempSettings() {
    platform::installSettingsStore(nullptr);
}

std::string TempSettings::get(const std::string& key) const {
    return current->GetSetting("Settings", key);
}

void TempSettings::set(const std::string& key, const std::string& value) {
    EXPECT_TRUE(current->SaveSetting("Settings", key, value));
}

void TempSettings::setSection(const std::string& section,
                              const std::map<std::string, std::string>& values) {
    std::vector<std::pair<std::string_view, std::string>> list;
    for (const auto& [key, value] : values) {
        list.emplace_back(key, value);
    }
    EXPECT_TRUE(current->SaveSettings(section, list));
}

void TempSettings::writeRaw(const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(current->filePath()).absolutePath());
    QFile f(current->filePath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray TempSettings::readRaw() const {
    QFile f(current->filePath());
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return f.readAll();
}

void TempSettings::reopen() {
    const QString path = current->filePath();
    current = std::make_unique<platform::SettingsStore>(path);
    platform::installSettingsStore(current.get());
}
