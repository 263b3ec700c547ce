#include "compose/MailtoLink.h"
#include "decoding/TestData.h"

#include <gtest/gtest.h>

namespace {

TEST(MailtoLink, Table) {
    for (const auto& row : testdata::Table("compose/mailto.table")) {
        const compose::MailtoResult r = compose::ParseMailto(row[0]);
        const compose::MailtoLink& l = r.link;
        using Row = std::vector<std::string>;
        EXPECT_EQ((r.ok ? Row{row[0], l.to, l.subject, l.body, l.cc} : Row{row[0], "refused"}),
                  row);
        EXPECT_EQ(r.ok, r.error.empty()) << row[0];
    }
}

TEST(MailtoLink, HugeLinksAreRefusedOrTaken) {
    const std::string body(compose::kMaxMailtoLength - 100, 'x');
    const compose::MailtoResult big = compose::ParseMailto("mailto:a@x.org?body=" + body);
    EXPECT_EQ(big.ok ? big.link.body : "refused", body);
    EXPECT_FALSE(compose::ParseMailto("mailto:a@x.org?body=" + body + std::string(200, 'y')).ok);
}

} // namespace
