#pragma once

#include "platform/SettingsStore.h"

#include <QString>
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
    QString folder() const { return dir.path(); }
    QString filePath() const { return current->filePath(); }

    // Shorthands for section "Settings".
    std::string get(const std::string& key) const;
    void set(const std::string& key, const std::string& value);
    // Values of one section in one write.
    void setSection(const std::string& section, const std::map<std::string, std::string>& values);

    // Replaces the file's bytes (to start from a damaged file).
    void writeRaw(const QByteArray& bytes);
    QByteArray readRaw() const;

    // A fresh store object on the same file, as after a restart of the program.
    void reopen();

private:
    QTemporaryDir dir;
    std::unique_ptr<platform::SettingsStore> current;
};
