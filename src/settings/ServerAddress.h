#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace settings {

// A server field as the user typed it: "host", "host:port", "[v6addr]" or
// "[v6addr]:port". A bare IPv6 address ("::1", "fe80::1") has more than one
// colon and is taken whole as the host, on the default port.
struct ServerAddress {
    std::string host; // without the brackets of an IPv6 literal
    std::uint16_t port = 0;
    bool valid = false; // false: empty host, bad or out-of-range port, unbalanced bracket
};

// Blanks around the text are ignored. The port is decimal, 1 to 65535; without
// one, defaultPort (110 for POP3, 25 for SMTP).
ServerAddress parseServerAddress(std::string_view text, std::uint16_t defaultPort);

inline constexpr std::uint16_t kDefaultPopPort = 110;
inline constexpr std::uint16_t kDefaultSmtpPort = 25;

} // namespace settings
