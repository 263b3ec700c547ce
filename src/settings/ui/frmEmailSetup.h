#pragma once

#include "settings/AccountRecord.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

// The account setup dialog: edits the stored account list and one account's
// values, and makes an account the active one. It writes the reader window's
// account record and the settings store itself; every text is kept as typed. Shown modally; every
// showing is a new dialog that loads from the store.
class frmEmailSetup : public QDialog {
    Q_OBJECT
public:
    frmEmailSetup(AccountRecord& account, QWidget* parent);
    ~frmEmailSetup() override;

    // --- Controls ----------------------------------------------------------------
    QLabel* lblFirstAccount = nullptr; // shown while no account is stored
    QComboBox* cmbISP = nullptr;
    QLineEdit* txtPOP = nullptr;
    QLineEdit* txtSMTP = nullptr;
    // "TLS", "STARTTLS", "None" for each server, in the order of settings::Security.
    QComboBox* cmbPOPSecurity = nullptr;
    QComboBox* cmbSMTPSecurity = nullptr;
    QLabel* lblSecurityWarning = nullptr; // shown while a server's choice is "None"
    QLabel* lblPortHint = nullptr;        // shown while a choice cannot work on the port typed
    QLineEdit* txtUsername = nullptr;
    QLineEdit* txtDomain = nullptr;
    QLineEdit* txtPass = nullptr;
    QCheckBox* chkSavePassword = nullptr;
    QCheckBox* chkRemovePassword = nullptr;
    // How the POP3 login is made: "Password", "SASL", "OAuth2", in the order of settings::PopAuth.
    QComboBox* cmbPOPAuth = nullptr;
    QLineEdit* txtFromName = nullptr;
    QLineEdit* txtFromDomain = nullptr;
    QComboBox* cmbAuth = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdReset = nullptr;
    QTimer* Timer1 = nullptr; // 3 ms after the account name changes: take it up

    // --- State ------------------------------------------------------------------
    QString CurrentIsp; // the account the dialog treats as active
    int IspCount = 0;   // mirror of "nbISP"

    // --- Operations -----------------------------------------------------------------
    void Form_Load();
    void LoadAccount(const QString& name);
    int FindIspIndex();
    void WriteIspList();
    void CopyFieldsToAccount();
    void ClearFields();
    void SaveSettings();

    // --- Commands and events ---------------------------------------------------------
    void cmdOK_Click();
    void cmdAdd_Click();
    void cmdDelete_Click();
    void cmdCancel_Click();
    void cmdReset_Click();
    // The account name lost the focus: a new name enters the stored list, and a
    // name other than the current one becomes the active account.
    void cmbISP_LostFocus();
    // The name changed and typing paused: switch to it, as on focus loss, but
    // without entering it into the stored list (that waits for the focus to
    // leave, so the list does not collect every prefix of a name being typed).
    void Timer1_Timer();

protected:
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Built in frmEmailSetupControls.cpp.
    void createControls();
    void setTabChain(bool passwordFirst);
    void restartTimer();
    void takeUpName(bool enterNewName);
    // Writes the account name back without blanks around it (an edit, when it changes).
    void trimAccountName();
    // The entry whose text the combo box shows, or -1 when the text is typed.
    int selectedIndex() const;
    // Index of the entry equal to the shown text, skipping the entry just before
    // the selected one, or -1.
    int findShownEntry() const;
    void closingRoutine(int result);
    // Adds an account name to the list; long names are cut there, whole in the tooltip.
    void addAccountEntry(const QString& name);
    void showNameTip();
    // Security choices (frmEmailSetupControls.cpp).
    void loadSecurity(const std::string& popStored, const std::string& smtpStored);
    void defaultSecurity();
    void followPort(QComboBox* choice, const QLineEdit* server);
    void showSecurityWarning();
    QString portHint(bool pop) const;

    AccountRecord& account;
    bool closing = false;
    // A new account's choices follow the port typed until the user picks one.
    bool popSecurityFollowsPort = true;
    bool smtpSecurityFollowsPort = true;
};
