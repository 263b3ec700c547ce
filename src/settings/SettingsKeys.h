#pragma once

#include <string_view>

// Every section and key name of the settings store, in one place. Names are
// case-sensitive; account sections are named by the account itself.
namespace settings::keys {

// The store belongs to this application.
inline constexpr std::string_view kApplication = "Corvane";

// --- Section "Settings" -------------------------------------------------------
inline constexpr std::string_view kSettings = "Settings";

inline constexpr std::string_view kIsp = "ISP";           // name of the active account
inline constexpr std::string_view kNbIsp = "nbISP";       // number of account-list slots
inline constexpr std::string_view kIspSlotPrefix = "ISP"; // "ISP0", "ISP1", ... (see SlotKey)

// Reader window.
inline constexpr std::string_view kTop = "Top";
inline constexpr std::string_view kLeft = "Left";
inline constexpr std::string_view kHeight = "Height";
inline constexpr std::string_view kWidth = "Width";

// Debug buffer window.
inline constexpr std::string_view kDeTop = "deTop";
inline constexpr std::string_view kDeLeft = "deLeft";
inline constexpr std::string_view kDeHeight = "deHeight";
inline constexpr std::string_view kDeWidth = "deWidth";

// Quoted-text window.
inline constexpr std::string_view kQuTop = "quTop";
inline constexpr std::string_view kQuLeft = "quLeft";
inline constexpr std::string_view kQuHeight = "quHeight";
inline constexpr std::string_view kQuWidth = "quWidth";

// Account setup dialog.
inline constexpr std::string_view kEsTop = "esTop";
inline constexpr std::string_view kEsLeft = "esLeft";

// Option switches of the reader window, stored as "True" / "False".
inline constexpr std::string_view kConfirmDelete = "ConfirmDelete";
inline constexpr std::string_view kKeepAlive = "KeepAlive";
inline constexpr std::string_view kShowHTML = "ShowHTML";
inline constexpr std::string_view kNoPictures = "NoPictures";
inline constexpr std::string_view kClearEmailInIMGTag = "ClearEmailInIMGTag";
inline constexpr std::string_view kFilterSpam = "FilterSpam";
inline constexpr std::string_view kFixedWidth = "FixedWidth";

inline constexpr std::string_view kFontSize = "FontSize"; // points of the message text
// "True" once the user was told that, without a keyring, passwords stay in this file.
inline constexpr std::string_view kNoKeyringNoted = "NoKeyringNoted";

// --- Account sections -----------------------------------------------------------
inline constexpr std::string_view kPOPAddress = "POPAddress";
inline constexpr std::string_view kSMTPAddress = "SMTPAddress";
inline constexpr std::string_view kEmailUsername = "EmailUsername";
inline constexpr std::string_view kSMTPDomain = "SMTPDomain";
inline constexpr std::string_view kEmailPass = "EmailPass"; // base64 of the password, or ""
inline constexpr std::string_view kEmailAuth =
    "EmailAuth"; // 0 None, 1 POP3, 2 Auth Login, 3 Auth Plain, 4 OAuth2
inline constexpr std::string_view kEmailFromName = "EmailFromName";
inline constexpr std::string_view kEmailFromDomain = "EmailFromDomain";
// "TLS", "STARTTLS" or "None"; see settings::SecurityFromText for a missing value.
inline constexpr std::string_view kPOPSecurity = "POPSecurity";
inline constexpr std::string_view kSMTPSecurity = "SMTPSecurity";
// A certificate the user chose to trust for the server: "SHA256:" + hex of the certificate.
inline constexpr std::string_view kPOPCertificate = "POPCertificate";
inline constexpr std::string_view kSMTPCertificate = "SMTPCertificate";
// "Password" (USER and PASS; also when missing), "SASL" or "OAuth2"; see settings::PopAuth.
inline constexpr std::string_view kPOPAuth = "POPAuth";
// OAuth2 sign-in of the account (see settings::OAuthConfig): "Google", "Microsoft" or "Custom",
// then the user's client registration and the provider's endpoints and scope.
inline constexpr std::string_view kOAuthProvider = "OAuthProvider";
inline constexpr std::string_view kOAuthClientId = "OAuthClientId";
inline constexpr std::string_view kOAuthClientSecret = "OAuthClientSecret";
inline constexpr std::string_view kOAuthAuthorizeUrl = "OAuthAuthorizeUrl";
inline constexpr std::string_view kOAuthTokenUrl = "OAuthTokenUrl";
inline constexpr std::string_view kOAuthScope = "OAuthScope";
// The refresh token, base64 wrapped as EmailPass is; "" while the keyring keeps it.
inline constexpr std::string_view kOAuthRefreshToken = "OAuthRefreshToken";

} // namespace settings::keys
