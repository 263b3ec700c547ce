#include "settings/ui/frmEmailSetup.h"

#include "platform/AccountPasswords.h"
#include "platform/Dialogs.h"
#include "platform/OAuthTokens.h"
#include "platform/SettingsStore.h"
#include "platform/Twips.h"
#include "settings/Numbers.h"
#include "settings/Security.h"
#include "settings/ServerAddress.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsValues.h"
#include "settings/WindowGeometry.h"
#include "settings/ui/AccountText.h"
#include "settings/ui/ScreenPlacement.h"
#include "settings/ui/StoredAccount.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <exception>
#include <optional>

namespace keys = settings::keys;
using accounttext::bytes;
using accounttext::text;

namespace {

const QString kNoIsp = QStringLiteral("No ISP");

// Leading and trailing blanks removed; other white space is part of the text.
QString trimBlanks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' ')) {
        ++first;
    }
    while (last > first && text.at(last - 1) == QLatin1Char(' ')) {
        --last;
    }
    return text.mid(first, last - first);
}

platform::SettingsStore& store() {
    return platform::settingsStore();
}

void message(QWidget* parent, const QString& text) {
    platform::dialogs().messageBox(parent, text);
}

} // namespace

frmEmailSetup::frmEmailSetup(AccountRecord& account, QWidget* parent)
    : QDialog(parent), account(account) {
    setObjectName(QStringLiteral("frmEmailSetup"));
    setWindowTitle(QStringLiteral("EMail Client Setup"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    createControls();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(3);
    connect(Timer1, &QTimer::timeout, this, &frmEmailSetup::Timer1_Timer);

    connect(cmbISP, &QComboBox::currentIndexChanged, this, &frmEmailSetup::restartTimer);
    connect(cmbISP, &QComboBox::activated, this, &frmEmailSetup::restartTimer);
    connect(cmbISP, &QComboBox::editTextChanged, this, &frmEmailSetup::restartTimer);
    connect(cmbISP, &QComboBox::editTextChanged, this, &frmEmailSetup::showNameTip);
    cmbISP->installEventFilter(this);
    cmbISP->lineEdit()->installEventFilter(this);
    txtPass->installEventFilter(this);

    connect(txtPass, &QLineEdit::textEdited, this, [this] { chkSavePassword->setEnabled(true); });
    connect(chkSavePassword, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            chkRemovePassword->setChecked(false);
        }
    });
    connect(chkRemovePassword, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            chkSavePassword->setChecked(false);
        }
    });
    for (QComboBox* choice : {cmbPOPSecurity, cmbSMTPSecurity}) {
        connect(choice, &QComboBox::activated, this, [this, choice] {
            (choice == cmbPOPSecurity ? popSecurityFollowsPort : smtpSecurityFollowsPort) = false;
            showSecurityWarning();
        });
    }
    connect(txtPOP, &QLineEdit::textEdited, this, [this] { followPort(cmbPOPSecurity, txtPOP); });
    connect(txtSMTP, &QLineEdit::textEdited, this,
            [this] { followPort(cmbSMTPSecurity, txtSMTP); });
    for (QComboBox* choice : {cmbPOPAuth, cmbAuth}) {
        connect(choice, &QComboBox::currentIndexChanged, this, &frmEmailSetup::showLoginFields);
        connect(choice, &QComboBox::activated, this, &frmEmailSetup::suggestProvider);
    }
    connect(cmbOAuthProvider, &QComboBox::activated, this, &frmEmailSetup::chooseProvider);
    connect(cmdSignIn, &QPushButton::clicked, this, &frmEmailSetup::cmdSignIn_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmEmailSetup::cmdOK_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmEmailSetup::cmdAdd_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmEmailSetup::cmdDelete_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmEmailSetup::cmdCancel_Click);
    connect(cmdReset, &QPushButton::clicked, this, &frmEmailSetup::cmdReset_Click);

    Form_Load();
}

frmEmailSetup::~frmEmailSetup() = default;

void frmEmailSetup::restartTimer() {
    Timer1->stop();
    Timer1->start();
}

int frmEmailSetup::selectedIndex() const {
    const int i = cmbISP->currentIndex();
    return (i >= 0 && cmbISP->itemText(i) == cmbISP->currentText()) ? i : -1;
}

