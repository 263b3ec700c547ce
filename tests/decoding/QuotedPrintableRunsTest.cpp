#include "decoding/QuotedPrintable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Plain runs are scanned a word at a time: an escape, a soft break or a lone "=" must be
// found at every offset within and across words, and at the very end.
TEST(DecodeQPRuns, EscapesAtEveryOffset) {
    for (std::size_t before = 0; before <= 17; ++before) {
        for (std::size_t after = 0; after <= 17; ++after) {
            const std::string a(before, 'a'), b(after, 'b');
            EXPECT_EQ(decoding::DecodeQP(a + "=41" + b), a + "A" + b) << before << " " << after;
            EXPECT_EQ(decoding::DecodeQP(a + "=\r\n" + b), a + b);
            EXPECT_EQ(decoding::DecodeQP(a + "=4" + b), a + "=4" + b);
            EXPECT_EQ(decoding::DecodeQP(a + "=e9=E9" + b), a + "=e9\xE9" + b);
        }
        EXPECT_EQ(decoding::DecodeQP(std::string(before, 'c') + "="),
                  std::string(before, 'c') + "=");
    }
}

} // namespace
