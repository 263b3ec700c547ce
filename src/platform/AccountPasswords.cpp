#include "platform/AccountPasswords.h"

#include "platform/Dialogs.h"
#include "platform/Keyring.h"
#include "settings/SettingsValues.h"

namespace platform {

namespace {

QString keyOf(const std::string& account) {
    return QStringLiteral("account:") + QString::fromStdString(account);
}

} // namespace

Keyring AccountPasswords::keyring() const {
    return Keyring(QStringLiteral("Corvane"), keyringTimeoutMs);
}

std::string AccountPasswords::load(const std::string& account, std::string_view storedValue,
                                   QWidget* parent) {
    if (!settings::TrimBlanks(storedValue).empty()) {
        return settings::DecodeStoredPassword(storedValue);
    }
    const Keyring::Answer answer = keyring().read(keyOf(account));
    if (answer.status == Keyring::Status::Refused) {
        dialogs().messageBox(parent,
                             QStringLiteral("The password of ") + QString::fromStdString(account) +
                                 QStringLiteral(" could not be read from the keyring. ") +
                                 answer.error,
                             MsgButtons::Ok, MsgIcon::Exclamation);
    }
    return answer.status == Keyring::Status::Ok ? answer.secret : std::string();
}

std::string AccountPasswords::save(const std::string& account, const std::string& password,
                                   QWidget* parent) {
    const Keyring::Answer answer = keyring().write(keyOf(account), password);
    if (answer.status == Keyring::Status::Ok) {
        return {};
    }
    if (answer.status == Keyring::Status::Refused) {
        dialogs().messageBox(parent,
                             QStringLiteral("The keyring did not take the password. ") +
                                 answer.error +
                                 QStringLiteral(" The password is kept in the settings file."),
                             MsgButtons::Ok, MsgIcon::Exclamation);
    }
    return settings::EncodeStoredPassword(password);
}

void AccountPasswords::forget(const std::string& account) {
    keyring().remove(keyOf(account));
}

AccountPasswords& accountPasswords() {
    static AccountPasswords passwords;
    return passwords;
}

} // namespace platform
