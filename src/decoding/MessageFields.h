#pragma once

#include <string>

namespace decoding {

// Header fields of the message last shown; printing and replying read them. Each is the
// value as received (encoded words and all), or empty when the message has none.
struct MessageFields {
    std::string FromDate; // the first 16 characters of the Date value
    std::string FromAddress;
    std::string FromSubject;
    std::string ReplyToField;
    std::string XSenderField;
    std::string ApparentlyToField;
    std::string CcField;
};

} // namespace decoding
