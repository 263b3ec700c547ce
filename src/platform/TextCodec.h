#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace platform {

// The one place where message bytes cross into Qt text. Bytes are
// Windows-1252 characters unless a part declares another charset.
class TextCodec {
public:
    // Windows-1252 bytes to text. The five codes Windows-1252 leaves undefined
    // map to the control characters of the same value, so no byte is lost.
    static QString fromBytes(std::string_view bytes);
    // Text to Windows-1252 bytes; a character the set cannot hold becomes "?".
    static std::string toBytes(const QString& text);
};

} // namespace platform
