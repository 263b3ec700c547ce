#pragma once

#include <string>
#include <string_view>

namespace session {

// The SASL mechanisms a login can use.
enum class SaslMechanism { Plain, ScramSha256, XOAuth2, OAuthBearer };

// The registered name ("PLAIN", "SCRAM-SHA-256", "XOAUTH2", "OAUTHBEARER").
std::string_view SaslName(SaslMechanism mechanism);

// The client side of one SASL exchange (RFC 4422), without the protocol's framing: the
// challenges and responses are the decoded bytes. PLAIN (RFC 4616), SCRAM-SHA-256 (RFC 5802,
// RFC 7677; the server's signature is checked), XOAUTH2 and OAUTHBEARER (RFC 7628).
class SaslClient {
public:
    static SaslClient Plain(std::string_view user, std::string_view password);
    // clientNonce: printable, without ","; RandomNonce() outside of tests.
    static SaslClient Scram(std::string_view user, std::string_view password,
                            std::string clientNonce);
    static SaslClient XOAuth2(std::string_view user, std::string_view accessToken);
    static SaslClient OAuthBearer(std::string_view user, std::string_view accessToken);

    // 24 random characters from the base64 alphabet.
    static std::string RandomNonce();

    // The server's iteration counts a SCRAM login accepts: fewer makes a recorded exchange
    // cheap to guess the password from, more would stall the program.
    static constexpr long kMinIterations = 4096;
    static constexpr long kMaxIterations = 600000;

    SaslMechanism mechanism() const { return mech; }

    // The client's first message. Sent with the command where it fits; else it answers the
    // server's first, empty challenge in respond().
    std::string initialResponse();
    const std::string& firstMessage() const { return first; }

    // Answers the server's challenge. False when the exchange cannot go on (error() says why
    // in a sentence): the login must be cancelled, never retried in a weaker way.
    bool respond(std::string_view challenge, std::string& response);

    // The server said the login succeeded. False when that cannot be believed: a SCRAM
    // server that never proved it knows the password (error() says so).
    bool accept();

    const std::string& error() const { return failure; }

private:
    enum class Stage { Start, FirstSent, FinalSent, Verified, Failed };

    explicit SaslClient(SaslMechanism mechanism) : mech(mechanism) {}
    bool fail(std::string sentence);
    bool scramFinal(std::string_view serverFirst, std::string& response);
    bool scramVerify(std::string_view serverFinal);

    SaslMechanism mech;
    Stage stage = Stage::Start;
    std::string first; // the initial response
    std::string password;
    std::string nonce;       // the client's; the server's extends it
    std::string firstBare;   // SCRAM client-first-message-bare
    std::string serverProof; // the ServerSignature expected
    std::string failure;
};

} // namespace session
