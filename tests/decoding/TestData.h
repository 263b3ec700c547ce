#pragma once

// Reading the files under tests/data: sample inputs and the expected values beside them.
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#ifndef CORVANE_TEST_DATA
#define CORVANE_TEST_DATA "tests/data"
#endif

namespace testdata {

inline std::filesystem::path Path(const std::string& relative) {
    return std::filesystem::path(CORVANE_TEST_DATA) / relative;
}

// A missing file throws, so a test can never pass on a table it did not read.
inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read test data " + path.string());
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Undoes the C escapes that expected values are written with: \r \n \t \\ and \xHH.
inline std::string Unescape(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
        } else if (const char c = s[++i]; c == 'x') {
            out += static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
        }
    }
    return out;
}

// The rows of a table file: one row per line, fields separated by tabs and written with C
// escapes ("\\#" for a leading "#"); empty lines and lines starting with "#" are left out.
// Fewer than minRows rows, or a row without the given number of fields (0: any), throws.
inline std::vector<std::vector<std::string>>
Table(const std::string& relative, std::size_t columns = 0, std::size_t minRows = 1) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream text(ReadFile(Path(relative)));
    for (std::string line; std::getline(text, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        rows.emplace_back();
        for (std::size_t from = 0, tab = 0; tab != std::string::npos; from = tab + 1) {
            tab = line.find('\t', from);
            rows.back().push_back(Unescape(std::string_view(line).substr(from, tab - from)));
        }
        if (columns != 0 && rows.back().size() != columns) {
            throw std::runtime_error(relative + ": a row without " + std::to_string(columns) +
                                     " fields: " + line);
        }
    }
    if (rows.size() < minRows) {
        throw std::runtime_error(relative + ": fewer than " + std::to_string(minRows) + " rows");
    }
    return rows;
}

// Every byte value once, in order.
inline std::string AllBytes() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes += static_cast<char>(b);
    }
    return bytes;
}

inline std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (auto& c : bytes) {
        c = static_cast<char>(rng());
    }
    return bytes;
}

} // namespace testdata
