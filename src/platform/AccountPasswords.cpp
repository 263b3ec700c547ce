#include "platform/AccountPasswords.h"

#include "platform/Dialogs.h"
#include "platform/Keyring.h"
#include "platform/SettingsStore.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsValues.h"

namespace platform {

namespace {

using Secret = AccountPasswords::Secret;

// The keyring entry: "account:NAME" for the password, "oauth:NAME" for the refresh token.
QString keyOf(const std::string& account, Secret secret) {
    return (secret == Secret::Password ? QStringLiteral("account:") : QStringLiteral("oauth:")) +
           QString::fromStdString(account);
}

QString nameOf(Secret secret) {
    return secret == Secret::Password ? QStringLiteral("password")
                                      : QStringLiteral("OAuth2 sign-in");
}

} // namespace

Keyring AccountPasswords::keyring() const {
    return Keyring(QStringLiteral("Corvane"), keyringTimeoutMs);
}

std::string AccountPasswords::load(const std::string& account, std::string_view storedValue,
                                   QWidget* parent, Secret secret) {
    if (!settings::TrimBlanks(storedValue).empty()) {
        return settings::DecodeStoredPassword(storedValue);
    }
    const Keyring::Answer answer = keyring().read(keyOf(account, secret));
    if (answer.status == Keyring::Status::Refused) {
        dialogs().messageBox(parent,
                             QStringLiteral("The ") + nameOf(secret) + QStringLiteral(" of ") +
                                 QString::fromStdString(account) +
                                 QStringLiteral(" could not be read from the keyring. ") +
                                 answer.error,
                             MsgButtons::Ok, MsgIcon::Exclamation);
    }
    return answer.status == Keyring::Status::Ok ? answer.secret : std::string();
}

std::string AccountPasswords::save(const std::string& account, const std::string& password,
                                   QWidget* parent, Secret secret) {
    const Keyring::Answer answer = keyring().write(keyOf(account, secret), password);
    if (answer.status == Keyring::Status::Ok) {
        return {};
    }
    if (answer.status == Keyring::Status::Refused) {
        // A keyring that is there but did not take it: perhaps the user cancelled its
        // question, which is no consent to a plain file.
        const bool keep =
            dialogs().messageBox(
                parent,
                QStringLiteral("The keyring did not keep the ") + nameOf(secret) +
                    QStringLiteral(" of ") + QString::fromStdString(account) +
                    QStringLiteral(". ") + answer.error + QStringLiteral("\n\nKeep the ") +
                    nameOf(secret) +
                    QStringLiteral(" in the settings file instead? Only you can read that file, "
                                   "but the ") +
                    nameOf(secret) + QStringLiteral(" is not encrypted there."),
                MsgButtons::YesNoDefaultNo, MsgIcon::Question) == MsgAnswer::Yes;
        return keep ? settings::EncodeStoredPassword(password) : std::string();
    }
    // No keyring at all: the settings file, as always; said once.
    SettingsStore& store = settingsStore();
    if (!settings::ParseFlag(
            store.GetSetting(settings::keys::kSettings, settings::keys::kNoKeyringNoted), false)) {
        store.SaveSetting(settings::keys::kSettings, settings::keys::kNoKeyringNoted, "True");
        dialogs().messageBox(parent,
                             QStringLiteral("There is no keyring on this desktop, so passwords "
                                            "are kept in the settings file. Only you can read "
                                            "that file, but the passwords are not encrypted "
                                            "there."),
                             MsgButtons::Ok, MsgIcon::Information);
    }
    return settings::EncodeStoredPassword(password);
}

void AccountPasswords::forget(const std::string& account, Secret secret) {
    keyring().remove(keyOf(account, secret));
}

AccountPasswords& accountPasswords() {
    static AccountPasswords passwords;
    return passwords;
}

} // namespace platform
