#pragma once

#include "settings/WindowGeometry.h"

#include <QString>
#include <functional>
#include <memory>
#include <string>

class frmPOP;
class AccountMenu;

// The reader window's start-up sequence and what it stores when it closes:
// the version gate, the window's geometry, the account menu and the active
// account, the option switches, the font size.
class ReaderSettings {
public:
    explicit ReaderSettings(frmPOP& window);
    ~ReaderSettings();

    // Runs while the window loads, before it is first shown.
    void StartUp();
    // Runs when the window unloads, after the POP3 connection has been closed.
    void SaveSettings();

    // "V" + major.minor.revision of this build: "V0.1.50".
    static QString AppVersion();
    // Tests replace the program's version to try the start-up gate; "" restores it.
    static void overrideProgramVersion(const std::string& version);

    // The operating system's description; "" here, as this platform belongs to
    // none of the families the program names.
    QString OsDescription();

    // True when the start-up gate stopped this build: nothing was read, and
    // nothing is written at exit.
    bool stopped() const { return versionStopped; }

    AccountMenu& accountMenu() { return *accounts; }

    // Where the debug window is when the settings are saved: the open window's
    // own position, or, when it is not open, the position it would open at.
    settings::WindowGeometry debugWindowGeometry() const;

private:
    void runStep(const std::function<void()>& step);
    void applyGeometry();
    void loadAccountRecord();
    void applyOptions();
    void applyFontSize();
    void resetSessionCounters();

    frmPOP& window;
    std::unique_ptr<AccountMenu> accounts;
    bool versionStopped = false;
};
