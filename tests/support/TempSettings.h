#pragma once

#include "platform/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A settings store on a file of its own in a temp folder, installed as the
// program's store for the lifetime of this object.
class TempSettings {
public:
    TempSettings();
    ~TempSettings() { platform::installSettingsStore(nullptr); }

    platform::SettingsStore& store() { return *current; }
    std::string get(const std::string& key) const { return current->GetSetting("Settings", key); }
    void setSection(const std::string& section, const std::map<std::string, std::string>& values) {
        EXPECT_TRUE(current->SaveSettings(section, {values.begin(), values.end()}));
    }
    // The account list (slots in order, "" an empty one), the active account, and for each
    // name POP server "pop." + name ("" for "NoPop"), user "user of " + name, password "old".
    void setAccounts(const std::vector<std::string>& list, const std::string& active);
    QByteArray readRaw() const {
        QFile f(current->filePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeRaw(const QByteArray& bytes);
    // A fresh store object on the same file, as after a restart of the program.
    void reopen();

private:
    QTemporaryDir dir;
    std::unique_ptr<platform::SettingsStore> current;
};
