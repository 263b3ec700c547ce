#pragma once

#include "settings/AccountRecord.h"
#include "settings/WindowGeometry.h"
#include "settings/ui/AccountMenu.h"

#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QMainWindow;
class QMenu;
class QWidget;

// The reader window's start-up sequence and what it stores when it closes:
// the version gate, the window's geometry, the account menu and the active
// account, the option switches, the font size.
class ReaderSettings {
public:
    // The reader window's controls that the settings set and read.
    struct Controls {
        QMainWindow* window = nullptr;
        QWidget* txtMsg = nullptr;     // font size, fixed-width font
        QWidget* lstHeaders = nullptr; // font size
        QLabel* lblStatus = nullptr;
        QLabel* lblMsg = nullptr;
        QLabel* lblAttachments = nullptr;
        QAction* mnConfirmDelete = nullptr;
        QAction* mnKeepAlive = nullptr;
        QAction* mnShowHTML = nullptr;
        QAction* mnNoPictures = nullptr;
        QAction* mnClearEmailInIMGTag = nullptr;
        QAction* mnFilterSpam = nullptr;
        QAction* mnFixedWidth = nullptr;
        AccountMenu::Controls accountMenu;
    };
    // What the start-up and the exit need from the other parts of the window.
    struct Callbacks {
        std::function<bool()> isConnected;
        std::function<void()> disconnect; // the connect command itself, never a click
        // Where the debug window is, or where it would open when it is not open.
        std::function<settings::WindowGeometry()> debugGeometry;
        // Start-up resets, each run at its place in the sequence.
        std::function<void()> clearMessage; // browser hidden; From, Subject, text, rows empty
    };

    ReaderSettings(const Controls& controls, AccountRecord& account, Callbacks callbacks);
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

private:
    void runStep(const std::function<void()>& step);
    void applyGeometry();
    void loadAccountRecord();
    void applyOptions();
    void applyFontSize();

    Controls controls;
    AccountRecord& account;
    Callbacks callbacks;
    std::unique_ptr<AccountMenu> accounts;
    bool versionStopped = false;
};
