#pragma once

#include <string>
#include <string_view>

namespace settings {

// Who signs the user in for an account that logs in with OAuth2 ("OAuthProvider"). The presets
// fill the endpoints and the scope; "Custom" takes them as typed.
enum class OAuthProvider { Google, Microsoft, Custom };

// The stored words: "Google", "Microsoft", "Custom".
std::string_view OAuthProviderText(OAuthProvider provider);
// A missing or unknown word reads as Custom.
OAuthProvider OAuthProviderFromText(std::string_view text);

// An account's OAuth2 settings, as stored ("OAuthClientId", "OAuthClientSecret",
// "OAuthAuthorizeUrl", "OAuthTokenUrl", "OAuthScope"). The client id is the user's own
// registration with the provider; none ships with the program. The client secret is empty
// unless the provider gives installed programs one.
struct OAuthConfig {
    OAuthProvider Provider = OAuthProvider::Custom;
    std::string ClientId;
    std::string ClientSecret;
    std::string AuthorizeUrl;
    std::string TokenUrl;
    std::string Scope; // blank-separated

    bool operator==(const OAuthConfig&) const = default;
};

// The endpoints and scope of a provider, for POP3 and SMTP together (Custom: all empty).
// ClientId and ClientSecret stay empty.
OAuthConfig OAuthPreset(OAuthProvider provider);

} // namespace settings
