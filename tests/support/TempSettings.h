#pragma once

#include "platform/SettingsStore.h"

#include <QTemporaryDir>
#include <map>
#include <memory>
#include <string>

// A settings store on a file of its own in a temp folder, installed as the
// program's store for the lifetime of this object.
class TempSettings {
public:
    TempSettings();
    ~TempSettings();

    platform::SettingsStore& store() { return *current; }
    QString filePath() const { return current->filePath(); }
    // A key of section "Settings".
    std::string get(const std::string& key) const { return current->GetSetting("Settings", key); }
    // Values of one section in one write.
    void setSection(const std::string& section, const std::map<std::string, std::string>& values);
    // The file's bytes; writeRaw replaces them (to start from a given file).
    QByteArray readRaw() const;
    void writeRaw(const QByteArray& bytes);
    // A fresh store object on the same file, as after a restart of the program.
    void reopen();

private:
    QTemporaryDir dir;
    std::unique_ptr<platform::SettingsStore> current;
};
