#pragma once

#include <cstdint>
#include <string>

// The active account as the rest of the program sees it. The password is
// held in clear text here and only base64-wrapped in the store.
struct AccountRecord {
    std::string Isp;
    std::string POPAddress;
    std::string SMTPAddress;
    std::string EmailUsername;
    std::string EmailPass;
    std::string SMTPDomain;
    std::int16_t EmailAuth = 0; // 0 None, 1 POP3, 2 Auth Login, 3 Auth Plain
    std::string EmailFromName;
    std::string EmailFromDomain;
    bool GetPassword = false;
};
