#include "settings/ui/frmEmailSetup.h"

#include "platform/OAuthTokens.h"
#include "settings/Security.h"
#include "settings/ServerAddress.h"
#include "settings/ui/AccountText.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>

using accounttext::bytes;
using accounttext::text;

namespace {

const QString kSignIn = QStringLiteral("Sign in\u2026");

QString fieldText(const QLineEdit* field) {
    return field->text().trimmed();
}

} // namespace

// The dialog's controls and their layout.

void frmEmailSetup::createControls() {
    auto label = [this](const QString& caption, const char* name) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    auto field = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        return e;
    };
    auto button = [this](const QString& caption, const char* name, const QString& tip) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(tip);
        b->setAutoDefault(false);
        return b;
    };

    cmbISP = new QComboBox(this);
    cmbISP->setObjectName(QStringLiteral("cmbISP"));
    cmbISP->setEditable(true);
    // The typed name is taken up by the dialog's own routine: Enter must not
    // add it to the list, and no completion may change what was typed.
    cmbISP->setInsertPolicy(QComboBox::NoInsert);
    cmbISP->setCompleter(nullptr);
    cmbISP->setDuplicatesEnabled(true);
    // A long account name must not widen the dialog: the box keeps its designed
    // width, and the drop-down list cuts long names in the middle.
    cmbISP->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmbISP->setMinimumContentsLength(20);
    cmbISP->view()->setTextElideMode(Qt::ElideMiddle);

    txtPOP = field("txtPOP");
    txtSMTP = field("txtSMTP");
    txtPOP->setPlaceholderText(QStringLiteral("host or host:port"));
    txtSMTP->setPlaceholderText(QStringLiteral("host or host:port"));
    txtUsername = field("txtUsername");
    txtDomain = field("txtDomain");
    txtPass = field("txtPass");
    txtPass->setEchoMode(QLineEdit::Password);
    txtPass->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // "*"
    chkSavePassword = new QCheckBox(QStringLiteral("Save Password"), this);
    chkSavePassword->setObjectName(QStringLiteral("chkSavePassword"));
    chkRemovePassword = new QCheckBox(QStringLiteral("Unsave Password"), this);
    chkRemovePassword->setObjectName(QStringLiteral("chkRemovePassword"));
    // Showing and hiding it must not make the dialog jump in size.
    QSizePolicy keepSpace = chkRemovePassword->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    chkRemovePassword->setSizePolicy(keepSpace);
    // Nor giving way to the OAuth2 sign-in.
    for (QWidget* w : {static_cast<QWidget*>(chkSavePassword), static_cast<QWidget*>(txtPass)}) {
        QSizePolicy keep = w->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        w->setSizePolicy(keep);
    }
    chkRemovePassword->hide();
    cmbPOPAuth = new QComboBox(this);
    cmbPOPAuth->setObjectName(QStringLiteral("cmbPOPAuth"));
    cmbPOPAuth->setToolTip(QStringLiteral(
        "How to log in to the POP server. Password: USER and PASS; SASL: SCRAM-SHA-256, or "
        "PLAIN inside TLS, and nothing else; OAuth2: a sign-in with the mail provider in the "
        "browser, no password"));
    for (const settings::PopAuth a :
         {settings::PopAuth::Password, settings::PopAuth::Sasl, settings::PopAuth::OAuth2}) {
        cmbPOPAuth->addItem(QString::fromLatin1(settings::PopAuthText(a)));
    }
    txtFromName = field("txtFromName");
    txtFromDomain = field("txtFromDomain");
    // Each choice names the port it usually means, so that the server field can be matched.
    auto securityChoice = [this](const char* name, bool pop) {
        auto* c = new QComboBox(this);
        c->setObjectName(QLatin1String(name));
        c->setToolTip(
            pop ? QStringLiteral("TLS: encrypted from the start, usually on port 995; STARTTLS: "
                                 "the plain connection on port 110 is encrypted before the login; "
                                 "None: no encryption")
                : QStringLiteral("TLS: encrypted from the start, usually on port 465; STARTTLS: "
                                 "the plain connection on port 587 is encrypted before the login; "
                                 "None: no encryption"));
        for (const settings::Security s :
             {settings::Security::Tls, settings::Security::StartTls, settings::Security::None}) {
            c->addItem(QStringLiteral("%1 (port %2)")
                           .arg(QString::fromLatin1(settings::SecurityText(s)))
                           .arg(settings::UsualPort(s, pop)));
        }
        return c;
    };
    cmbPOPSecurity = securityChoice("cmbPOPSecurity", true);
    cmbSMTPSecurity = securityChoice("cmbSMTPSecurity", false);
    lblPortHint = label(QString(), "lblPortHint");
    lblPortHint->setStyleSheet(QStringLiteral("color: #a00000;"));
    lblPortHint->setWordWrap(true);
    lblPortHint->hide();
    lblSecurityWarning =
        label(QStringLiteral("With \"None\" your password travels unprotected over the network."),
              "lblSecurityWarning");
    lblSecurityWarning->setStyleSheet(QStringLiteral("color: #a00000;"));
    QSizePolicy keepWarningSpace = lblSecurityWarning->sizePolicy();
    keepWarningSpace.setRetainSizeWhenHidden(true);
    lblSecurityWarning->setSizePolicy(keepWarningSpace);
    lblSecurityWarning->hide();
    cmbAuth = new QComboBox(this);
    cmbAuth->setObjectName(QStringLiteral("cmbAuth"));
    cmbAuth->addItems({QStringLiteral("None"), QStringLiteral("POP3"), QStringLiteral("Auth Login"),
                       QStringLiteral("Auth Plain"), QStringLiteral("OAuth2")});

    cmdSignIn = button(kSignIn, "cmdSignIn",
                       QStringLiteral("Sign in with the mail provider in your browser"));
    lblSignIn = label(QString(), "lblSignIn");
    cmbOAuthProvider = new QComboBox(this);
    cmbOAuthProvider->setObjectName(QStringLiteral("cmbOAuthProvider"));
    for (const settings::OAuthProvider p :
         {settings::OAuthProvider::Google, settings::OAuthProvider::Microsoft,
          settings::OAuthProvider::Custom}) {
        cmbOAuthProvider->addItem(QString::fromLatin1(settings::OAuthProviderText(p)));
    }
    cmbOAuthProvider->setCurrentIndex(static_cast<int>(settings::OAuthProvider::Custom));
    txtClientId = field("txtClientId");
    txtClientId->setPlaceholderText(QStringLiteral("from your registration with the provider"));
    txtClientSecret = field("txtClientSecret");
    txtClientSecret->setPlaceholderText(QStringLiteral("only if the provider gave you one"));
    txtAuthorizeUrl = field("txtAuthorizeUrl");
    txtTokenUrl = field("txtTokenUrl");
    txtScope = field("txtScope");
    txtScope->setPlaceholderText(QStringLiteral("separated by spaces"));

    cmdOK = button(QStringLiteral("OK"), "cmdOK",
                   QStringLiteral("Select and update data for this ISP"));
    cmdOK->setDefault(true);
    cmdAdd =
        button(QStringLiteral("Add"), "cmdAdd", QStringLiteral("Add this ISP to the registry"));
    cmdDelete = button(QStringLiteral("Delete"), "cmdDelete",
                       QStringLiteral("Delete this ISP from the registry"));
    cmdCancel =
        button(QStringLiteral("Cancel"), "cmdCancel", QStringLiteral("Close form without changes"));
    cmdReset = button(QStringLiteral("Reset"), "cmdReset", QStringLiteral("Clear form"));

    lblFirstAccount = label(QStringLiteral("Corvane needs a mail account before it can get mail. "
                                           "Enter the details your provider gave you, then press "
                                           "Add."),
                            "lblFirstAccount");
    lblFirstAccount->setWordWrap(true);
    lblFirstAccount->hide();

    grid = new QGridLayout;
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(3, 2);
    grid->setHorizontalSpacing(6);
    int row = 0;
    grid->addWidget(lblFirstAccount, row++, 0, 1, 5);
    grid->addWidget(label(QStringLiteral("ISP"), "lblISP"), row, 0);
    grid->addWidget(cmbISP, row++, 1, 1, 3);
    grid->addWidget(label(QStringLiteral("POP Server"), "lblPOP"), row, 0);
    grid->addWidget(txtPOP, row, 1, 1, 3);
    grid->addWidget(cmbPOPSecurity, row++, 4);
    grid->addWidget(label(QStringLiteral("SMTP Server"), "lblSMTP"), row, 0);
    grid->addWidget(txtSMTP, row, 1, 1, 3);
    grid->addWidget(cmbSMTPSecurity, row++, 4);
    grid->addWidget(lblPortHint, row++, 1, 1, 4);
    grid->addWidget(lblSecurityWarning, row++, 1, 1, 4);
    grid->addWidget(label(QStringLiteral("Username :"), "lblUsername"), row, 0);
    grid->addWidget(txtUsername, row, 1);
    grid->addWidget(label(QStringLiteral("@"), "lblAt1"), row, 2);
    grid->addWidget(txtDomain, row++, 3);
    passwordRow = row;
    lblPass = label(QStringLiteral("Password"), "lblPass");
    grid->addWidget(lblPass, row, 0);
    grid->addWidget(txtPass, row, 1);
    auto* checks = new QHBoxLayout;
    checks->addWidget(chkSavePassword);
    checks->addWidget(chkRemovePassword);
    checks->addStretch();
    grid->addLayout(checks, row, 2, 1, 2);
    grid->addWidget(cmbPOPAuth, row++, 4);
    grid->addWidget(label(QStringLiteral("From Name:"), "lblFromName"), row, 0);
    grid->addWidget(txtFromName, row, 1);
    grid->addWidget(label(QStringLiteral("@"), "lblAt2"), row, 2);
    grid->addWidget(txtFromDomain, row++, 3);
    grid->addWidget(label(QStringLiteral("Authentication"), "lblAuth"), row, 0);
    grid->addWidget(cmbAuth, row++, 1);
    const std::pair<const char*, QWidget*> oauthFields[] = {
        {"Provider", cmbOAuthProvider},     {"Client ID", txtClientId},
        {"Client Secret", txtClientSecret}, {"Authorize URL", txtAuthorizeUrl},
        {"Token URL", txtTokenUrl},         {"Scope", txtScope},
    };
    for (const auto& [caption, widget] : oauthFields) {
        QLabel* l = label(QString::fromLatin1(caption), "lblOAuthField");
        grid->addWidget(l, row, 0);
        grid->addWidget(widget, row++, 1, 1, widget == cmbOAuthProvider ? 1 : 4);
        oauthRows << l << widget;
    }
    signInRow = row++;
    lblSignInRow = label(QStringLiteral("Sign-in"), "lblSignInRow");
    grid->addWidget(lblSignInRow, signInRow, 0);
    // The sign-in starts in the password's place; showLoginFields moves it when both are needed.
    grid->addWidget(cmdSignIn, passwordRow, 1);
    grid->addWidget(lblSignIn, passwordRow, 2, 1, 2);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdOK, cmdAdd, cmdDelete, cmdCancel, cmdReset}) {
        buttons->addWidget(b);
    }
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addSpacing(8);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    txtPOP->setMinimumWidth(260);
}

