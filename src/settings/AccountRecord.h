#pragma once

#include "settings/OAuthConfig.h"
#include "settings/PopAuth.h"
#include "settings/Security.h"

#include <cstdint>
#include <string>

// The active account as the rest of the program sees it. Every text field is
// UTF-8, exactly as the user typed it (the settings store keeps it so too): a
// window shows it with QString::fromStdString, and the password goes to the
// POP3 server (PASS) and to SMTP AUTH as these very bytes. The password is held
// in clear text here and only base64-wrapped in the store.
struct AccountRecord {
    std::string Isp;
    std::string POPAddress;
    std::string SMTPAddress;
    std::string EmailUsername;
    std::string EmailPass;
    std::string SMTPDomain;
    std::int16_t EmailAuth = 0; // 0 None, 1 POP3, 2 Auth Login, 3 Auth Plain, 4 OAuth2
    std::string EmailFromName;
    std::string EmailFromDomain;
    bool GetPassword = false;
    // How each server's connection is protected ("POPSecurity", "SMTPSecurity"). The pinned
    // certificates are read from the store when a connection needs them.
    settings::Security POPSecurity = settings::Security::None;
    settings::Security SMTPSecurity = settings::Security::None;
    // How the POP3 login is made ("POPAuth").
    settings::PopAuth POPAuth = settings::PopAuth::Password;
    // The OAuth2 sign-in, used when POPAuth is OAuth2 or EmailAuth is 4.
    settings::OAuthConfig OAuth;
};

// EmailAuth's value for an SMTP login with an OAuth2 access token (XOAUTH2).
inline constexpr std::int16_t kEmailAuthOAuth2 = 4;
