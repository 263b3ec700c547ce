// Runs twice: inside a private D-Bus session with an unlocked keyring (tests/platform/
// keyring/with-keyring), and with no session bus at all, where there is no keyring.
#include "platform/Keyring.h"
#include "platform/AccountPasswords.h"
#include "settings/SettingsValues.h"
#include "support/ScriptedDialogs.h"
#include "support/TempSettings.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

bool keyringExpected() {
    return qEnvironmentVariableIsSet("CORVANE_TEST_KEYRING");
}

TEST(Keyring, RoundTripOrNoKeyring) {
    const platform::Keyring keyring(QStringLiteral("Corvane test"), 10000);
    const QString key = QStringLiteral("account:мир");
    const std::string password = "пароль-zażółć";
    using Status = platform::Keyring::Status;
    if (!keyringExpected()) {
        const auto answer = keyring.write(key, password);
        EXPECT_EQ(answer.status, Status::Unavailable) << answer.error.toStdString();
        EXPECT_FALSE(answer.error.isEmpty());
        EXPECT_EQ(keyring.read(key).status, Status::Unavailable);
        return;
    }
    EXPECT_EQ(keyring.read(key).status, Status::NotFound);
    ASSERT_EQ(keyring.write(key, password).status, Status::Ok);
    const auto read = keyring.read(key);
    ASSERT_EQ(read.status, Status::Ok);
    EXPECT_EQ(read.secret, password);
    // Another account's key holds its own secret.
    ASSERT_EQ(keyring.write(QStringLiteral("account:дом"), "other").status, Status::Ok);
    EXPECT_EQ(keyring.read(key).secret, password);
    EXPECT_EQ(keyring.remove(key).status, Status::Ok);
    EXPECT_EQ(keyring.read(key).status, Status::NotFound);
    EXPECT_EQ(keyring.remove(key).status, Status::Ok);
}

// The settings file keeps no password once the keyring has it; one stored there before is
// still read, and moves on the next save. Without a keyring the file keeps it, as before,
// and the first save says so once.
TEST(AccountPasswords, KeyringOrSettingsFile) {
    TempSettings temp;
    ScriptedDialogs dialogs;
    platform::AccountPasswords& passwords = platform::accountPasswords();
    const std::string account = "мир", password = "пароль-zażółć";
    const std::string stored = settings::EncodeStoredPassword(password);
    EXPECT_EQ(passwords.load(account, stored, nullptr), password);
    if (!keyringExpected()) {
        temp.setSection("Settings", {{"NoKeyringNoted", "False"}});
        dialogs.answer(platform::MsgAnswer::Ok);
        EXPECT_EQ(passwords.save(account, password, nullptr), stored);
        EXPECT_EQ(passwords.save(account, password, nullptr), stored);
        EXPECT_EQ(dialogs.messages().size(), 1u);
        EXPECT_EQ(passwords.load(account, "", nullptr), "");
        return;
    }
    const std::string kept = passwords.save(account, password, nullptr);
    EXPECT_EQ(kept, "");
    EXPECT_EQ(passwords.load(account, kept, nullptr), password);
    EXPECT_EQ(passwords.load("дом", "", nullptr), "");
    // An OAuth2 refresh token has an entry of its own beside the password.
    using Secret = platform::AccountPasswords::Secret;
    EXPECT_EQ(passwords.save(account, "rt-1", nullptr, Secret::RefreshToken), "");
    passwords.forget(account);
    EXPECT_EQ(passwords.load(account, "", nullptr), "");
    EXPECT_EQ(passwords.load(account, "", nullptr, Secret::RefreshToken), "rt-1");
    passwords.forget(account, Secret::RefreshToken);
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
