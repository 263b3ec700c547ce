#include "session/SaslClient.h"
#include "decoding/TestData.h"

#include <gtest/gtest.h>

using session::SaslClient;

namespace {

// RFC 7677 section 3.
const char* const kNonce = "rOprNGfwEbeRWgbNEkqO";
const char* const kServerFirst =
    "r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0,s=W22ZaJ0SNY7soEsUEjb6gQ==,i=4096";
const char* const kServerFinal = "v=6rriTRBi23WpRR/wtup+mMhUZUn/dB5nLTJRsjl95G4=";

} // namespace

TEST(SaslClient, ScramSha256TestVector) {
    SaslClient c = SaslClient::Scram("user", "pencil", kNonce);
    EXPECT_EQ(c.initialResponse(), "n,,n=user,r=rOprNGfwEbeRWgbNEkqO");
    std::string response;
    ASSERT_TRUE(c.respond(kServerFirst, response)) << c.error();
    SaslClient unproven = c; // a "+OK" before the server's signature
    EXPECT_FALSE(unproven.accept());
    EXPECT_NE(unproven.error().find("without proving"), std::string::npos);
    EXPECT_EQ(response, "c=biws,r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0,"
                        "p=dHzbZapWIk4jUhN+Ute9ytag9zjfMHgsqmmiz7AndVQ=");
    ASSERT_TRUE(c.respond(kServerFinal, response)) << c.error();
    EXPECT_EQ(response, "");
    EXPECT_TRUE(c.accept());
}

TEST(SaslClient, ScramFaultsEndTheSignIn) {
    for (const auto& row : testdata::Table("session/scram-faults.table", 3)) {
        SaslClient c = SaslClient::Scram("user", "pencil", kNonce);
        c.initialResponse();
        std::string response;
        bool ok = c.respond(row[0] == "FIRST" ? kServerFirst : row[0], response);
        if (row[1] != "-") {
            ASSERT_TRUE(ok) << row[0];
            ok = c.respond(row[1], response);
        }
        EXPECT_FALSE(ok) << row[0] << " / " << row[1];
        EXPECT_NE(c.error().find(row[2]), std::string::npos) << c.error();
        EXPECT_FALSE(c.accept()) << "a failed exchange must never count as a login";
    }
}

TEST(SaslClient, InitialResponsesAndLaterChallenges) {
    const struct {
        SaslClient client;
        std::string initial;
        std::string answerToChallenge; // "!" for: the challenge ends the exchange
    } rows[] = {
        {SaslClient::Plain("alice", "secret"), std::string("\0alice\0secret", 13), "!"},
        {SaslClient::XOAuth2("alice", "tok"),
         "user=alice\x01"
         "auth=Bearer tok\x01\x01",
         ""},
        {SaslClient::OAuthBearer("a,b=c", "tok"),
         "n,a=a=2Cb=3Dc,\x01"
         "auth=Bearer tok\x01\x01",
         "\x01"},
        {SaslClient::Scram("a,b=c", "x", "N"), "n,,n=a=2Cb=3Dc,r=N", "!"},
    };
    for (auto row : rows) {
        // Without the initial response on the command line, the first empty challenge asks
        // for it.
        std::string response;
        SaslClient late = row.client;
        ASSERT_TRUE(late.respond("", response));
        EXPECT_EQ(response, row.initial);
        EXPECT_EQ(row.client.initialResponse(), row.initial);
        const bool goesOn = row.client.respond("{\"status\":\"401\"}", response);
        EXPECT_EQ(goesOn, row.answerToChallenge != "!") << row.initial;
        if (goesOn) {
            EXPECT_EQ(response, row.answerToChallenge);
        }
    }
    std::string response;
    EXPECT_FALSE(SaslClient::Plain("a", "b").respond("x", response)) << "before the sign-in began";
}

TEST(SaslClient, RandomNoncesDiffer) {
    const std::string a = SaslClient::RandomNonce(), b = SaslClient::RandomNonce();
    EXPECT_EQ(a.size(), 24u);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.find(','), std::string::npos);
}
