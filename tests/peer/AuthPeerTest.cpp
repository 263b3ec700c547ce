// SASL and OAuth2 logins against a real Dovecot that stores the password as a SCRAM-SHA-256
// secret, offers SCRAM-SHA-256 beside PLAIN and LOGIN, and XOAUTH2 and OAUTHBEARER whose tokens
// it checks at scripts/oauth-server. The sign-in's browser step is taken by a URL handler.
#include "platform/ClickableLabel.h"
#include "platform/OAuthTokens.h"
#include "reader/ui/frmPOP.h"
#include "session/ui/PopSession.h"
#include "session/ui/frmDebug.h"
#include "support/DovecotServer.h"
#include "support/OAuthServer.h"
#include "support/ScriptedDialogs.h"
#include "support/SessionWait.h"
#include "support/TempSettings.h"

#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

using platform::oauthTokens;
const QString kSignInAgain =
    QStringLiteral("Please sign in again with \"Sign in…\" in the account's setup.");

class AuthPeerTest : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(tokens.start({QStringLiteral("--code-style"), QStringLiteral("google")}));
        ASSERT_TRUE(server.start({QStringLiteral("--scram"), QStringLiteral("--oauth"),
                                  tokens.url(QStringLiteral("/introspect"))}))
            << server.error().toStdString();
        ASSERT_TRUE(server.add({QStringLiteral(CORVANE_TEST_DATA "/pop3/1-plain.eml")}));
        dialogs.allowUnscriptedOk(); // also the note that there is no keyring here
        window = std::make_unique<frmPOP>();
        AccountRecord& a = window->Account;
        a.Isp = "Mail";
        a.POPAddress = server.address().toStdString();
        a.EmailUsername = "alice";
        a.EmailPass = "secret";
        a.OAuth = tokens.config();
        window->session().openHeaderCache(cacheDir.filePath(QStringLiteral("headers.sqlite")));
    }

    void TearDown() override {
        window.reset();
        server.stop();
        oauthTokens().forget("Mail");
        oauthTokens().setSignInTimeout(5 * 60 * 1000);
    }

    bool waitUntil(const std::function<bool()>& done) {
        return WaitForSession(window->session(), done);
    }
    QString status() const { return window->lblStatus->text(); }
    QString caption() const { return window->cmdConnect->text(); }

    // {token, error} of a sign-in or of a token asked for, as the event loop delivers them.
    QStringList answer(bool signIn) {
        QStringList got{QString(), QStringLiteral("no answer")};
        QEventLoop loop;
        const platform::OAuthTokens::Done done = [&](const QString& token, const QString& error) {
            got = {token, error};
            loop.quit();
        };
        signIn ? oauthTokens().signIn("Mail", account().OAuth, nullptr, &loop, done)
               : oauthTokens().accessToken(account(), &loop, done);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        loop.exec();
        return got;
    }
    QStringList signIn() { return answer(true); }
    QStringList token() { return answer(false); }
    AccountRecord& account() { return window->Account; }
    std::string saved() { return settings.store().GetSetting("Mail", "OAuthRefreshToken"); }

    OAuthServer tokens;
    DovecotServer server;
    QTemporaryDir cacheDir;
    TempSettings settings;
    ScriptedDialogs dialogs;
    FakeBrowser browser;
    std::unique_ptr<frmPOP> window;
};

