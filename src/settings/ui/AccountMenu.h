#pragma once

#include <QObject>
#include <array>
#include <string>

class frmPOP;

// The reader window's "ISP Setup" menu: "Edit" opens the setup dialog, and the
// five account items list the stored accounts, check the active one and
// switch to another.
class AccountMenu : public QObject {
    Q_OBJECT
public:
    explicit AccountMenu(frmPOP& window);

    // Fills the account items from the store's account list.
    void BuildAccountMenu();
    // Makes the account of item index (0 to 4) the active one.
    void mnSelectISP_Click(int index);
    // Opens the setup dialog modally and rebuilds the menu when it closes.
    void mnSetup_Click();

    // The account name item index stands for (bytes, as the store keeps it).
    const std::string& itemAccount(int index) const;

private:
    void endSession();

    frmPOP& window;
    std::array<std::string, 5> names;
};
