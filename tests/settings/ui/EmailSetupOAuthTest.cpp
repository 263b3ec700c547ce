// The setup dialog's OAuth2 part: what it shows for each login choice, the provider presets,
// the six keys saved and loaded, the sentences that stop an account that cannot sign in.
#include "decoding/TestData.h"
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

struct OAuthSetup {
    TempSettings temp;
    ScriptedDialogs dialogs;
    AccountRecord account;
    std::unique_ptr<frmEmailSetup> d;

    explicit OAuthSetup(const std::string& name, const char* pop = "pop.x") {
        temp.setAccounts({name}, name);
        temp.setSection(name, {{"POPAddress", pop}});
        dialogs.allowUnscriptedOk();
        d = std::make_unique<frmEmailSetup>(account, nullptr);
        d->show();
    }
    // POP login (0 Password, 1 SASL, 2 OAuth2), SMTP login (0 to 4), then the provider, as
    // the user chooses them; returns the OAuth2 settings the dialog then holds.
    settings::OAuthConfig choose(int pop, int smtp, int provider = -1) {
        for (auto [box, index] : {std::pair{d->cmbPOPAuth, pop}, std::pair{d->cmbAuth, smtp},
                                  std::pair{d->cmbOAuthProvider, provider}}) {
            if (index >= 0) {
                box->setCurrentIndex(index);
                Q_EMIT box->activated(index);
            }
        }
        d->CopyFieldsToAccount();
        return account.OAuth;
    }
};

TEST(EmailSetupOAuth, ThePasswordGivesWayToTheSignInWherePresetsFillTheEndpoints) {
    OAuthSetup s("Shown");
    auto* grid = s.d->findChild<QGridLayout*>();
    auto row = [&](QWidget* w) {
        int r = 0, c = 0;
        grid->getItemPosition(grid->indexOf(w), &r, &c, &c, &c);
        return r;
    };
    for (const auto& r : testdata::Table("settings/oauth-logins.table", 5)) {
        const bool password = r[2] == "1", oauth = r[3] == "1";
        s.choose(std::stoi(r[0]), std::stoi(r[1]));
        EXPECT_EQ(s.d->txtPass->isVisible() + s.d->chkSavePassword->isVisible(), 2 * password);
        EXPECT_EQ(s.d->cmdSignIn->isVisible() + s.d->txtScope->isVisible(), 2 * oauth);
        EXPECT_EQ(oauth && row(s.d->cmdSignIn) == row(s.d->txtPass), r[4] == "1") << r[0] << r[1];
    }
    EXPECT_EQ(s.d->lblSignIn->text() + s.d->cmdSignIn->text(), "Not signed inSign in\u2026");

    s.d->txtClientId->setText(QStringLiteral("id-1"));
    settings::OAuthConfig expected;
    for (const auto provider : {OAuthProvider::Google, OAuthProvider::Microsoft}) {
        expected = OAuthPreset(provider);
        expected.ClientId = "id-1";
        EXPECT_EQ(s.choose(2, 4, static_cast<int>(provider)), expected);
    }
    s.d->txtTokenUrl->setText(QStringLiteral("https://login.example/t"));
    std::tie(expected.Provider, expected.TokenUrl) =
        std::tuple(OAuthProvider::Custom, "https://login.example/t");
    EXPECT_EQ(s.choose(2, 4, 2), expected) << "Custom keeps what is there";

    // An account taking up OAuth2 with nothing filled in: its servers suggest the provider.
    for (const auto& [server, provider] :
         {std::pair{"pop.gmail.com:995", OAuthProvider::Google},
          std::pair{"outlook.office365.com", OAuthProvider::Microsoft},
          std::pair{"pop.example.org", OAuthProvider::Custom}}) {
        EXPECT_EQ(OAuthSetup("Suggest", server).choose(2, 0), OAuthPreset(provider)) << server;
    }
}

TEST(EmailSetupOAuth, SavedLoadedRefusedAndForgotten) {
    for (const auto& r : testdata::Table("settings/oauth-refusals.table", 5)) {
        OAuthSetup s("Refused");
        s.choose(0, 4, std::stoi(r[0]));
        s.d->txtClientId->setText(QString::fromStdString(r[1]));
        if (r[0] == "2") {
            s.d->txtAuthorizeUrl->setText(QString::fromStdString(r[2]));
        }
        if (r[0] == "2" || !r[3].empty()) {
            s.d->txtTokenUrl->setText(QString::fromStdString(r[3]));
        }
        s.d->cmdSignIn->click();
        s.d->cmdOK->click();
        EXPECT_EQ(s.dialogs.messageTexts().join('|').toStdString(), r[4] + "|" + r[4]);
        EXPECT_EQ(s.temp.store().GetSetting("Refused", "EmailAuth"), "") << "nothing saved";
    }

    platform::oauthTokens().forget("Kept"); // none in memory, but a sign-in of before:
    OAuthSetup s("Kept");
    s.temp.setSection("Kept", {{"OAuthRefreshToken", "cnQtMQ=="}});
    s.choose(2, 4, static_cast<int>(OAuthProvider::Microsoft));
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
    s.d = std::make_unique<frmEmailSetup>(s.account, nullptr);
    EXPECT_EQ(s.choose(-1, -1), expected);
    EXPECT_TRUE(s.d->cmdSignIn->isVisibleTo(s.d.get()) && s.dialogs.messages().empty());
    s.d->txtTokenUrl->setText(QStringLiteral("https://login.example.org/token")); // another issuer
    s.d->cmdOK->click();
    EXPECT_FALSE(platform::oauthTokens().signedIn("Kept"));
    platform::oauthTokens().forget("Kept"); // none in memory, and a sign-in of before again:
    s.temp.setSection("Kept", {{"OAuthRefreshToken", "cnQtMQ=="}});
    s.d = std::make_unique<frmEmailSetup>(s.account, nullptr);
    s.d->cmdOK->click(); // the same issuer keeps it
    ASSERT_TRUE(platform::oauthTokens().signedIn("Kept"));
    s.d = std::make_unique<frmEmailSetup>(s.account, nullptr);
    s.choose(1, 0); // leaving OAuth2 for both servers forgets the sign-in
    s.d->cmdOK->click();
    EXPECT_FALSE(platform::oauthTokens().signedIn("Kept"));
    EXPECT_EQ(s.temp.store().GetSetting("Kept", "OAuthRefreshToken"), "");

    OAuthSetup plain("Plain"); // an account without OAuth2 is stored as before, without the keys
    plain.d->cmdOK->click();
    EXPECT_FALSE(plain.temp.readRaw().contains("OAuth"));
}
