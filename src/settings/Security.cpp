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

std::uint16_t UsualPort(Security security, bool pop) {
    switch (security) {
    case Security::Tls:
        return pop ? kPopTlsPort : kSmtpTlsPort;
    case Security::StartTls:
        return pop ? kDefaultPopPort : kSmtpSubmissionPort;
    case Security::None:
        break;
    }
    return pop ? kDefaultPopPort : kDefaultSmtpPort;
}

bool SecurityFitsPort(Security security, std::uint16_t port, bool pop) {
    if (security == Security::Tls) {
        return pop ? port != kDefaultPopPort
                   : port != kDefaultSmtpPort && port != kSmtpSubmissionPort;
    }
    return port != (pop ? kPopTlsPort : kSmtpTlsPort);
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
