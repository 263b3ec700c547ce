// The setup dialog's OAuth2 part: what it shows for each login choice, the provider presets,
// the six keys saved and loaded, the sentences that stop an account that cannot sign in.
#include "platform/OAuthTokens.h"
#include "settings/ui/frmEmailSetup.h"
#include "support/ScriptedDialogs.h"
#include "support/TempSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using settings::OAuthPreset;
using settings::OAuthProvider;

namespace {

struct OAuthSetup {
    TempSettings temp;
    ScriptedDialogs dialogs;
    AccountRecord account;
    std::unique_ptr<frmEmailSetup> d;

    explicit OAuthSetup(const std::string& name) {
        temp.setAccounts({name}, name);
        dialogs.allowUnscriptedOk();
        open();
    }
    void open() {
        d = std::make_unique<frmEmailSetup>(account, nullptr);
        d->show();
    }
    static void choose(QComboBox* box, int index) {
        box->setCurrentIndex(index);
        Q_EMIT box->activated(index);
    }
    // POP login (0 Password, 1 SASL, 2 OAuth2), SMTP login (0 to 4), then the provider.
    void logins(int pop, int smtp, int provider = -1) {
        choose(d->cmbPOPAuth, pop);
        choose(d->cmbAuth, smtp);
        if (provider >= 0) {
            choose(d->cmbOAuthProvider, provider);
        }
    }
    settings::OAuthConfig shown() {
        d->CopyFieldsToAccount();
        return account.OAuth;
    }
    int row(QWidget* w) const {
        int r = 0, c = 0, rs = 0, cs = 0;
        auto* grid = d->findChild<QGridLayout*>();
        grid->getItemPosition(grid->indexOf(w), &r, &c, &rs, &cs);
        return r;
    }
};

} // namespace

TEST(EmailSetupOAuth, ThePasswordGivesWayToTheSignInWherePresetsFillTheEndpoints) {
    OAuthSetup s("Shown");
    // POP, SMTP -> password shown, OAuth2 shown, the sign-in on the password's row
    for (const auto& [pop, smtp, password, oauth, inPlace] :
         {std::tuple(0, 0, true, false, false), std::tuple(1, 2, true, false, false),
          std::tuple(2, 0, false, true, true), std::tuple(2, 4, false, true, true),
          std::tuple(0, 4, true, true, false), std::tuple(2, 3, true, true, false)}) {
        s.logins(pop, smtp);
        EXPECT_EQ(s.d->txtPass->isVisible() + 2 * s.d->chkSavePassword->isVisible(), 3 * password);
        EXPECT_EQ(s.d->cmdSignIn->isVisible() + 2 * s.d->txtScope->isVisible(), 3 * oauth);
        EXPECT_EQ(oauth && s.row(s.d->cmdSignIn) == s.row(s.d->txtPass), inPlace) << pop << smtp;
    }
    EXPECT_EQ(s.d->lblSignIn->text() + s.d->cmdSignIn->text(), "Not signed inSign in\u2026");

    s.d->txtClientId->setText(QStringLiteral("id-1"));
    settings::OAuthConfig expected = OAuthPreset(OAuthProvider::Google);
    expected.ClientId = "id-1";
    for (const auto provider : {OAuthProvider::Google, OAuthProvider::Microsoft}) {
        s.logins(2, 4, static_cast<int>(provider));
        expected = OAuthPreset(provider);
        expected.ClientId = "id-1";
        EXPECT_EQ(s.shown(), expected);
    }
    s.d->txtTokenUrl->setText(QStringLiteral("https://login.example/t"));
    s.logins(2, 4, static_cast<int>(OAuthProvider::Custom)); // keeps what is there
    std::tie(expected.Provider, expected.TokenUrl) =
        std::tuple(OAuthProvider::Custom, "https://login.example/t");
    EXPECT_EQ(s.shown(), expected);

    // An account taking up OAuth2 with nothing filled in: its servers suggest the provider.
    for (const auto& [server, provider] :
         {std::pair{"pop.gmail.com:995", OAuthProvider::Google},
          std::pair{"outlook.office365.com", OAuthProvider::Microsoft},
          std::pair{"pop.example.org", OAuthProvider::Custom}}) {
        OAuthSetup fresh("Suggest");
        fresh.d->txtPOP->setText(QString::fromLatin1(server));
        fresh.logins(2, 0);
        EXPECT_EQ(fresh.shown(), OAuthPreset(provider)) << server;
    }
}

