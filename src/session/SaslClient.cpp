#include "session/SaslClient.h"

#include "decoding/Base64.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <charconv>
#include <stdexcept>
#include <utility>

namespace session {

namespace {

using modBase64::Base64Decode;
using modBase64::Base64Encode;

constexpr std::size_t kHashSize = 32;

std::string Hmac(std::string_view key, std::string_view data) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
              reinterpret_cast<const unsigned char*>(data.data()), data.size(), out, &size)) {
        throw std::runtime_error("HMAC-SHA-256 failed");
    }
    return std::string(reinterpret_cast<char*>(out), size);
}

std::string Sha256(std::string_view data) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!EVP_Digest(data.data(), data.size(), out, &size, EVP_sha256(), nullptr)) {
        throw std::runtime_error("SHA-256 failed");
    }
    return std::string(reinterpret_cast<char*>(out), size);
}

// A user name inside a SCRAM or GS2 header: "," and "=" are escaped (RFC 5802 section 5.1).
std::string SaslName(std::string_view user) {
    std::string out;
    for (char c : user) {
        out += c == ',' ? "=2C" : c == '=' ? "=3D" : std::string(1, c);
    }
    return out;
}

// The value of attribute `key` in a SCRAM message: attributes are split on ",", then on the
// first "=" only (a server's nonce may hold "=").
bool Attribute(std::string_view message, char key, std::string_view& value) {
    while (!message.empty()) {
        const std::size_t comma = message.find(',');
        const std::string_view part = message.substr(0, comma);
        if (part.size() >= 2 && part[0] == key && part[1] == '=') {
            value = part.substr(2);
            return true;
        }
        message = comma == std::string_view::npos ? std::string_view() : message.substr(comma + 1);
    }
    return false;
}

} // namespace

std::string_view SaslName(SaslMechanism mechanism) {
    switch (mechanism) {
    case SaslMechanism::Plain:
        return "PLAIN";
    case SaslMechanism::ScramSha256:
        return "SCRAM-SHA-256";
    case SaslMechanism::XOAuth2:
        return "XOAUTH2";
    case SaslMechanism::OAuthBearer:
        break;
    }
    return "OAUTHBEARER";
}

SaslClient SaslClient::Plain(std::string_view user, std::string_view password) {
    SaslClient c(SaslMechanism::Plain);
    c.first = '\0' + std::string(user) + '\0' + std::string(password);
    return c;
}

SaslClient SaslClient::Scram(std::string_view user, std::string_view password,
                             std::string clientNonce) {
    SaslClient c(SaslMechanism::ScramSha256);
    c.password = password;
    c.nonce = std::move(clientNonce);
    c.firstBare = "n=" + SaslName(user) + ",r=" + c.nonce;
    c.first = "n,," + c.firstBare; // no channel binding
    return c;
}

SaslClient SaslClient::XOAuth2(std::string_view user, std::string_view accessToken) {
    SaslClient c(SaslMechanism::XOAuth2);
    c.first = "user=" + std::string(user) + "\x01" + "auth=Bearer " + std::string(accessToken) +
              "\x01\x01";
    return c;
}

SaslClient SaslClient::OAuthBearer(std::string_view user, std::string_view accessToken) {
    SaslClient c(SaslMechanism::OAuthBearer);
    c.first =
        "n,a=" + SaslName(user) + ",\x01" + "auth=Bearer " + std::string(accessToken) + "\x01\x01";
    return c;
}

std::string SaslClient::RandomNonce() {
    unsigned char bytes[18];
    if (RAND_bytes(bytes, sizeof bytes) != 1) {
        throw std::runtime_error("no random bytes for the SCRAM nonce");
    }
    return Base64Encode(std::string_view(reinterpret_cast<char*>(bytes), sizeof bytes));
}

std::string SaslClient::initialResponse() {
    stage = Stage::FirstSent;
    return first;
}

bool SaslClient::fail(std::string sentence) {
    stage = Stage::Failed;
    failure = std::move(sentence);
    password.clear();
    return false;
}