void frmEmailSetup::setTabChain(bool passwordFirst) {
    QList<QWidget*> chain{
        cmbISP,    txtPOP,  cmbPOPSecurity,  txtSMTP,           cmbSMTPSecurity, txtUsername,
        txtDomain, txtPass, chkSavePassword, chkRemovePassword, txtFromName,     txtFromDomain,
        cmbAuth,   cmdOK,   cmdAdd,          cmdDelete,         cmdCancel,       cmdReset};
    chain.insert(chain.indexOf(chkRemovePassword) + 1, cmbPOPAuth);
    chain.insert(chain.indexOf(chkRemovePassword) + 1, cmdSignIn);
    for (QWidget* w :
         std::initializer_list<QWidget*>{cmbOAuthProvider, txtClientId, txtClientSecret,
                                         txtAuthorizeUrl, txtTokenUrl, txtScope}) {
        chain.insert(chain.indexOf(cmdOK), w);
    }
    if (passwordFirst) {
        // The password field leads, the account name comes after the other fields.
        chain.removeOne(txtPass);
        chain.prepend(txtPass);
        chain.removeOne(cmbISP);
        chain.insert(chain.indexOf(cmbAuth) + 1, cmbISP);
    }
    for (qsizetype i = 1; i < chain.size(); ++i) {
        setTabOrder(chain.at(i - 1), chain.at(i));
    }
    chain.first()->setFocus(Qt::OtherFocusReason);
}

