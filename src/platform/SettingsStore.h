#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// The per-user settings store of application "Corvane": text values addressed
// by section and key, kept in an INI file that only its owner may read (it
// holds the password). Values and names are UTF-8 text, exactly as the user
// typed them; every save reaches the disk in one atomic step. The file itself
// holds text, so files written when the program passed Windows-1252 bytes read
// back as the same text.
//
// A section may be named by any text, "/", "\" and "" included: the names are
// escaped on their way into the file so that each one is its own section.
//
// When the file cannot be written (read-only folder, full disk) the save
// returns false, the file keeps what it held, and the user is told once per
// store. A missing, empty, truncated or garbled file reads as far as it can be
// read; what cannot be read is missing.
class SettingsStore {
public:
    explicit SettingsStore(QString filePath);

    // $XDG_CONFIG_HOME/Corvane/Corvane.ini (or the platform's equivalent).
    static QString defaultFilePath();
    const QString& filePath() const { return path; }

    // "" when the section or the key is missing.
    std::string GetSetting(std::string_view section, std::string_view key) const;
    // Creates the section and the key as needed. False when the file could not be written.
    bool SaveSetting(std::string_view section, std::string_view key, std::string_view value);
    // Several keys of one section in one write.
    bool SaveSettings(std::string_view section,
                      const std::vector<std::pair<std::string_view, std::string>>& values);
    // Removes the section with all its keys. False when there is no such section
    // (nothing changes then) or when the file could not be written.
    bool DeleteSection(std::string_view section);
    bool HasSection(std::string_view section) const;

    // True once a write has failed in this store's lifetime.
    bool writeFailed() const { return failureReported; }

    // The group name a section is kept under in the file: "%" -> "%25",
    // "/" -> "%2F", "\" -> "%5C", and the empty name -> "%" (which no escaped
    // name can be).
    static QString sectionGroup(std::string_view section);

private:
    bool commit(const std::vector<std::pair<QString, QString>>& writes, const QString& removeGroup);
    void reportWriteFailure();

    QString path;
    bool failureReported = false;
};

// The store in use: the user's own unless a test installed another one.
SettingsStore& settingsStore();
// Tests install a store on a temp file; nullptr restores the user's store.
void installSettingsStore(SettingsStore* replacement);

} // namespace platform
