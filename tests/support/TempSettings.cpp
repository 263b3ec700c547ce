#include "support/TempSettings.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

TempSettings::TempSettings() {
    static int files = 0; // a new name per store: the settings library caches files by name
    current = std::make_unique<platform::SettingsStore>(
        dir.filePath(QStringLiteral("Corvane/Corvane-%1.ini").arg(++files)));
    platform::installSettingsStore(current.get());
}

TempSettings::~TempSettings() {
    platform::installSettingsStore(nullptr);
}

void TempSettings::setSection(const std::string& section,
                              const std::map<std::string, std::string>& values) {
    std::vector<std::pair<std::string_view, std::string>> list(values.begin(), values.end());
    EXPECT_TRUE(current->SaveSettings(section, list));
}

QByteArray TempSettings::readRaw() const {
    QFile f(current->filePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TempSettings::writeRaw(const QByteArray& bytes) {
    QDir().mkpath(dir.filePath(QStringLiteral("Corvane")));
    QFile f(current->filePath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

void TempSettings::reopen() {
    current = std::make_unique<platform::SettingsStore>(current->filePath());
    platform::installSettingsStore(current.get());
}