int frmEmailSetup::findShownEntry() const {
    const QString shown = cmbISP->currentText();
    const int skip = selectedIndex() - 1;
    for (int i = 0; i < cmbISP->count(); ++i) {
        if (i != skip && cmbISP->itemText(i) == shown) {
            return i;
        }
    }
    return -1;
}

void frmEmailSetup::trimAccountName() {
    const QString shown = cmbISP->currentText();
    const QString trimmed = trimBlanks(shown);
    if (trimmed != shown) {
        cmbISP->setEditText(trimmed);
    }
}

// --- Load ----------------------------------------------------------------------------

void frmEmailSetup::Form_Load() {
    const Twips t{logicalDpiY() > 0 ? double(logicalDpiY()) : 96.0};
    const double top =
        settings::CoordinateFromText(store().GetSetting(keys::kSettings, keys::kEsTop));
    const double left =
        settings::CoordinateFromText(store().GetSetting(keys::kSettings, keys::kEsLeft));
    // Before the size is taken: the note about a first account makes the dialog taller.
    lblFirstAccount->setVisible(
        settings::SlotCount(store().GetSetting(keys::kSettings, keys::kNbIsp)) == 0);
    adjustSize();
    const QRect wanted(t.toPixels(left), t.toPixels(top), width(), height());
    move(keepOnScreen(wanted, QPoint(t.toPixels(200), t.toPixels(100))).topLeft());

    IspCount = settings::SlotCount(store().GetSetting(keys::kSettings, keys::kNbIsp));
    cmbISP->clear();
    if (IspCount == 0) {
        cmbISP->addItem(kNoIsp);
        cmbISP->setCurrentIndex(-1); // the list offers "No ISP"; the name field stays empty
        ClearFields();
        setTabChain(false);
        return;
    }

    CurrentIsp = text(store().GetSetting(keys::kSettings, keys::kIsp));
    int remembered = 0;
    bool found = false;
    for (int i = 0; i < IspCount; ++i) {
        const std::string stored = store().GetSetting(keys::kSettings, settings::SlotKey(i));
        // The store's own section is no account; an earlier version could list it.
        if (stored.empty() || settings::IsReservedAccountName(stored)) {
            continue;
        }
        const QString name = text(stored);
        addAccountEntry(name);
        if (name == CurrentIsp && CurrentIsp != kNoIsp) {
            LoadAccount(name);
            remembered = cmbISP->count() - 1;
            cmbISP->setCurrentIndex(remembered);
            found = true;
        }
    }
    if (!found) {
        ClearFields(); // the name field would be empty here: no entry was chosen
    }
    if (cmbISP->count() > 0) {
        cmbISP->setCurrentIndex(remembered);
        restartTimer();
    }

    const bool askPassword = account.GetPassword;
    if (askPassword) {
        account.GetPassword = false;
    }
    setTabChain(askPassword);
}

void frmEmailSetup::LoadAccount(const QString& name) {
    const std::string section = bytes(name);
    auto get = [&](std::string_view key) { return store().GetSetting(section, key); };
    txtPOP->setText(text(get(keys::kPOPAddress)));
    if (txtPOP->text().isEmpty()) {
        ClearFields();
        return;
    }
    txtSMTP->setText(text(get(keys::kSMTPAddress)));
    txtUsername->setText(text(get(keys::kEmailUsername)));
    txtDomain->setText(text(get(keys::kSMTPDomain)));
    txtPass->setText(text(platform::accountPasswords().load(section, get(keys::kEmailPass), this)));
    chkRemovePassword->setVisible(!txtPass->text().isEmpty());
    const int auth = settings::ToInt16(settings::LeadingNumber(get(keys::kEmailAuth)));
    if (auth >= -1 && auth < cmbAuth->count()) {
        cmbAuth->setCurrentIndex(auth);
    } else {
        cmbAuth->setCurrentIndex(0); // an unknown method shows "None"
    }
    txtFromName->setText(text(get(keys::kEmailFromName)));
    txtFromDomain->setText(text(get(keys::kEmailFromDomain)));
    loadSecurity(get(keys::kPOPSecurity), get(keys::kSMTPSecurity));
    cmbPOPAuth->setCurrentIndex(static_cast<int>(settings::PopAuthFromText(get(keys::kPOPAuth))));
    showOAuthConfig(ReadOAuthConfig(section));
    chkSavePassword->setEnabled(false);
    showLoginFields();
}

