#include "settings/ui/StoredAccount.h"

#include "platform/AccountPasswords.h"
#include "platform/SettingsStore.h"
#include "settings/Numbers.h"
#include "settings/Security.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsValues.h"

namespace keys = settings::keys;

void ReadStoredAccount(AccountRecord& a, QWidget* parent) {
    const platform::SettingsStore& store = platform::settingsStore();
    auto get = [&](std::string_view key) { return store.GetSetting(a.Isp, key); };
    a.POPAddress = get(keys::kPOPAddress);
    a.SMTPAddress = get(keys::kSMTPAddress);
    a.EmailUsername = get(keys::kEmailUsername);
    a.SMTPDomain = get(keys::kSMTPDomain);
    a.EmailPass = platform::accountPasswords().load(a.Isp, get(keys::kEmailPass), parent);
    a.EmailAuth = settings::ToInt16(settings::LeadingNumber(get(keys::kEmailAuth)));
    a.EmailFromName = get(keys::kEmailFromName);
    a.EmailFromDomain = get(keys::kEmailFromDomain);
    a.POPSecurity = settings::PopSecurity(get(keys::kPOPSecurity), a.POPAddress);
    a.SMTPSecurity = settings::SmtpSecurity(get(keys::kSMTPSecurity), a.SMTPAddress);
    a.POPAuth = settings::PopAuthFromText(get(keys::kPOPAuth));
    a.OAuth = ReadOAuthConfig(a.Isp);
}

settings::OAuthConfig ReadOAuthConfig(const std::string& section) {
    const platform::SettingsStore& store = platform::settingsStore();
    auto get = [&](std::string_view key) { return store.GetSetting(section, key); };
    settings::OAuthConfig c =
        settings::OAuthPreset(settings::OAuthProviderFromText(get(keys::kOAuthProvider)));
    c.ClientId = get(keys::kOAuthClientId);
    c.ClientSecret = get(keys::kOAuthClientSecret);
    for (auto [key, field] :
         {std::pair{keys::kOAuthAuthorizeUrl, &c.AuthorizeUrl},
          std::pair{keys::kOAuthTokenUrl, &c.TokenUrl}, std::pair{keys::kOAuthScope, &c.Scope}}) {
        if (std::string stored = get(key); !stored.empty()) {
            *field = std::move(stored);
        }
    }
    return c;
}
