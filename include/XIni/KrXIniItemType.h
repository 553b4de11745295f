// XIni item types: their fixed numbers and the element letters that stand for them in XIni text.
#pragma once

#include <cstdint>

/// Scope of the item type enumeration. The numbers are part of the file format and of the
/// interfaces other modules are compiled against; they never change.
struct TE_KrXIniItemType {
    enum TKrXIniItemType : std::uint32_t {
        Invalid = 0, ///< no item (what readers report for a missing index)
        Section = 1, ///< element `x`: child items, no value
        Integer = 2, ///< element `i`: decimal or hexadecimal integer text
        Double = 3,  ///< element `d`: floating-point text in exponent form
        String = 4,  ///< element `s`: the string itself
        Binary = 5,  ///< element `b`: Base64 text of the bytes
    };
};
using TKrXIniItemType = TE_KrXIniItemType::TKrXIniItemType;

/// The element letter of a type: 'x', 'i', 'd', 's', 'b'; '?' for any other number. O(1).
constexpr char KrXIniItemLetter(TKrXIniItemType type) noexcept {
    switch (type) {
    case TE_KrXIniItemType::Section:
        return 'x';
    case TE_KrXIniItemType::Integer:
        return 'i';
    case TE_KrXIniItemType::Double:
        return 'd';
    case TE_KrXIniItemType::String:
        return 's';
    case TE_KrXIniItemType::Binary:
        return 'b';
    default:
        return '?';
    }
}

/// The type an element letter stands for; Invalid for any other character. O(1).
constexpr TKrXIniItemType KrXIniItemTypeFromLetter(char letter) noexcept {
    switch (letter) {
    case 'x':
        return TE_KrXIniItemType::Section;
    case 'i':
        return TE_KrXIniItemType::Integer;
    case 'd':
        return TE_KrXIniItemType::Double;
    case 's':
        return TE_KrXIniItemType::String;
    case 'b':
        return TE_KrXIniItemType::Binary;
    default:
        return TE_KrXIniItemType::Invalid;
    }
}