void frmEmailSetup::ClearFields() {
    for (QLineEdit* e : {txtPOP, txtSMTP, txtUsername, txtDomain, txtPass}) {
        e->clear();
    }
    chkSavePassword->setChecked(false);
    txtFromName->clear();
    txtFromDomain->clear();
    cmbAuth->setCurrentIndex(0);
    cmbPOPAuth->setCurrentIndex(0);
    showOAuthConfig(settings::OAuthPreset(settings::OAuthProvider::Custom));
    defaultSecurity();
    showLoginFields();
}

// --- The account name ------------------------------------------------------------------

int frmEmailSetup::FindIspIndex() {
    trimAccountName();
    const QString name = cmbISP->currentText();
    if (name == kNoIsp || name.isEmpty() || settings::IsReservedAccountName(bytes(name))) {
        return -1;
    }
    IspCount = settings::SlotCount(store().GetSetting(keys::kSettings, keys::kNbIsp));
    const std::string wanted = bytes(name);
    for (int i = 0; i < IspCount; ++i) {
        if (store().GetSetting(keys::kSettings, settings::SlotKey(i)) == wanted) {
            return i;
        }
    }
    return IspCount;
}

void frmEmailSetup::takeUpName(bool enterNewName) {
    const int i = FindIspIndex();
    if (i == -1) {
        return;
    }
    const QString name = cmbISP->currentText();
    if (enterNewName && i >= IspCount && IspCount < 32767) {
        ++IspCount;
        store().SaveSettings(keys::kSettings, {{keys::kNbIsp, std::to_string(IspCount)},
                                               {settings::SlotKey(IspCount - 1), bytes(name)}});
    }
    if (name != CurrentIsp) {
        store().SaveSetting(keys::kSettings, keys::kIsp, bytes(name));
        LoadAccount(name);
        CurrentIsp = name;
    }
}

void frmEmailSetup::cmbISP_LostFocus() {
    takeUpName(true);
}

void frmEmailSetup::Timer1_Timer() {
    Timer1->stop();
    takeUpName(false);
}

bool frmEmailSetup::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == cmbISP || watched == cmbISP->lineEdit()) && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        QWidget* next = QApplication::focusWidget();
        const bool stillInCombo = next == cmbISP || next == cmbISP->lineEdit();
        // Opening the drop-down list, or another window taking over, is no focus loss here.
        if (!closing && !stillInCombo && reason != Qt::PopupFocusReason &&
            reason != Qt::ActiveWindowFocusReason) {
            cmbISP_LostFocus();
        }
    } else if (watched == txtPass && event->type() == QEvent::KeyPress) {
        chkSavePassword->setEnabled(true);
    }
    return QDialog::eventFilter(watched, event);
}

void frmEmailSetup::WriteIspList() {
    IspCount = cmbISP->count();
    std::vector<std::pair<std::string_view, std::string>> values;
    std::vector<std::string> slotKeys;
    slotKeys.reserve(static_cast<std::size_t>(IspCount));
    values.emplace_back(keys::kNbIsp, std::to_string(IspCount));
    for (int i = 0; i < IspCount; ++i) {
        slotKeys.push_back(settings::SlotKey(i));
    }
    for (int i = 0; i < IspCount; ++i) {
        values.emplace_back(slotKeys[static_cast<std::size_t>(i)], bytes(cmbISP->itemText(i)));
    }
    // One write for the whole list; slots past the new count stay as they were.
    store().SaveSettings(keys::kSettings, values);
    // The list is written by walking it, which leaves its last entry selected.
    if (IspCount > 0) {
        cmbISP->setCurrentIndex(IspCount - 1);
        restartTimer();
    }
}

