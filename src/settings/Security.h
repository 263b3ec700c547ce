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
inline constexpr std::uint16_t kSmtpSubmissionPort = 587;

// The port a choice usually means: TLS 995 (POP3) and 465 (SMTP); STARTTLS 110 and 587; None
// 110 and 25.
std::uint16_t UsualPort(Security security, bool pop);

// False when the choice cannot work on the port: TLS where servers greet in plain text first
// (110 for POP3; 25 and 587 for SMTP), or STARTTLS or None on the port of implicit TLS.
bool SecurityFitsPort(Security security, std::uint16_t port, bool pop);

// The stored value for the server field as typed ("host" or "host:port").
Security PopSecurity(std::string_view stored, std::string_view popAddress);
Security SmtpSecurity(std::string_view stored, std::string_view smtpAddress);

} // namespace settings
