#pragma once

#include <span>
#include <string_view>

namespace modHTML2txt {

// A named character entity: its lower-case name and Windows-1252 code. Letters with a capital
// form carry both codes (small, capital); every other name has capital 0.
struct NamedEntity {
    std::string_view name;
    unsigned char small;
    unsigned char capital;
};

// Every name DecodeEntity knows, sorted by name.
std::span<const NamedEntity> NamedEntities();

// The entry for a lower-case name, or nullptr.
const NamedEntity* FindNamedEntity(std::string_view lowerName);

} // namespace modHTML2txt