void frmEmailSetup::CopyFieldsToAccount() {
    AccountRecord& a = account;
    a.Isp = bytes(trimBlanks(cmbISP->currentText()));
    a.POPAddress = bytes(trimBlanks(txtPOP->text()));
    a.SMTPAddress = bytes(trimBlanks(txtSMTP->text()));
    a.EmailUsername = bytes(trimBlanks(txtUsername->text()));
    a.SMTPDomain = bytes(trimBlanks(txtDomain->text()));
    a.EmailPass = bytes(trimBlanks(txtPass->text()));
    a.EmailFromName = bytes(trimBlanks(txtFromName->text()));
    a.EmailFromDomain = bytes(trimBlanks(txtFromDomain->text()));
    a.EmailAuth = static_cast<std::int16_t>(cmbAuth->currentIndex());
    a.POPSecurity = static_cast<settings::Security>(cmbPOPSecurity->currentIndex());
    a.SMTPSecurity = static_cast<settings::Security>(cmbSMTPSecurity->currentIndex());
    a.POPAuth = static_cast<settings::PopAuth>(cmbPOPAuth->currentIndex());
    a.OAuth = oauthConfig();
}

void frmEmailSetup::SaveSettings() {
    try {
        const AccountRecord& a = account;
        const QString name = cmbISP->currentText();
        const bool reserved = settings::IsReservedAccountName(bytes(name));
        if (!settings::IsReservedAccountName(a.Isp) && !reserved) {
            store().SaveSetting(keys::kSettings, keys::kIsp, a.Isp);
        }
        if (name.isEmpty() || reserved) {
            message(this, QStringLiteral("No valid ISP account defined, settings not saved.\r\n"
                                         "Enter an ISP account name and tr again"));
            return;
        }
        std::vector<std::pair<std::string_view, std::string>> values{
            {keys::kPOPAddress, a.POPAddress},
            {keys::kSMTPAddress, a.SMTPAddress},
            {keys::kEmailUsername, a.EmailUsername},
            {keys::kSMTPDomain, a.SMTPDomain},
            {keys::kEmailFromName, a.EmailFromName},
            {keys::kEmailFromDomain, a.EmailFromDomain},
            {keys::kEmailAuth, std::to_string(a.EmailAuth)},
            {keys::kPOPSecurity, std::string(settings::SecurityText(a.POPSecurity))},
            {keys::kSMTPSecurity, std::string(settings::SecurityText(a.SMTPSecurity))},
            {keys::kPOPAuth, std::string(settings::PopAuthText(a.POPAuth))},
        };
        // An account that never chose OAuth2 is stored as before, without its keys.
        const bool oauth = usesOAuth();
        if (oauth) {
            const settings::OAuthConfig& c = a.OAuth;
            values.insert(values.end(), {{keys::kOAuthProvider,
                                          std::string(settings::OAuthProviderText(c.Provider))},
                                         {keys::kOAuthClientId, c.ClientId},
                                         {keys::kOAuthClientSecret, c.ClientSecret},
                                         {keys::kOAuthAuthorizeUrl, c.AuthorizeUrl},
                                         {keys::kOAuthTokenUrl, c.TokenUrl},
                                         {keys::kOAuthScope, c.Scope}});
        }
        // A refresh token belongs to the client registration and the provider that issued it.
        const bool sameIssuer =
            store().GetSetting(bytes(name), keys::kOAuthClientId) == a.OAuth.ClientId &&
            store().GetSetting(bytes(name), keys::kOAuthTokenUrl) == a.OAuth.TokenUrl;
        const bool wasOAuth =
            settings::PopAuthFromText(store().GetSetting(bytes(name), keys::kPOPAuth)) ==
                settings::PopAuth::OAuth2 ||
            settings::ToInt16(settings::LeadingNumber(
                store().GetSetting(bytes(name), keys::kEmailAuth))) == kEmailAuthOAuth2;
        // A certificate trusted for one server says nothing about another one.
        for (const auto& [address, pin] : {std::pair{keys::kPOPAddress, keys::kPOPCertificate},
                                           std::pair{keys::kSMTPAddress, keys::kSMTPCertificate}}) {
            const std::string& typed = address == keys::kPOPAddress ? a.POPAddress : a.SMTPAddress;
            if (store().GetSetting(bytes(name), address) != typed) {
                values.emplace_back(pin, std::string());
            }
        }
        // The account is written before the keyring is asked: a keyring may keep the user
        // waiting behind its own questions, or answer only after the program has gone.
        store().SaveSettings(bytes(name), values);
        if (wasOAuth && (!oauth || (!sameIssuer && !signedInHere.contains(name)))) {
            platform::oauthTokens().forget(bytes(name)); // its tokens are of no use any more
        }
        // While the keyring is waited for, the name's timer must not load the account anew
        // over the fields being saved.
        Timer1->stop();
        std::optional<std::string> storedPass; // the new EmailPass, when it changes
        if (chkSavePassword->isChecked()) {
            storedPass = platform::accountPasswords().save(bytes(name), a.EmailPass, this);
            chkRemovePassword->show();
        } else {
            // Not saved now: a password saved earlier stays in the store.
            txtPass->clear();
            chkRemovePassword->hide();
        }
        chkSavePassword->setEnabled(false);
        chkSavePassword->setChecked(false);
        if (chkRemovePassword->isChecked()) {
            platform::accountPasswords().forget(bytes(name));
            storedPass = std::string();
        }
        if (storedPass) {
            store().SaveSetting(bytes(name), keys::kEmailPass, *storedPass);
        }
    } catch (const std::exception&) {
        message(this, QStringLiteral("Unknown error in frmEmailSetup.SaveSettings()"));
    }
}