// A wrong password first: the refusal is said, nothing else is tried, and the right one then
// logs in; the same account with "Password" still logs in with USER and PASS.
TEST_F(AuthPeerTest, ScramSignInRefusedThenAcceptedAndUserPassStillWorks) {
    window->Account.POPAuth = settings::PopAuth::Sasl;
    window->Account.EmailPass = "wrong";
    window->cmdConnect->click();
    ASSERT_TRUE(waitUntil([&] { return !dialogs.messages().empty(); })) << status().toStdString();
    EXPECT_EQ(dialogs.messageTexts(), QStringList{"The server refused the sign-in for alice"});
    ASSERT_TRUE(waitUntil([&] { return caption() == QStringLiteral("Get Mail"); }));

    for (const settings::PopAuth auth : {settings::PopAuth::Sasl, settings::PopAuth::Password}) {
        window->Account.POPAuth = auth;
        window->Account.EmailPass = "secret";
        window->cmdConnect->click();
        ASSERT_TRUE(waitUntil([&] { return status() == QStringLiteral("1 Messages listed"); }))
            << status().toStdString();
        EXPECT_EQ(window->lstHeaders->count(), 1);
        window->cmdConnect->click();
        ASSERT_TRUE(waitUntil([&] { return caption() == QStringLiteral("Get Mail"); }));
    }
    EXPECT_EQ(dialogs.messages().size(), 1u);
    // Which mechanism each login used, as Dovecot logged it.
    QFile log(server.folder() + QStringLiteral("/dovecot.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray said = log.readAll();
    EXPECT_EQ(said.count("Login: user=<alice>, method=SCRAM-SHA-256"), 1) << said.toStdString();
    EXPECT_EQ(said.count("Login: user=<alice>, method=PLAIN"), 1) << "USER and PASS";
    EXPECT_EQ(said.count("method=PLAIN"), 1) << "nothing but SCRAM after the refusal";
}

// The server checks the PKCE verifier and the redirect address; its codes carry "/" and "+",
// which Qt 6.4 alone sends encoded twice. Then tokens come from memory while they have more
// than a minute left, and refreshes keep the newest refresh token.
TEST_F(AuthPeerTest, SignInAndRefresh) {
    QUrl back;
    bool otherAddressFree = false;
    browser.opened = [&](const QUrl& url) {
        back =
            QUrl(QUrlQuery(url).queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded));
        QTcpServer other; // a listener on 127.0.0.1 alone leaves the port free elsewhere
        otherAddressFree = other.listen(QHostAddress(QStringLiteral("127.0.0.2")), back.port());
    };
    const QStringList first = signIn();
    ASSERT_EQ(first[1], QString());
    EXPECT_EQ(back.host(), QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(otherAddressFree) << "the listener took every interface";
    EXPECT_TRUE(tokens.tokenRequests().value(0).toMap().value("code").toString().contains('+'));
    EXPECT_NE(saved(), "") << "no keyring here: the settings file keeps it";
    EXPECT_EQ(token(), first);
    EXPECT_EQ(tokens.tokenRequests().size(), 1) << "a token with time left comes from memory";

    ASSERT_TRUE(tokens.control(QStringLiteral("expires_in=30&rotate=1")));
    oauthTokens().refused("Mail");
    const std::string before = saved();
    const QStringList renewed = token();
    EXPECT_TRUE(renewed[1].isEmpty() && renewed[0] != first[0]) << renewed[1].toStdString();
    EXPECT_NE(saved(), before) << "the replaced refresh token is saved";
    EXPECT_EQ(token()[1], QString()) << "30 seconds left: renewed with the newest refresh token";
    const QVariantList requests = tokens.tokenRequests();
    ASSERT_EQ(requests.size(), 3);
    for (const char* extra : {"redirect_uri", "client_secret"}) {
        EXPECT_FALSE(requests[1].toMap().contains(extra)) << extra;
    }
    // A refused refresh asks to sign in again; the next one that works is used.
    ASSERT_TRUE(tokens.control(QStringLiteral("fail=refresh")));
    EXPECT_TRUE(token()[1].endsWith(kSignInAgain));
    ASSERT_TRUE(tokens.control(QStringLiteral("fail=")));
    EXPECT_EQ(token()[1], QString());
    oauthTokens().forget("Mail");
    EXPECT_EQ(saved(), "");
    EXPECT_TRUE(token()[1].startsWith(QStringLiteral("Mail is not signed in")));
}

// Every way a sign-in can fail ends in a sentence, never in a wait without end.
TEST_F(AuthPeerTest, FailedSignInsAreSaid) {
    const std::pair<std::function<void()>, QString> cases[] = {
        {[&] { tokens.control(QStringLiteral("fail=token")); },
         QStringLiteral(
             "The sign-in server refused to give a token (invalid_grant: told to fail).")},
        {[&] { tokens.control(QStringLiteral("authorize=deny")); },
         QStringLiteral("The provider refused the sign-in (access_denied: The user said no).")},
        {[&] { account().OAuth.TokenUrl = "http://127.0.0.1:1/token"; },
         QStringLiteral("The sign-in server 127.0.0.1 could not be reached: ")},
        {[&] { browser.opened = [](const QUrl&) { oauthTokens().cancelSignIn(); }; },
         QStringLiteral("The sign-in was cancelled.")},
        {[&] { oauthTokens().setSignInTimeout(50); },
         QStringLiteral("The sign-in was not finished in the browser within 5 minutes")},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& [arrange, said] = cases[i];
        browser.follow = i < 3; // the last two never come back from the browser
        arrange();
        const QStringList got = signIn();
        EXPECT_TRUE(got[0].isEmpty() && got[1].startsWith(said)) << got[1].toStdString();
        EXPECT_FALSE(oauthTokens().signedIn("Mail"));
        ASSERT_TRUE(tokens.control(QStringLiteral("fail=&authorize=")));
        account().OAuth = tokens.config();
        browser.opened = {};
        oauthTokens().setSignInTimeout(5 * 60 * 1000);
    }
}

// Get Mail with the sign-in's token; then the server refuses the token in memory and a
// renewed one logs in on the same connection; a renewal that fails is said with the refusal.
TEST_F(AuthPeerTest, ReaderWindowRenewsARefusedTokenOnce) {
    ASSERT_EQ(signIn()[1], QString()); // as the setup dialog's "Sign in…" does
    account().POPAuth = settings::PopAuth::OAuth2;
    account().EmailPass.clear(); // no password is asked for
    auto getMail = [&] {
        window->cmdConnect->click();
        waitUntil([&] { return status() == "1 Messages listed" || !dialogs.messages().empty(); });
        const QString shown = status();
        window->cmdConnect->click();
        waitUntil([&] { return caption() == QStringLiteral("Get Mail"); });
        return shown;
    };
    EXPECT_EQ(getMail(), QStringLiteral("1 Messages listed"));
    ASSERT_TRUE(tokens.control(QStringLiteral("revoke=1")));
    EXPECT_EQ(getMail(), QStringLiteral("1 Messages listed"));
    ASSERT_TRUE(tokens.control(QStringLiteral("revoke=1&fail=refresh")));
    getMail();
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{QStringLiteral("The server refused the sign-in for alice. The provider "
                                         "did not renew the sign-in (invalid_grant: told to "
                                         "fail). ") +
                          kSignInAgain});
    QFile log(server.folder() + QStringLiteral("/dovecot.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count("Login: user=<alice>, method=XOAUTH2"), 2);
    const frmDebug* debug = window->session().debugWindow();
    ASSERT_NE(debug, nullptr);
    for (const char* secret : {"Bearer", "dXNlcj1hbGljZQFhdXRoPUJlYXJlci", "at-", "rt-"}) {
        EXPECT_EQ(debug->text().find(secret), std::string::npos) << secret;
    }
}

} // namespace