TEST(EmailSetupOAuth, SavedLoadedRefusedAndForgotten) {
    const char* kClientId = "OAuth2 needs the client ID of your registration with the provider; "
                            "please enter it";
    // provider, client id, authorize URL, token URL -> the box (both URLs typed for Custom)
    for (const auto& [provider, id, authorize, token, box] :
         {std::tuple(0, "", "", "", kClientId),
          std::tuple(2, "id", "https://a.example/a", "",
                     "Please enter the provider's token URL for OAuth2"),
          std::tuple(2, "id", "a.example/a", "https://a.example/t",
                     "The authorize URL must be a web address starting with https://")}) {
        OAuthSetup s("Refused");
        s.logins(0, 4, provider);
        s.d->txtClientId->setText(QString::fromLatin1(id));
        if (provider == 2) {
            s.d->txtAuthorizeUrl->setText(QString::fromLatin1(authorize));
            s.d->txtTokenUrl->setText(QString::fromLatin1(token));
        }
        s.d->cmdSignIn->click();
        s.d->cmdOK->click();
        EXPECT_EQ(s.dialogs.messageTexts().join('|').toStdString(),
                  QStringList(2, QString::fromLatin1(box)).join('|').toStdString());
        EXPECT_EQ(s.temp.store().GetSetting("Refused", "EmailAuth"), "") << "nothing saved";
    }

    OAuthSetup s("Kept");
    platform::oauthTokens().forget("Kept"); // none in memory, but a sign-in of before:
    s.temp.setSection("Kept", {{"OAuthRefreshToken", "cnQtMQ=="}});
    s.logins(2, 4, static_cast<int>(OAuthProvider::Microsoft));
    EXPECT_EQ(s.d->lblSignIn->text(), QStringLiteral("Signed in"));
    s.d->txtClientId->setText(QStringLiteral(" 0a1b "));
    s.d->txtAuthorizeUrl->setText(QStringLiteral("https://login.microsoftonline.com/t1/a"));
    s.d->txtScope->setText(QStringLiteral("  POP  SMTP "));
    s.d->cmdOK->click();
    settings::OAuthConfig expected = OAuthPreset(OAuthProvider::Microsoft);
    std::tie(expected.ClientId, expected.AuthorizeUrl, expected.Scope) =
        std::tuple("0a1b", "https://login.microsoftonline.com/t1/a", "POP SMTP");
    EXPECT_EQ(s.account.OAuth, expected);
    for (const auto& [key, value] :
         {std::pair{"OAuthProvider", "Microsoft"}, std::pair{"OAuthClientId", "0a1b"},
          std::pair{"OAuthScope", "POP SMTP"}, std::pair{"EmailAuth", "4"}}) {
        EXPECT_EQ(s.temp.store().GetSetting("Kept", key), value) << key;
    }
    s.temp.reopen();
    s.open();
    EXPECT_EQ(s.shown(), expected);
    EXPECT_TRUE(s.d->cmdSignIn->isVisible() && s.dialogs.messages().empty());
    s.logins(1, 0); // leaving OAuth2 for both servers forgets the sign-in
    s.d->cmdOK->click();
    EXPECT_FALSE(platform::oauthTokens().signedIn("Kept"));
    EXPECT_EQ(s.temp.store().GetSetting("Kept", "OAuthRefreshToken"), "");

    OAuthSetup plain("Plain"); // an account without OAuth2 is stored as before, without the keys
    plain.d->cmdOK->click();
    EXPECT_FALSE(plain.temp.readRaw().contains("OAuth"));
}
