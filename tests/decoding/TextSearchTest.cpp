#include "decoding/TextSearch.h"

#include "decoding/TestData.h"

#include <gtest/gtest.h>

#include <string>

using namespace decoding;

namespace {

TEST(TextSearch, UpperAsciiChangesOnlyAsciiLetters) {
    const std::string all = testdata::AllBytes();
    for (std::size_t shift = 0; shift < 16; ++shift) { // every alignment of the word loop
        const std::string text = all.substr(shift) + all.substr(0, shift);
        const std::string upper = UpperAscii(text);
        ASSERT_EQ(upper.size(), text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            const auto expected = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
            ASSERT_EQ(upper[i], expected) << int(c);
        }
    }
}

TEST(TextSearch, Finds) {
    const auto at = [](const std::string& field) {
        return field == "-" ? NotFound : std::stoul(field);
    };
    for (const auto& row : testdata::Table("decoder/search.table", 6)) {
        if (row[3] == "-") {
            EXPECT_EQ(FindText(row[0], row[1], at(row[2])), at(row[4])) << row[0] << "/" << row[1];
        }
        EXPECT_EQ(FindTextNoCase(row[0], row[1], at(row[2]), at(row[3])), at(row[5]))
            << row[0] << "/" << row[1];
    }
}

// Long texts are searched window by window: matches across every window edge are found.
TEST(TextSearch, FindsAcrossWindowEdges) {
    const std::string needle = "Boundary";
    for (std::size_t at : {0, 4090, 4093, 4095, 4096, 12282, 12285, 12288, 28670, 28673, 60000}) {
        std::string text(70000, '-');
        text.replace(at, needle.size(), needle);
        for (std::size_t from : {std::size_t{0}, std::size_t{1}, at, at + 1}) {
            EXPECT_EQ(FindText(text, needle, from), text.find(needle, from)) << at << "/" << from;
        }
        text.resize(at + needle.size() - 1); // cut in the middle of the match
        EXPECT_EQ(FindText(text, needle), NotFound);
    }
}

TEST(TextSearch, ForwardFinderGivesPlainSearchResults) {
    const std::string text = "..x...x..x";
    ForwardFinder finder(text, "x");
    for (std::size_t from : {0, 0, 2, 3, 7, 8, 11, 1, 10}) {
        EXPECT_EQ(finder.From(from), FindText(text, "x", from)) << from;
    }
}

} // namespace