// --- Security choices ----------------------------------------------------------------------

void frmEmailSetup::loadSecurity(const std::string& popStored, const std::string& smtpStored) {
    const std::string pop = bytes(txtPOP->text()), smtp = bytes(txtSMTP->text());
    cmbPOPSecurity->setCurrentIndex(static_cast<int>(settings::PopSecurity(popStored, pop)));
    cmbSMTPSecurity->setCurrentIndex(static_cast<int>(settings::SmtpSecurity(smtpStored, smtp)));
    popSecurityFollowsPort = smtpSecurityFollowsPort = false;
    showSecurityWarning();
}

void frmEmailSetup::defaultSecurity() {
    popSecurityFollowsPort = smtpSecurityFollowsPort = true;
    followPort(cmbPOPSecurity, txtPOP);
    followPort(cmbSMTPSecurity, txtSMTP);
}

void frmEmailSetup::followPort(QComboBox* choice, const QLineEdit* server) {
    const bool pop = choice == cmbPOPSecurity;
    if (pop ? popSecurityFollowsPort : smtpSecurityFollowsPort) {
        const settings::ServerAddress address = settings::parseServerAddress(
            bytes(server->text()), pop ? settings::kDefaultPopPort : settings::kDefaultSmtpPort);
        choice->setCurrentIndex(static_cast<int>(settings::DefaultSecurity(
            address.port, pop ? settings::kPopTlsPort : settings::kSmtpTlsPort)));
    }
    showSecurityWarning();
}

