#pragma once

#include <string_view>

namespace settings {

// How an account logs in to its POP3 server: USER and PASS, a SASL mechanism in which the
// password never crosses the wire in clear where the server offers one (AUTH), or an OAuth2
// access token (AUTH XOAUTH2 or OAUTHBEARER).
enum class PopAuth { Password, Sasl, OAuth2 };

// The stored words: "Password", "SASL", "OAuth2".
std::string_view PopAuthText(PopAuth auth);

// A missing or unknown value is "Password": accounts stored before the choice existed log
// in as they did.
PopAuth PopAuthFromText(std::string_view text);

} // namespace settings
