// SASL logins from the reader window against a real Dovecot that stores the password as a
// SCRAM-SHA-256 secret and offers SCRAM-SHA-256 beside PLAIN and LOGIN.
#include "platform/ClickableLabel.h"
#include "reader/ui/frmPOP.h"
#include "session/ui/PopSession.h"
#include "support/DovecotServer.h"
#include "support/ScriptedDialogs.h"
#include "support/SessionWait.h"
#include "support/TempSettings.h"

#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

class AuthPeerTest : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(server.start({QStringLiteral("--scram")})) << server.error().toStdString();
        ASSERT_TRUE(server.add({QStringLiteral(CORVANE_TEST_DATA "/pop3/1-plain.eml")}));
        dialogs.allowUnscriptedOk();
        window = std::make_unique<frmPOP>();
        window->Account.POPAddress = server.address().toStdString();
        window->Account.EmailUsername = "alice";
        window->Account.EmailPass = "secret";
        window->session().openHeaderCache(cacheDir.filePath(QStringLiteral("headers.sqlite")));
    }

    void TearDown() override {
        window.reset();
        server.stop();
    }

    bool waitUntil(const std::function<bool()>& done) {
        return WaitForSession(window->session(), done);
    }

    QString status() const { return window->lblStatus->text(); }
    QString caption() const { return window->cmdConnect->text(); }

    DovecotServer server;
    QTemporaryDir cacheDir;
    TempSettings settings;
    ScriptedDialogs dialogs;
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
