#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace session {

// What a server said it can do, from its reply to CAPA (RFC 2449). A server that refused
// CAPA is an old one and is treated as before CAPA existed: TOP is tried (its -ERR is
// handled per message), nothing else is assumed.
class Capabilities {
public:
    // The capabilities of a server that refused CAPA or was not asked.
    Capabilities() = default;
    // The multi-line reply to CAPA, status line and end mark included.
    static Capabilities FromReply(std::string_view reply);

    bool announced() const { return fromCapa; }
    // The tag (the line's first word) was listed, compared without regard to case.
    bool has(std::string_view tag) const;
    bool pipelining() const { return has("PIPELINING"); }
    // TOP may be used: listed, or the server did not say.
    bool top() const { return !fromCapa || has("TOP"); }
    bool uidl() const { return has("UIDL"); }
    // The "SASL" line names this mechanism (RFC 5034 section 6), compared without regard to
    // case.
    bool offersSasl(std::string_view mechanism) const;
    // The lines as the server sent them, for the debug buffer.
    const std::vector<std::string>& lines() const { return listed; }

private:
    bool fromCapa = false;
    std::vector<std::string> listed;
};

} // namespace session
