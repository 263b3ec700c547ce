#include "html/Entities.h"

#include "html/HtmlToText.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace modHTML2txt {
namespace {

// The markup characters and the Latin-1 names of HTML 4.01 (codes 160..255). Only the
// lower-case name of a letter is held; its capital is found by the case the name is written in.
constexpr std::array<NamedEntity, 70> kEntities{{
    {"quot", 34, 0},      {"amp", 38, 0},       {"lt", 60, 0},        {"gt", 62, 0},
    {"nbsp", 160, 0},     {"iexcl", 161, 0},    {"cent", 162, 0},     {"pound", 163, 0},
    {"curren", 164, 0},   {"yen", 165, 0},      {"brvbar", 166, 0},   {"sect", 167, 0},
    {"uml", 168, 0},      {"copy", 169, 0},     {"ordf", 170, 0},     {"laquo", 171, 0},
    {"not", 172, 0},      {"shy", 173, 0},      {"reg", 174, 0},      {"macr", 175, 0},
    {"deg", 176, 0},      {"plusmn", 177, 0},   {"sup2", 178, 0},     {"sup3", 179, 0},
    {"acute", 180, 0},    {"micro", 181, 0},    {"para", 182, 0},     {"middot", 183, 0},
    {"cedil", 184, 0},    {"sup1", 185, 0},     {"ordm", 186, 0},     {"raquo", 187, 0},
    {"frac14", 188, 0},   {"frac12", 189, 0},   {"frac34", 190, 0},   {"iquest", 191, 0},
    {"agrave", 224, 192}, {"aacute", 225, 193}, {"acirc", 226, 194},  {"atilde", 227, 195},
    {"auml", 228, 196},   {"aring", 229, 197},  {"aelig", 230, 198},  {"ccedil", 231, 199},
    {"egrave", 232, 200}, {"eacute", 233, 201}, {"ecirc", 234, 202},  {"euml", 235, 203},
    {"igrave", 236, 204}, {"iacute", 237, 205}, {"icirc", 238, 206},  {"iuml", 239, 207},
    {"eth", 240, 208},    {"ntilde", 241, 209}, {"ograve", 242, 210}, {"oacute", 243, 211},
    {"ocirc", 244, 212},  {"otilde", 245, 213}, {"ouml", 246, 214},   {"times", 215, 0},
    {"oslash", 248, 216}, {"ugrave", 249, 217}, {"uacute", 250, 218}, {"ucirc", 251, 219},
    {"uuml", 252, 220},   {"yacute", 253, 221}, {"thorn", 254, 222},  {"szlig", 223, 0},
    {"divide", 247, 0},   {"yuml", 255, 0},
}};

constexpr std::array<NamedEntity, kEntities.size()> SortedByName() {
    auto table = kEntities;
    std::sort(table.begin(), table.end(),
              [](const NamedEntity& a, const NamedEntity& b) { return a.name < b.name; });
    return table;
}

constexpr auto kByName = SortedByName();

// Longest name in the table; longer names need no lookup.
constexpr std::size_t kMaxName = 6;

constexpr char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool AllDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

std::span<const NamedEntity> NamedEntities() {
    return kByName;
}

const NamedEntity* FindNamedEntity(std::string_view lowerName) {
    const auto it =
        std::lower_bound(kByName.begin(), kByName.end(), lowerName,
                         [](const NamedEntity& e, std::string_view name) { return e.name < name; });
    return it != kByName.end() && it->name == lowerName ? &*it : nullptr;
}

std::string DecodeEntity(std::string_view name) {
    std::string_view key = name;
    if (!key.empty() && key[0] == '#') {
        key.remove_prefix(1);
    }
    if (AllDigits(key)) {
        // Any number of digits: stop counting once the value is out of the byte range.
        unsigned value = 0;
        for (char c : key) {
            value = value * 10 + static_cast<unsigned>(c - '0');
            if (value > 255) {
                return {};
            }
        }
        return std::string(1, static_cast<char>(value));
    }
    if (key.size() > kMaxName) {
        return {};
    }
    char buffer[kMaxName];
    bool hasCapital = false;
    for (std::size_t i = 0; i < key.size(); ++i) {
        buffer[i] = Lower(key[i]);
        hasCapital = hasCapital || buffer[i] != key[i];
    }
    const NamedEntity* entity = FindNamedEntity(std::string_view(buffer, key.size()));
    if (entity == nullptr) {
        return {};
    }
    const unsigned char code = entity->capital != 0 && hasCapital ? entity->capital : entity->small;
    return std::string(1, static_cast<char>(code));
}

} // namespace modHTML2txt
