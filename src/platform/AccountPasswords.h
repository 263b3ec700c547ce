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
// An account that signs in with OAuth2 keeps its refresh token by the same rules, under a
// keyring entry of its own and the settings key OAuthRefreshToken.
class AccountPasswords {
public:
    enum class Secret { Password, RefreshToken };

    // The saved password of account, given what its EmailPass holds. A keyring that refuses
    // says so in a box over parent; the password then reads as empty.
    std::string load(const std::string& account, std::string_view storedValue, QWidget* parent,
                     Secret secret = Secret::Password);
    // Saves the password and returns what EmailPass must now hold. A keyring that does not
    // take it says why and asks whether the settings file may keep it instead (default No:
    // then it is kept nowhere). Without any keyring the settings file keeps it, as it always
    // did; the first time, a note over parent says so.
    std::string save(const std::string& account, const std::string& password, QWidget* parent,
                     Secret secret = Secret::Password);
    // The account is gone, or its password is no longer to be kept.
    void forget(const std::string& account, Secret secret = Secret::Password);
    // How long each keyring call waits for the keyring's answer (tests shorten it).
    void setKeyringTimeout(int milliseconds) { keyringTimeoutMs = milliseconds; }

private:
    Keyring keyring() const;

    int keyringTimeoutMs = 10000;
};

AccountPasswords& accountPasswords();

} // namespace platform
