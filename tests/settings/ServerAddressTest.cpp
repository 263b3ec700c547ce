#include "settings/ServerAddress.h"

#include <gtest/gtest.h>

using settings::parseServerAddress;

TEST(ServerAddress, FormsTheFieldsAccept) {
    const struct {
        const char* text;
        std::uint16_t defaultPort;
        bool valid;
        const char* host;
        std::uint16_t port;
    } cases[] = {
        {"pop.example.com", 110, true, "pop.example.com", 110},
        {"smtp.example.com", 25, true, "smtp.example.com", 25},
        {"pop.example.com:995", 110, true, "pop.example.com", 995},
        {"  mail.example.com:2525  ", 25, true, "mail.example.com", 2525},
        {"127.0.0.1:10110", 110, true, "127.0.0.1", 10110},
        {"[::1]:2110", 110, true, "::1", 2110},
        {"[::1]", 110, true, "::1", 110},
        {"::1", 110, true, "::1", 110},
        {"fe80::1%eth0", 25, true, "fe80::1%eth0", 25},
        {"host:65535", 110, true, "host", 65535},
        {"host:00110", 110, true, "host", 110},
        // Refused.
        {"", 110, false, "", 0},
        {"   ", 110, false, "", 0},
        {"host:", 110, false, "", 0},
        {"host:0", 110, false, "", 0},
        {"host:65536", 110, false, "", 0},
        {"host:99999999", 110, false, "", 0},
        {"host:11a", 110, false, "", 0},
        {":110", 110, false, "", 0},
        {"[::1", 110, false, "", 0},
        {"[::1]x", 110, false, "", 0},
        {"[::1]:", 110, false, "", 0},
        {"[]:110", 110, false, "", 0},
        {"[hostname]:110", 110, false, "", 0},
        {"two words", 110, false, "", 0},
        {"host/path", 110, false, "", 0},
        {"user@host", 110, false, "", 0},
    };
    for (const auto& c : cases) {
        const auto a = parseServerAddress(c.text, c.defaultPort);
        EXPECT_EQ(a.valid, c.valid) << '"' << c.text << '"';
        if (c.valid) {
            EXPECT_EQ(a.host, c.host) << c.text;
            EXPECT_EQ(a.port, c.port) << c.text;
        }
    }
}
