#include "html/Entities.h"
#include "html/HtmlToText.h"

#include "decoding/TestData.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

using modHTML2txt::DecodeEntity;

namespace {

std::string Char(int code) {
    return std::string(1, static_cast<char>(code));
}

std::string WithCase(std::string s, bool upper) {
    for (char& c : s) {
        c = static_cast<char>(upper ? std::toupper(c) : std::tolower(c));
    }
    return s;
}

// Every name gives its own code, with or without "#". Names without a capital form ignore
// case; a letter name written with any capital gives the capital letter.
TEST(Entities, EveryLatin1Name) {
    for (const auto& row : testdata::Table("html/latin1.table", 2, 96)) {
        const int code = std::stoi(row[1]);
        EXPECT_EQ(DecodeEntity(row[0]), Char(code)) << row[0];
        EXPECT_EQ(DecodeEntity("#" + row[0]), Char(code)) << row[0];
        const bool letter = code >= 192 && code != 215 && code != 223 && code != 247 && code != 255;
        const std::string lower = WithCase(row[0], false);
        EXPECT_EQ(DecodeEntity(lower), Char(letter && code < 224 ? code + 32 : code)) << lower;
        EXPECT_EQ(DecodeEntity(WithCase(lower, true)),
                  Char(letter && code >= 224 ? code - 32 : code))
            << lower;
    }
}

TEST(Entities, Table) {
    for (const auto& row : testdata::Table("html/entities.table", 2, 40)) {
        EXPECT_EQ(DecodeEntity(row[0]), row[1]) << row[0];
    }
    EXPECT_EQ(DecodeEntity(""), "");
    EXPECT_EQ(DecodeEntity("#" + std::string(5000, '0') + "65"), "A");
    EXPECT_EQ(DecodeEntity("#" + std::string(5000, '9')), "");
    for (int code = 0; code < 256; ++code) {
        EXPECT_EQ(DecodeEntity("#" + std::to_string(code)), Char(code)) << code;
    }
}

} // namespace
