#include "settings/ServerAddress.h"

namespace settings {

namespace {

bool ParsePort(std::string_view text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5) {
        return false;
    }
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) {
        return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

// A host name or address: no blanks, control characters, brackets or slashes
// (those would end up in a URL or a resolver call).
bool PlausibleHost(std::string_view host) {
    if (host.empty()) {
        return false;
    }
    for (unsigned char c : host) {
        if (c <= ' ' || c == 0x7f || c == '[' || c == ']' || c == '/' || c == '\\' || c == '@') {
            return false;
        }
    }
    return true;
}

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

ServerAddress parseServerAddress(std::string_view text, std::uint16_t defaultPort) {
    ServerAddress result;
    text = Trim(text);
    std::string_view host;
    std::uint16_t port = defaultPort;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos) {
            return result;
        }
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':' || !ParsePort(rest.substr(1), port)) {
                return result;
            }
        }
        if (host.find(':') == std::string_view::npos && host.find('.') == std::string_view::npos) {
            return result; // brackets hold an IP literal, nothing else
        }
    } else {
        const auto colon = text.find(':');
        if (colon != std::string_view::npos &&
            text.find(':', colon + 1) == std::string_view::npos) {
            host = text.substr(0, colon);
            if (!ParsePort(text.substr(colon + 1), port)) {
                return result;
            }
        } else {
            host = text; // no colon, or a bare IPv6 address
        }
    }
    if (!PlausibleHost(host)) {
        return result;
    }
    result.host = std::string(host);
    result.port = port;
    result.valid = true;
    return result;
}

} // namespace settings
