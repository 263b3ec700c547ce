// The OAuth2 sign-in against scripts/oauth-server, whose browser step a URL handler takes,
// and the reader window logging in to a Dovecot that checks the tokens at that server.
#include "platform/ClickableLabel.h"
#include "platform/OAuthTokens.h"
#include "reader/ui/frmPOP.h"
#include "session/ui/PopSession.h"
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
#include <QTimer>
#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

using platform::oauthTokens;

struct Answer {
    QString token, error;
};

class OAuthPeerTest : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(server.start({QStringLiteral("--code-style"), QStringLiteral("google")}));
        dialogs.allowUnscriptedOk(); // the note that there is no keyring here
        account.Isp = "Mail";
        account.EmailUsername = "alice";
        account.POPAuth = settings::PopAuth::OAuth2;
        account.OAuth = server.config();
    }
    void TearDown() override {
        oauthTokens().forget(account.Isp);
        oauthTokens().setSignInTimeout(5 * 60 * 1000);
    }

    // Waits for the answer, which always comes from the event loop.
    Answer wait(const std::function<void(QObject*, platform::OAuthTokens::Done)>& ask) {
        Answer answer;
        QEventLoop loop;
        ask(&loop, [&](const QString& token, const QString& error) {
            answer = {token, error};
            loop.quit();
        });
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        loop.exec();
        return answer;
    }
    Answer signIn() {
        return wait([&](QObject* c, auto done) {
            oauthTokens().signIn(account.Isp, account.OAuth, nullptr, c, done);
        });
    }
    Answer token() {
        return wait([&](QObject* c, auto done) { oauthTokens().accessToken(account, c, done); });
    }
    std::string savedRefreshToken() {
        return settings.store().GetSetting("Mail", "OAuthRefreshToken");
    }

    OAuthServer server;
    TempSettings settings;
    ScriptedDialogs dialogs;
    FakeBrowser browser;
    AccountRecord account;
};

// The server checks the PKCE verifier against the challenge and the redirect address; its
// codes carry "/" and "+", which Qt 6.4 alone would send encoded twice.
TEST_F(OAuthPeerTest, SignInOnLoopbackThenTokensFromMemoryAndRefresh) {
    QUrl redirect;
    bool otherAddressFree = false;
    browser.opened = [&](const QUrl& url) {
        redirect =
            QUrl(QUrlQuery(url).queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded));
        // A listener on 127.0.0.1 alone leaves the port free on other addresses.
        QTcpServer other;
        otherAddressFree = other.listen(QHostAddress(QStringLiteral("127.0.0.2")), redirect.port());
    };
    const Answer first = signIn();
    ASSERT_EQ(first.error, QString());
    ASSERT_FALSE(first.token.isEmpty());
    EXPECT_EQ(redirect.host(), QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(otherAddressFree) << "the listener took every interface";
    const QVariantMap grant = server.tokenRequests().value(0).toMap();
    EXPECT_TRUE(grant[QStringLiteral("code")].toString().contains(QLatin1Char('+')));
    EXPECT_FALSE(grant.contains(QStringLiteral("client_secret")));
    EXPECT_FALSE(savedRefreshToken().empty()) << "no keyring here: the settings file keeps it";
    EXPECT_TRUE(oauthTokens().signedIn("Mail"));

    EXPECT_EQ(token().token, first.token);
    EXPECT_EQ(server.tokenRequests().size(), 1) << "a token with time left comes from memory";
    // Refused by the mail server: renewed; one with less than a minute left: renewed too.
    ASSERT_TRUE(server.control(QStringLiteral("expires_in=30")));
    oauthTokens().refused("Mail");
    const Answer renewed = token();
    ASSERT_EQ(renewed.error, QString());
    EXPECT_NE(renewed.token, first.token);
    EXPECT_EQ(token().error, QString());
    const QVariantList requests = server.tokenRequests();
    ASSERT_EQ(requests.size(), 3);
    const QVariantMap refresh = requests[1].toMap();
    EXPECT_EQ(refresh[QStringLiteral("grant_type")], QStringLiteral("refresh_token"));
    EXPECT_FALSE(refresh.contains(QStringLiteral("redirect_uri")));
    EXPECT_FALSE(refresh.contains(QStringLiteral("client_secret")));
}

