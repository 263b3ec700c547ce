#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace settings {

// How a connection to a server is protected: TLS from the first byte, plain text upgraded
// with STLS (POP3) or STARTTLS (SMTP) before the login, or nothing at all.
enum class Security { Tls, StartTls, None };

// The stored words: "TLS", "STARTTLS", "None".
std::string_view SecurityText(Security security);

// The account's stored value. A missing or unknown value keeps an account stored before
// the choice existed working as it did: TLS on the port of implicit TLS (995 for POP3,
// 465 for SMTP), otherwise None.
Security SecurityFromText(std::string_view text, std::uint16_t port, std::uint16_t tlsPort);

// What a new account starts with: STARTTLS, or TLS when the port typed is the one of
// implicit TLS.
Security DefaultSecurity(std::uint16_t port, std::uint16_t tlsPort);

inline constexpr std::uint16_t kPopTlsPort = 995;
inline constexpr std::uint16_t kSmtpTlsPort = 465;

// The stored value for the server field as typed ("host" or "host:port").
Security PopSecurity(std::string_view stored, std::string_view popAddress);
Security SmtpSecurity(std::string_view stored, std::string_view smtpAddress);

} // namespace settings
