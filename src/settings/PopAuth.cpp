#include "settings/PopAuth.h"

namespace settings {

std::string_view PopAuthText(PopAuth auth) {
    switch (auth) {
    case PopAuth::Sasl:
        return "SASL";
    case PopAuth::OAuth2:
        return "OAuth2";
    case PopAuth::Password:
        break;
    }
    return "Password";
}

PopAuth PopAuthFromText(std::string_view text) {
    return text == "SASL" ? PopAuth::Sasl : text == "OAuth2" ? PopAuth::OAuth2 : PopAuth::Password;
}

} // namespace settings