// A choice that cannot work on the port the server field names, in a sentence that says
// what would; empty when it fits.
QString frmEmailSetup::portHint(bool pop) const {
    const QLineEdit* server = pop ? txtPOP : txtSMTP;
    const auto security =
        static_cast<settings::Security>((pop ? cmbPOPSecurity : cmbSMTPSecurity)->currentIndex());
    const settings::ServerAddress address = settings::parseServerAddress(
        bytes(server->text()), pop ? settings::kDefaultPopPort : settings::kDefaultSmtpPort);
    if (!address.valid || settings::SecurityFitsPort(security, address.port, pop)) {
        return {};
    }
    const QString name = pop ? QStringLiteral("POP server") : QStringLiteral("SMTP server");
    const QString port = QString::number(address.port);
    const bool typed = server->text().trimmed().endsWith(QLatin1Char(':') + port);
    const QString where = typed ? QStringLiteral("%1: port %2").arg(name, port)
                                : QStringLiteral("%1: the default port %2").arg(name, port);
    if (security == settings::Security::Tls) {
        const QString tlsPort = QString::number(settings::UsualPort(security, pop));
        return where + QStringLiteral(" speaks plain text first. Choose STARTTLS, or ") +
               (typed ? QStringLiteral("port %1 for TLS.").arg(tlsPort)
                      : QStringLiteral("add :%1 for TLS.").arg(tlsPort));
    }
    return where + QStringLiteral(" expects TLS from the first byte. Choose TLS.");
}

void frmEmailSetup::showSecurityWarning() {
    const int none = static_cast<int>(settings::Security::None);
    lblSecurityWarning->setVisible(cmbPOPSecurity->currentIndex() == none ||
                                   cmbSMTPSecurity->currentIndex() == none);
    QStringList hints{portHint(true), portHint(false)};
    hints.removeAll(QString());
    lblPortHint->setText(hints.join(QLatin1Char('\n')));
    lblPortHint->setVisible(!hints.isEmpty());
}

// --- Login choices and the OAuth2 sign-in ---------------------------------------------------

bool frmEmailSetup::usesOAuth() const {
    return cmbPOPAuth->currentIndex() == static_cast<int>(settings::PopAuth::OAuth2) ||
           cmbAuth->currentIndex() == kEmailAuthOAuth2;
}

bool frmEmailSetup::usesPassword() const {
    const int smtp = cmbAuth->currentIndex();
    return cmbPOPAuth->currentIndex() != static_cast<int>(settings::PopAuth::OAuth2) ||
           (smtp > 0 && smtp != kEmailAuthOAuth2);
}

void frmEmailSetup::showLoginFields() {
    const bool oauth = usesOAuth(), password = usesPassword();
    // With both, the sign-in takes a row of its own below the OAuth2 fields.
    const int row = password ? signInRow : passwordRow;
    int at = 0, column = 0, rows = 0, columns = 0;
    grid->getItemPosition(grid->indexOf(cmdSignIn), &at, &column, &rows, &columns);
    if (at != row) {
        grid->removeWidget(cmdSignIn);
        grid->removeWidget(lblSignIn);
        grid->addWidget(cmdSignIn, row, 1);
        grid->addWidget(lblSignIn, row, 2, 1, 2);
    }
    if (!password) {
        chkSavePassword->setChecked(false); // nothing to save: the field is gone
        chkRemovePassword->hide();
    } else if (txtPass->isHidden()) {
        chkRemovePassword->setVisible(!txtPass->text().isEmpty()); // as the account was loaded
    }
    lblPass->setText(password ? QStringLiteral("Password") : QStringLiteral("Sign-in"));
    txtPass->setVisible(password);
    chkSavePassword->setVisible(password);
    cmdSignIn->setVisible(oauth);
    lblSignIn->setVisible(oauth);
    lblSignInRow->setVisible(oauth && password);
    for (QWidget* w : std::as_const(oauthRows)) {
        w->setVisible(oauth);
    }
    showSignInState();
}

