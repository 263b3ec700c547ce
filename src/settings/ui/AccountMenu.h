#pragma once

#include "settings/AccountRecord.h"

#include <QObject>
#include <array>
#include <functional>
#include <string>

class QAction;
class QMenu;
class QWidget;

// The reader window's "ISP Setup" menu: "Edit" opens the setup dialog, and the
// five account items list the stored accounts, check the active one and
// switch to another.
class AccountMenu : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QWidget* window = nullptr; // parent of the setup dialog; its title names the account
        QMenu* mnISP = nullptr;
        QAction* mnSetup = nullptr;
        std::array<QAction*, 5> mnSelectISP{};
    };

    AccountMenu(const Controls& controls, AccountRecord& account, std::function<bool()> isConnected,
                std::function<void()> disconnect);

    // Fills the account items from the store's account list.
    void BuildAccountMenu();
    // Makes the account of item index (0 to 4) the active one.
    void mnSelectISP_Click(int index);
    // Opens the setup dialog modally and rebuilds the menu when it closes.
    void mnSetup_Click();

    // The account name item index stands for (UTF-8, as the store keeps it).
    const std::string& itemAccount(int index) const;

private:
    void endSession();

    Controls controls;
    AccountRecord& account;
    std::function<bool()> isConnected;
    std::function<void()> disconnect;
    std::array<std::string, 5> names;
};
