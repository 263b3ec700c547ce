#pragma once

#include <cstddef>
#include <random>
#include <string>

// About bytes of random data as base64 in lines of 76 characters, as mail carries a file;
// the same seed gives the same text.
inline std::string Base64Lines(std::size_t bytes, unsigned seed) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::mt19937 rng(seed);
    std::string out;
    out.reserve(bytes * 4 / 3 + bytes / 28 + 8);
    for (std::size_t i = 0, column = 0; i < bytes * 4 / 3; ++i) {
        out += kAlphabet[rng() & 63];
        if (++column == 76) {
            out += "\r\n";
            column = 0;
        }
    }
    return out + "\r\n";
}