bool SaslClient::respond(std::string_view challenge, std::string& response) {
    response.clear();
    switch (stage) {
    case Stage::Start:
        // AUTH went out without the initial response: the server asks for it.
        if (!challenge.empty()) {
            return fail("The server sent a challenge before the sign-in began.");
        }
        response = initialResponse();
        return true;
    case Stage::FirstSent:
        switch (mech) {
        case SaslMechanism::ScramSha256:
            return scramFinal(challenge, response);
        case SaslMechanism::XOAuth2:
            return true; // the server's reasons (JSON) come before its refusal: answer empty
        case SaslMechanism::OAuthBearer:
            response = "\x01"; // RFC 7628 section 3.2.3
            return true;
        case SaslMechanism::Plain:
            break;
        }
        return fail("The server sent an unexpected challenge.");
    case Stage::FinalSent:
        return scramVerify(challenge);
    case Stage::Verified:
    case Stage::Failed:
        break;
    }
    return fail("The server sent an unexpected challenge.");
}

bool SaslClient::scramFinal(std::string_view serverFirst, std::string& response) {
    if (serverFirst.empty()) {
        return fail("The server sent an empty challenge where the SCRAM salt was expected.");
    }
    std::string_view serverNonce, salt, count, unused;
    if (Attribute(serverFirst, 'm', unused)) {
        return fail("The server asks for a SCRAM extension that Corvane does not know.");
    }
    if (!serverFirst.starts_with("r=") || !Attribute(serverFirst, 'r', serverNonce) ||
        !Attribute(serverFirst, 's', salt) || !Attribute(serverFirst, 'i', count)) {
        return fail("The server's SCRAM challenge is malformed.");
    }
    if (serverNonce.size() <= nonce.size() || !serverNonce.starts_with(nonce)) {
        return fail("The server's SCRAM challenge does not continue this sign-in.");
    }
    long iterations = 0;
    const auto [end, err] = std::from_chars(count.data(), count.data() + count.size(), iterations);
    if (err != std::errc() || end != count.data() + count.size() || iterations < kMinIterations ||
        iterations > kMaxIterations) {
        return fail("The server asks for " + std::string(count) +
                    " SCRAM iterations; Corvane accepts " + std::to_string(kMinIterations) +
                    " to " + std::to_string(kMaxIterations) + ".");
    }
    const std::string saltBytes = Base64Decode(salt);
    if (saltBytes.empty()) {
        return fail("The server's SCRAM challenge is malformed.");
    }
    unsigned char salted[kHashSize];
    if (!PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                           reinterpret_cast<const unsigned char*>(saltBytes.data()),
                           static_cast<int>(saltBytes.size()), static_cast<int>(iterations),
                           EVP_sha256(), kHashSize, salted)) {
        return fail("SCRAM: PBKDF2 failed.");
    }
    const std::string_view saltedPassword(reinterpret_cast<char*>(salted), kHashSize);
    const std::string clientKey = Hmac(saltedPassword, "Client Key");
    const std::string withoutProof = "c=biws,r=" + std::string(serverNonce);
    const std::string authMessage = firstBare + "," + std::string(serverFirst) + "," + withoutProof;
    std::string proof = Hmac(Sha256(clientKey), authMessage);
    for (std::size_t i = 0; i < proof.size(); ++i) {
        proof[i] = static_cast<char>(proof[i] ^ clientKey[i]);
    }
    serverProof = Hmac(Hmac(saltedPassword, "Server Key"), authMessage);
    OPENSSL_cleanse(salted, sizeof salted);
    password.clear();
    response = withoutProof + ",p=" + Base64Encode(proof);
    stage = Stage::FinalSent;
    return true;
}

bool SaslClient::scramVerify(std::string_view serverFinal) {
    std::string_view value;
    if (Attribute(serverFinal, 'e', value)) {
        return fail("The server ended the SCRAM sign-in: " + std::string(value) + ".");
    }
    const std::string signature =
        Attribute(serverFinal, 'v', value) ? Base64Decode(value) : std::string();
    if (signature.size() != serverProof.size() ||
        CRYPTO_memcmp(signature.data(), serverProof.data(), signature.size()) != 0) {
        return fail("The server could not prove that it knows the password (its SCRAM "
                    "signature is wrong): it may not be the server it claims to be.");
    }
    stage = Stage::Verified;
    return true; // an empty response: POP3 has no success with data
}

bool SaslClient::accept() {
    if (mech == SaslMechanism::ScramSha256 && stage != Stage::Verified) {
        return fail("The server accepted the SCRAM sign-in without proving that it knows the "
                    "password: it may not be the server it claims to be.");
    }
    return stage != Stage::Failed;
}

} // namespace session
