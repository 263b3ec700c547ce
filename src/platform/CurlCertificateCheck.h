#pragma once

#include "platform/Certificates.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <string>

typedef void CURL;

namespace platform {

// The check of the SMTP server's certificate inside libcurl's TLS handshake (the OpenSSL
// backend): the same rules as the POP3 connection, with the same stored fingerprint. The
// verification runs against the authorities libcurl loaded and the host name; a pinned
// certificate is accepted whatever they say, and nothing else is while a pin is set. What
// was refused is kept for the question to the user.
class CurlCertificateCheck {
public:
    CurlCertificateCheck(std::string host, std::uint16_t port, std::string pinned);

    // Sets the transfer's TLS options. False when this libcurl cannot run the check: the
    // transfer must then not start.
    bool install(CURL* curl);

    // After the transfer: the problem when the handshake failed on the certificate.
    std::optional<CertificateProblem> problem() const;

    // Called by OpenSSL during the handshake (public for the C callback only).
    int verify(void* storeContext);

private:
    std::string host;
    std::uint16_t port;
    std::string pinned;
    bool refused = false;
    int verifyError = 0;
    std::string certificate; // DER of the server's certificate
};

} // namespace platform
