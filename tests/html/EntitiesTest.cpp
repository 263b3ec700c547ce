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

// The Latin-1 entities as HTML 4.01 spells them (capital letters with capital names), codes
// 160 to 255 in order: written this way every name must give its own code.
const char* const kLatin1[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

std::string WithCase(std::string s, bool upper) {
    for (char& c : s) {
        c = static_cast<char>(upper ? std::toupper(c) : std::tolower(c));
    }
    return s;
}

// Every name gives its own code, with or without "#". Names without a capital form ignore
// case; a letter name written with any capital gives the capital letter.
TEST(Entities, EveryLatin1Name) {
    for (int i = 0; i < 96; ++i) {
        const int code = 160 + i;
        EXPECT_EQ(DecodeEntity(kLatin1[i]), Char(code)) << kLatin1[i];
        EXPECT_EQ(DecodeEntity(std::string("#") + kLatin1[i]), Char(code)) << kLatin1[i];
        const bool letter = code >= 192 && code != 215 && code != 223 && code != 247 && code != 255;
        const std::string lower = WithCase(kLatin1[i], false);
        EXPECT_EQ(DecodeEntity(lower), Char(letter && code < 224 ? code + 32 : code)) << lower;
        EXPECT_EQ(DecodeEntity(WithCase(lower, true)),
                  Char(letter && code >= 224 ? code - 32 : code))
            << lower;
    }
}

TEST(Entities, Table) {
    const auto rows = testdata::Table("html/entities.table");
    ASSERT_GE(rows.size(), 40u);
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 2u);
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
