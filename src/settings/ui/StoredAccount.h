#pragma once

#include "settings/AccountRecord.h"

#include <string>

class QWidget;

// Reads the account named account.Isp from the settings store into the record: every field
// but the name, the password from the keyring or the file (a keyring that refuses says so in a
// box over parent). Accounts stored before a key existed read as they always behaved.
void ReadStoredAccount(AccountRecord& account, QWidget* parent);

// The OAuth2 keys of an account section. A preset provider's endpoints and scope that are not
// stored come from its preset.
settings::OAuthConfig ReadOAuthConfig(const std::string& section);
