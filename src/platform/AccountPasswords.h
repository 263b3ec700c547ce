#pragma once

#include "platform/Keyring.h"

#include <string>
#include <string_view>

class QWidget;

namespace platform {

// Where an account's saved password lives: in the desktop keyring when there is one, the
// settings file's EmailPass then staying empty; without a keyring in EmailPass, base64
// wrapped, as it always was. A password stored in EmailPass before is still read, and moves
// to the keyring the next time it is saved. Passwords are UTF-8.
class AccountPasswords {
public:
    // The saved password of account, given what its EmailPass holds. A keyring that refuses
    // says so in a box over parent; the password then reads as empty.
    std::string load(const std::string& account, std::string_view storedValue, QWidget* parent);
    // Saves the password and returns what EmailPass must now hold. A keyring that refuses
    // says so, and the password is kept in the settings file instead: nothing is lost.
    std::string save(const std::string& account, const std::string& password, QWidget* parent);
    // The account is gone, or its password is no longer to be kept.
    void forget(const std::string& account);
    // How long each keyring call waits for the keyring's answer (tests shorten it).
    void setKeyringTimeout(int milliseconds) { keyringTimeoutMs = milliseconds; }

private:
    Keyring keyring() const;

    int keyringTimeoutMs = 10000;
};

AccountPasswords& accountPasswords();

} // namespace platform
