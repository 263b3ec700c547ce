#include "settings/Security.h"

#include "settings/ServerAddress.h"

namespace settings {

std::string_view SecurityText(Security security) {
    switch (security) {
    case Security::Tls:
        return "TLS";
    case Security::StartTls:
        return "STARTTLS";
    case Security::None:
        break;
    }
    return "None";
}

Security SecurityFromText(std::string_view text, std::uint16_t port, std::uint16_t tlsPort) {
    for (const Security s : {Security::Tls, Security::StartTls, Security::None}) {
        if (text == SecurityText(s)) {
            return s;
        }
    }
    return port == tlsPort ? Security::Tls : Security::None;
}

Security DefaultSecurity(std::uint16_t port, std::uint16_t tlsPort) {
    return port == tlsPort ? Security::Tls : Security::StartTls;
}

Security PopSecurity(std::string_view stored, std::string_view popAddress) {
    return SecurityFromText(stored, parseServerAddress(popAddress, kDefaultPopPort).port,
                            kPopTlsPort);
}

Security SmtpSecurity(std::string_view stored, std::string_view smtpAddress) {
    return SecurityFromText(stored, parseServerAddress(smtpAddress, kDefaultSmtpPort).port,
                            kSmtpTlsPort);
}

} // namespace settings
