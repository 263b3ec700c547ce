#pragma once

#include "settings/AccountRecord.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QGridLayout;
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
    // The SMTP login: "None", "POP3", "Auth Login", "Auth Plain", "OAuth2" (EmailAuth 0 to 4).
    QComboBox* cmbAuth = nullptr;
    // The OAuth2 sign-in, shown while the POP or the SMTP login is OAuth2. The button and the
    // account's state take the password's place when no server needs the password.
    QPushButton* cmdSignIn = nullptr; // "Sign in…", "Cancel Sign-in" while one runs
    QLabel* lblSignIn = nullptr;      // "Signed in", "Not signed in"
    // "Google", "Microsoft", "Custom", in the order of settings::OAuthProvider; a preset fills
    // the endpoints and the scope, which stay editable (a tenant of one's own, say).
    QComboBox* cmbOAuthProvider = nullptr;
    QLineEdit* txtClientId = nullptr;
    QLineEdit* txtClientSecret = nullptr; // only where the provider gives one
    QLineEdit* txtAuthorizeUrl = nullptr;
    QLineEdit* txtTokenUrl = nullptr;
    QLineEdit* txtScope = nullptr;
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
    // The sign-in in the browser for the account shown, or its cancellation while one runs.
    void cmdSignIn_Click();
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
    // The login choices (frmEmailSetupControls.cpp).
    bool usesOAuth() const;
    bool usesPassword() const;
    // Shows the password or the sign-in, and the OAuth2 fields, for the choices made.
    void showLoginFields();
    void showSignInState();
    // The user chose a provider: a preset fills the endpoints and the scope.
    void chooseProvider(int index);
    // An account taking up OAuth2 with nothing filled in: the provider its servers suggest.
    void suggestProvider();
    settings::OAuthConfig oauthConfig() const;
    void showOAuthConfig(const settings::OAuthConfig& config);
    // Why the OAuth2 fields cannot sign in, in a sentence; empty when they can or unused.
    QString oauthProblem() const;

    AccountRecord& account;
    bool closing = false;
    // A new account's choices follow the port typed until the user picks one.
    bool popSecurityFollowsPort = true;
    bool smtpSecurityFollowsPort = true;
    bool signingIn = false;
    // Accounts signed in from this dialog: one never added keeps no token when it closes.
    QStringList signedInHere;
    QGridLayout* grid = nullptr;
    QLabel* lblPass = nullptr;
    QLabel* lblSignInRow = nullptr;
    QList<QWidget*> oauthRows; // the OAuth2 fields and their labels
    int passwordRow = 0;
    int signInRow = 0; // the sign-in's own row, for an account that also needs the password
};