// Every way a sign-in can fail ends in a sentence, never in a wait without end.
TEST_F(OAuthPeerTest, FailedSignInsAreSaid) {
    const struct {
        const char* name;
        std::function<void()> arrange;
        QString said;
    } cases[] = {
        {"token endpoint refuses", [&] { server.control(QStringLiteral("fail=token")); },
         QStringLiteral(
             "The sign-in server refused to give a token (invalid_grant: told to fail).")},
        {"user declined", [&] { server.control(QStringLiteral("authorize=deny")); },
         QStringLiteral("The provider refused the sign-in (access_denied).")},
        {"token endpoint unreachable", [&] { account.OAuth.TokenUrl = "http://127.0.0.1:1/t"; },
         QStringLiteral("The sign-in server 127.0.0.1 could not be reached: ")},
        {"cancelled",
         [&] {
             browser.follow = false;
             browser.opened = [](const QUrl&) { oauthTokens().cancelSignIn(); };
         },
         QStringLiteral("The sign-in was cancelled.")},
        {"browser left open",
         [&] {
             browser.follow = false;
             oauthTokens().setSignInTimeout(50);
         },
         QStringLiteral("The sign-in was not finished in the browser within 5 minutes")},
    };
    for (const auto& c : cases) {
        c.arrange();
        const Answer a = signIn();
        EXPECT_TRUE(a.token.isEmpty()) << c.name;
        EXPECT_TRUE(a.error.startsWith(c.said)) << c.name << ": " << a.error.toStdString();
        EXPECT_FALSE(oauthTokens().signedIn("Mail")) << c.name;
        ASSERT_TRUE(server.control(QStringLiteral("fail=&authorize=")));
        account.OAuth = server.config();
        browser.follow = true;
        browser.opened = {};
        oauthTokens().setSignInTimeout(5 * 60 * 1000);
    }
}

// A refused refresh asks the user to sign in again; the next refresh that works is used, and
// a refresh token the provider replaces is saved in its stead.
TEST_F(OAuthPeerTest, FailedRefreshThenAWorkingOne) {
    ASSERT_EQ(signIn().error, QString());
    ASSERT_TRUE(server.control(QStringLiteral("fail=refresh")));
    oauthTokens().refused("Mail");
    const Answer failed = token();
    EXPECT_TRUE(failed.token.isEmpty());
    EXPECT_TRUE(failed.error.endsWith(
        QStringLiteral("Please sign in again with \"Sign in…\" in the account's setup.")))
        << failed.error.toStdString();
    ASSERT_TRUE(server.control(QStringLiteral("fail=&rotate=1")));
    const std::string before = savedRefreshToken();
    EXPECT_EQ(token().error, QString());
    EXPECT_NE(savedRefreshToken(), before);
    oauthTokens().refused("Mail");
    EXPECT_EQ(token().error, QString()) << "the replaced refresh token is no longer valid";

    oauthTokens().forget("Mail");
    EXPECT_EQ(savedRefreshToken(), "");
    EXPECT_TRUE(token().error.startsWith(QStringLiteral("Mail is not signed in")));
}

// The reader window: Get Mail with the token of the sign-in; the mail server then refuses the
// token in memory and a renewed one logs in on the same connection; a renewal that fails is
// said with the server's refusal.
TEST_F(OAuthPeerTest, ReaderWindowLogsInAndRenewsARefusedToken) {
    DovecotServer dovecot;
    ASSERT_TRUE(
        dovecot.start({QStringLiteral("--oauth"), server.url(QStringLiteral("/introspect"))}))
        << dovecot.error().toStdString();
    ASSERT_TRUE(dovecot.add({QStringLiteral(CORVANE_TEST_DATA "/pop3/1-plain.eml")}));
    ASSERT_EQ(signIn().error, QString()); // as the setup dialog's "Sign in…" does
    auto window = std::make_unique<frmPOP>();
    window->Account = account;
    window->Account.POPAddress = dovecot.address().toStdString();
    auto getMail = [&] {
        window->cmdConnect->click();
        const bool ended = WaitForSession(window->session(), [&] {
            return window->lblStatus->text() == QStringLiteral("1 Messages listed") ||
                   !dialogs.messages().empty();
        });
        window->cmdConnect->click(); // disconnect (or nothing)
        WaitForSession(window->session(), [&] { return !window->session().isConnected(); });
        return ended && dialogs.messages().empty();
    };
    EXPECT_TRUE(getMail()) << dialogs.messageTexts().join(QLatin1Char('|')).toStdString();
    ASSERT_TRUE(server.control(QStringLiteral("revoke=1")));
    EXPECT_TRUE(getMail()) << dialogs.messageTexts().join(QLatin1Char('|')).toStdString();
    ASSERT_TRUE(server.control(QStringLiteral("revoke=1&fail=refresh")));
    EXPECT_FALSE(getMail());
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{QStringLiteral(
                  "The server refused the sign-in for alice. The provider did not renew the "
                  "sign-in (invalid_grant: told to fail). Please sign in again with \"Sign in…\" "
                  "in the account's setup.")});
    QFile log(dovecot.folder() + QStringLiteral("/dovecot.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count("Login: user=<alice>, method=XOAUTH2"), 2);
}

} // namespace
