#include "settings/OAuthConfig.h"

namespace settings {

std::string_view OAuthProviderText(OAuthProvider provider) {
    switch (provider) {
    case OAuthProvider::Google:
        return "Google";
    case OAuthProvider::Microsoft:
        return "Microsoft";
    case OAuthProvider::Custom:
        break;
    }
    return "Custom";
}

OAuthProvider OAuthProviderFromText(std::string_view text) {
    return text == "Google"      ? OAuthProvider::Google
           : text == "Microsoft" ? OAuthProvider::Microsoft
                                 : OAuthProvider::Custom;
}

OAuthConfig OAuthPreset(OAuthProvider provider) {
    OAuthConfig c;
    c.Provider = provider;
    switch (provider) {
    case OAuthProvider::Google:
        // One scope covers POP3 and SMTP; a refresh token comes with installed programs.
        c.AuthorizeUrl = "https://accounts.google.com/o/oauth2/v2/auth";
        c.TokenUrl = "https://oauth2.googleapis.com/token";
        c.Scope = "https://mail.google.com/";
        break;
    case OAuthProvider::Microsoft:
        // "common" takes work and personal accounts; offline_access asks for a refresh token.
        c.AuthorizeUrl = "https://login.microsoftonline.com/common/oauth2/v2.0/authorize";
        c.TokenUrl = "https://login.microsoftonline.com/common/oauth2/v2.0/token";
        c.Scope = "https://outlook.office.com/POP.AccessAsUser.All "
                  "https://outlook.office.com/SMTP.Send offline_access";
        break;
    case OAuthProvider::Custom:
        break;
    }
    return c;
}

} // namespace settings
