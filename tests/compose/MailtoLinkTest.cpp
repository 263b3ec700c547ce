#include "compose/MailtoLink.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct MailtoCase {
    const char* name;
    std::string link;
    bool ok;
    const char* to;
    const char* subject;
    const char* body;
    const char* cc;
};

const MailtoCase kCases[] = {
    {"plain", "mailto:someone@example.org?subject=Hi", true, "someone@example.org", "Hi", "", ""},
    {"several addresses and to= adds", "mailto:a@x.org,b@x.org?to=c@x.org&cc=d@x.org", true,
     "a@x.org, b@x.org, c@x.org", "", "", "d@x.org"},
    {"percent and UTF-8", "mailto:%E6%97%A5@x.org?subject=Gr%C3%BC%C3%9Fe%20aus%20K%C3%B6ln", true,
     "\xE6\x97\xA5@x.org",
     "Gr\xC3\xBC\xC3\x9F"
     "e aus K\xC3\xB6ln",
     "", ""},
    {"body lines become CR LF", "mailto:a@x.org?body=one%0Atwo%0D%0Athree", true, "a@x.org", "",
     "one\r\ntwo\r\nthree", ""},
    {"field names in any case, unknown ignored", "mailto:?SUBJECT=s&In-Reply-To=%3Cx%3E&x", true,
     "", "s", "", ""},
    {"no addresses", "MAILTO:", true, "", "", "", ""},
    {"line break in subject", "mailto:a@x.org?subject=a%0D%0ABcc:%20v@x.org", false, "", "", "",
     ""},
    {"line break in to", "mailto:a@x.org%0ABcc:v@x.org", false, "", "", "", ""},
    {"NUL in body", "mailto:a@x.org?body=a%00b", false, "", "", "", ""},
    {"bad escape", "mailto:a@x.org?subject=100%", false, "", "", "", ""},
    {"bad escape digits", "mailto:a@x.org?subject=%G1", false, "", "", "", ""},
    {"not UTF-8", "mailto:a@x.org?subject=%FF", false, "", "", "", ""},
    {"not a mailto link", "http://example.org/", false, "", "", "", ""},
};

TEST(MailtoLink, Table) {
    for (const MailtoCase& c : kCases) {
        const compose::MailtoResult r = compose::ParseMailto(c.link);
        EXPECT_EQ(r.ok, c.ok) << c.name << ": " << r.error;
        if (r.ok && c.ok) {
            EXPECT_EQ(r.link.to, c.to) << c.name;
            EXPECT_EQ(r.link.subject, c.subject) << c.name;
            EXPECT_EQ(r.link.body, c.body) << c.name;
            EXPECT_EQ(r.link.cc, c.cc) << c.name;
        } else {
            EXPECT_FALSE(r.error.empty()) << c.name;
        }
    }
}

TEST(MailtoLink, HugeLinksAreRefusedOrTaken) {
    const std::string body(compose::kMaxMailtoLength - 100, 'x');
    const compose::MailtoResult big = compose::ParseMailto("mailto:a@x.org?body=" + body);
    ASSERT_TRUE(big.ok);
    EXPECT_EQ(big.link.body.size(), body.size());
    EXPECT_FALSE(compose::ParseMailto("mailto:a@x.org?body=" + body + std::string(200, 'y')).ok);
}

} // namespace