void frmEmailSetup::showSignInState() {
    if (signingIn) {
        return;
    }
    // Only an account that signs in with OAuth2 asks the keyring for its refresh token.
    const QString name = cmbISP->currentText().trimmed();
    const bool in = usesOAuth() && !name.isEmpty() && platform::oauthTokens().signedIn(bytes(name));
    lblSignIn->setText(in ? QStringLiteral("Signed in") : QStringLiteral("Not signed in"));
}

void frmEmailSetup::chooseProvider(int index) {
    const auto provider = static_cast<settings::OAuthProvider>(index);
    if (provider == settings::OAuthProvider::Custom) {
        return; // the endpoints stay as they are, to be typed over
    }
    settings::OAuthConfig preset = settings::OAuthPreset(provider);
    preset.ClientId = bytes(fieldText(txtClientId));
    preset.ClientSecret = bytes(fieldText(txtClientSecret));
    showOAuthConfig(preset);
}

void frmEmailSetup::suggestProvider() {
    if (!usesOAuth() || !oauthConfig().AuthorizeUrl.empty() || !fieldText(txtClientId).isEmpty()) {
        return;
    }
    const QString servers = (txtPOP->text() + QLatin1Char(' ') + txtSMTP->text()).toLower();
    for (const auto& [provider, names] :
         {std::pair{settings::OAuthProvider::Google, QStringList{"gmail.", "google"}},
          std::pair{settings::OAuthProvider::Microsoft,
                    QStringList{"outlook.", "office365.", "hotmail.", "live.com"}}}) {
        for (const QString& n : names) {
            if (servers.contains(n)) {
                cmbOAuthProvider->setCurrentIndex(static_cast<int>(provider));
                chooseProvider(static_cast<int>(provider));
                return;
            }
        }
    }
}

settings::OAuthConfig frmEmailSetup::oauthConfig() const {
    settings::OAuthConfig c;
    c.Provider = static_cast<settings::OAuthProvider>(cmbOAuthProvider->currentIndex());
    c.ClientId = bytes(fieldText(txtClientId));
    c.ClientSecret = bytes(fieldText(txtClientSecret));
    c.AuthorizeUrl = bytes(fieldText(txtAuthorizeUrl));
    c.TokenUrl = bytes(fieldText(txtTokenUrl));
    c.Scope = bytes(txtScope->text().simplified());
    return c;
}

void frmEmailSetup::showOAuthConfig(const settings::OAuthConfig& config) {
    cmbOAuthProvider->setCurrentIndex(static_cast<int>(config.Provider));
    txtClientId->setText(text(config.ClientId));
    txtClientSecret->setText(text(config.ClientSecret));
    txtAuthorizeUrl->setText(text(config.AuthorizeUrl));
    txtTokenUrl->setText(text(config.TokenUrl));
    txtScope->setText(text(config.Scope));
}

QString frmEmailSetup::oauthProblem() const {
    if (!usesOAuth()) {
        return {};
    }
    const settings::OAuthConfig c = oauthConfig();
    if (c.ClientId.empty()) {
        return QStringLiteral("OAuth2 needs the client ID of your registration with the "
                              "provider; please enter it");
    }
    const std::pair<const std::string*, const char*> urls[] = {{&c.AuthorizeUrl, "authorize URL"},
                                                               {&c.TokenUrl, "token URL"}};
    for (const auto& [url, name] : urls) {
        const QUrl parsed(text(*url), QUrl::StrictMode);
        if (url->empty()) {
            return QStringLiteral("Please enter the provider's %1 for OAuth2")
                .arg(QLatin1String(name));
        }
        if (!parsed.isValid() || parsed.host().isEmpty() ||
            (parsed.scheme() != QLatin1String("https") &&
             parsed.scheme() != QLatin1String("http"))) {
            return QStringLiteral("The %1 must be a web address starting with https://")
                .arg(QLatin1String(name));
        }
    }
    return {};
}