// --- Commands ----------------------------------------------------------------------------

void frmEmailSetup::cmdOK_Click() {
    trimAccountName();
    if (findShownEntry() < 0) {
        const auto answer = platform::dialogs().messageBox(
            this, QStringLiteral("This is a new ISP. Do you want to add it?"),
            platform::MsgButtons::YesNo);
        if (answer == platform::MsgAnswer::Yes) {
            cmdAdd_Click();
        }
        return;
    }
    trimAccountName();
    // An account that cannot sign in is not saved as if it could.
    if (const QString problem = oauthProblem(); !problem.isEmpty()) {
        message(this, problem);
        return;
    }
    CopyFieldsToAccount();
    SaveSettings();
    account.GetPassword = false;
    closingRoutine(QDialog::Accepted);
}

void frmEmailSetup::cmdAdd_Click() {
    trimAccountName();
    const QString name = cmbISP->currentText();
    // The store's own section never enters the list, not even for a moment.
    if (findShownEntry() < 0 && !settings::IsReservedAccountName(bytes(name))) {
        addAccountEntry(name);
        // The first real account replaces the "No ISP" placeholder of an empty store.
        const int placeholder = cmbISP->findText(kNoIsp, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (placeholder >= 0 && name != kNoIsp && cmbISP->count() == 2) {
            cmbISP->removeItem(placeholder);
            cmbISP->setEditText(name);
        }
    }
    CopyFieldsToAccount();

    const AccountRecord& a = account;
    const struct {
        bool failed;
        const char* text;
    } checks[] = {
        {a.Isp.empty(), "Please enter an ISP name for reference to this account"},
        {a.POPAddress.empty(), "Please enter a URL for the POP server"},
        {a.SMTPAddress.empty(), "Please enter a URL for the smtp server"},
        {a.EmailUsername.empty(), "Please enter a User Name"},
        {a.SMTPDomain.empty(), "Please enter a Domain for the user"},
        {chkSavePassword->isChecked() && a.EmailPass.empty(), "Please enter a password"},
        {!oauthProblem().isEmpty(), nullptr},
        {settings::IsReservedAccountName(a.Isp),
         "\"Settings\" is used by the program itself. Please choose another ISP name"},
        {!settings::parseServerAddress(a.POPAddress, settings::kDefaultPopPort).valid,
         "The POP server must be a host name or address, optionally followed by : and a port "
         "number"},
        {!settings::parseServerAddress(a.SMTPAddress, settings::kDefaultSmtpPort).valid,
         "The smtp server must be a host name or address, optionally followed by : and a port "
         "number"},
    };
    for (const auto& check : checks) {
        if (check.failed) {
            message(this, check.text ? QString::fromLatin1(check.text) : oauthProblem());
            return;
        }
    }

    WriteIspList();
    // Writing the list selected its last entry; the account being added is the
    // one to save, whatever its place in the list.
    const int own = cmbISP->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (own >= 0) {
        cmbISP->setCurrentIndex(own);
    }
    cmdOK_Click();
}

void frmEmailSetup::cmdDelete_Click() {
    const QString name = cmbISP->currentText();
    const int selected = selectedIndex();
    const bool removed =
        !settings::IsReservedAccountName(bytes(name)) && store().DeleteSection(bytes(name));
    if (!removed || selected < 0) {
        message(this, QStringLiteral("Cannot remove ") + name + QStringLiteral(" from registry"));
        ClearFields();
        return;
    }
    platform::accountPasswords().forget(bytes(name));
    platform::oauthTokens().forget(bytes(name));
    cmbISP->removeItem(selected);
    WriteIspList();
    // A slot at or past the count is stale: an emptied list has no first account.
    const std::string first =
        IspCount > 0 ? store().GetSetting(keys::kSettings, settings::SlotKey(0)) : std::string();
    if (!first.empty()) {
        store().SaveSetting(keys::kSettings, keys::kIsp, first);
    }
    LoadAccount(text(first));
}

void frmEmailSetup::cmdCancel_Click() {
    LoadAccount(cmbISP->currentText());
    closingRoutine(QDialog::Rejected);
}

void frmEmailSetup::cmdReset_Click() {
    Form_Load();
}

void frmEmailSetup::cmdSignIn_Click() {
    if (signingIn) {
        platform::oauthTokens().cancelSignIn(); // its outcome comes as for any other end
        return;
    }
    trimAccountName();
    const QString name = cmbISP->currentText();
    QString problem = oauthProblem();
    if (name.isEmpty() || name == kNoIsp || settings::IsReservedAccountName(bytes(name))) {
        problem = QStringLiteral("Please enter an ISP name for reference to this account");
    }
    if (!problem.isEmpty()) {
        message(this, problem);
        return;
    }
    signingIn = true;
    cmdSignIn->setText(QStringLiteral("Cancel Sign-in"));
    lblSignIn->setText(QStringLiteral("Waiting for the browser\u2026"));
    auto finished = [this, name](const QString&, const QString& error) {
        signingIn = false;
        if (error.isEmpty()) {
            signedInHere << name;
        }
        cmdSignIn->setText(QStringLiteral("Sign in\u2026"));
        showSignInState();
        if (!error.isEmpty() && !closing) { // a sign-in cancelled by closing needs no box
            message(this, error);
        }
    };
    platform::oauthTokens().signIn(bytes(name), oauthConfig(), this, this, finished);
}

void frmEmailSetup::addAccountEntry(const QString& name) {
    cmbISP->addItem(name);
    cmbISP->setItemData(cmbISP->count() - 1, name, Qt::ToolTipRole);
}

void frmEmailSetup::showNameTip() {
    const QString name = cmbISP->currentText();
    cmbISP->setToolTip(accounttext::elided(name, cmbISP->fontMetrics()) == name ? QString() : name);
}

// --- Closing -----------------------------------------------------------------------------

void frmEmailSetup::closingRoutine(int result) {
    done(result); // saves the position, hides the dialog and so ends its modal showing
}

void frmEmailSetup::done(int result) {
    if (!closing) {
        closing = true;
        Timer1->stop();
        if (signingIn) {
            platform::oauthTokens().cancelSignIn();
        }
        IspCount = settings::SlotCount(store().GetSetting(keys::kSettings, keys::kNbIsp));
        for (const QString& name : std::as_const(signedInHere)) {
            bool stored = false;
            for (int i = 0; i < IspCount && !stored; ++i) {
                stored = store().GetSetting(keys::kSettings, settings::SlotKey(i)) == bytes(name);
            }
            if (!stored) {
                platform::oauthTokens().forget(bytes(name));
            }
        }
        const Twips t{logicalDpiY() > 0 ? double(logicalDpiY()) : 96.0};
        const QPoint at = frameGeometry().topLeft();
        store().SaveSettings(keys::kSettings,
                             {{keys::kEsTop, settings::FormatSingle(t.fromPixels(at.y()))},
                              {keys::kEsLeft, settings::FormatSingle(t.fromPixels(at.x()))}});
    }
    QDialog::done(result);
}
