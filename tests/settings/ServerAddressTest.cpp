#include "settings/ServerAddress.h"

#include <gtest/gtest.h>

TEST(ServerAddress, FormsTheFieldsAccept) {
    const struct {
        const char* text;
        std::uint16_t defaultPort;
        const char* host; // "" when the text is refused
        std::uint16_t port;
    } cases[] = {
        {"pop.example.com", 110, "pop.example.com", 110},
        {"smtp.example.com", 25, "smtp.example.com", 25},
        {"pop.example.com:995", 110, "pop.example.com", 995},
        {"  mail.example.com:2525  ", 25, "mail.example.com", 2525},
        {"127.0.0.1:10110", 110, "127.0.0.1", 10110},
        {"[::1]:2110", 110, "::1", 2110},
        {"[::1]", 110, "::1", 110},
        {"::1", 110, "::1", 110},
        {"fe80::1%eth0", 25, "fe80::1%eth0", 25},
        {"host:65535", 110, "host", 65535},
        {"host:00110", 110, "host", 110},
        {"почта.example", 110, "почта.example", 110},
        {"", 110, "", 0},
        {"   ", 110, "", 0},
        {"host:", 110, "", 0},
        {"host:0", 110, "", 0},
        {"host:65536", 110, "", 0},
        {"host:99999999", 110, "", 0},
        {"host:11a", 110, "", 0},
        {":110", 110, "", 0},
        {"[::1", 110, "", 0},
        {"[::1]x", 110, "", 0},
        {"[::1]:", 110, "", 0},
        {"[]:110", 110, "", 0},
        {"[hostname]:110", 110, "", 0},
        {"two words", 110, "", 0},
        {"host/path", 110, "", 0},
        {"user@host", 110, "", 0},
    };
    for (const auto& c : cases) {
        const auto a = settings::parseServerAddress(c.text, c.defaultPort);
        EXPECT_EQ(a.valid, *c.host != '\0') << '"' << c.text << '"';
        EXPECT_EQ(a.host, c.host) << c.text;
        EXPECT_EQ(a.port, c.port) << c.text;
    }
}
