#include "reader/FileText.h"

#include <gtest/gtest.h>

namespace {

TEST(CollectLines, EveryLineEndsInCrLf) {
    struct Case {
        const char* name;
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"empty file", "", ""},
        {"last line without end", "a\r\nb", "a\r\nb\r\n"},
        {"unix lines", "a\nb\n", "a\r\nb\r\n"},
        {"old mac lines", "a\rb\r", "a\r\nb\r\n"},
        {"mixed", "a\r\n\nb\r\rc", "a\r\n\r\nb\r\n\r\nc\r\n"},
        {"blank lines kept", "\r\n\r\n", "\r\n\r\n"},
        {"nul bytes kept", std::string("a\0b\n", 4), std::string("a\0b\r\n", 5)},
        {"lf then cr is two ends", "a\n\rb", "a\r\n\r\nb\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reader::CollectLines(c.in), c.out) << c.name;
    }
}

TEST(ListHeight, ShorterNeverBelowTheFloor) {
    struct Case {
        double height, row, shorter;
    };
    const Case cases[] = {
        {1740, 195, 1545}, {1595, 195, 1400}, {1594, 195, 1400},
        {1400, 195, 1400}, {1500, 195, 1400},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(reader::ShorterList(c.height, c.row), c.shorter) << c.height;
        EXPECT_DOUBLE_EQ(reader::LongerList(c.height, c.row), c.height + c.row);
    }
}

} // namespace
