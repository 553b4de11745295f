// Designations, paths and generic errors for XIni messages.
#include "XIni/KrXIniInternal.h"
#include "Core/KrExceptions.h"

#include <algorithm>
#include <cstring>

namespace KrXIniInternal {

int strcmp_x(const char* a, std::size_t lenA, const char* b, std::size_t lenB) noexcept {
    if (!a) lenA = 0;
    if (!b) lenB = 0;
    const std::size_t common = std::min(lenA, lenB);
    // memcmp, not strncmp: names may hold NUL bytes, and both compare as unsigned bytes.
    const int c = common ? std::memcmp(a, b, common) : 0;
    if (c != 0) return c;
    return lenA < lenB ? -1 : lenA > lenB ? 1 : 0;
}

std::string FormatItemName(std::size_t i) {
    return "<#" + std::to_string(i) + ">";
}

std::string FormatItemName(std::size_t i, TKrXIniItemType type) {
    std::string s = "<";
    s += KrXIniItemLetter(type);
    return s + "#" + std::to_string(i) + ">";
}

std::string FormatItemName(std::size_t i, TKrXIniItemType type, const std::string& name) {
    std::string s = "<";
    s += KrXIniItemLetter(type);
    return s + "#" + std::to_string(i) + " \"" + name + "\">";
}

std::string FormatItemName(std::size_t i, const TKrXIniTree::TItem* item) {
    if (!item) return FormatItemName(i);
    return item->name.empty() ? FormatItemName(i, item->type) : FormatItemName(i, item->type, item->name);
}

std::string FormatItemSearchName(std::size_t start) {
    return "<#" + std::to_string(start) + "+>";
}

std::string FormatItemSearchName(const std::string& name, std::size_t start) {
    return "<#" + std::to_string(start) + "+ \"" + name + "\">";
}

std::string FormatXPath1P(const std::string& a, const std::string& b) {
    return a + " " + b;
}

std::string FormatXPathP1(const std::string& a, const std::string& b) {
    return a + " " + b;
}

std::string FormatXPath(const TXPathLevels& levels, const std::string& leaf) {
    std::string path;
    for (const auto& [tree, index] : levels) {
        path += FormatItemName(index, tree ? tree->FindItem(index) : nullptr);
        path += ' ';
    }
    return path + leaf;
}

std::string FormatParseWhere(const TKrXIniTree* tree) {
    std::string where;
    for (const TKrXIniTree* level = tree; level;) {
        if (!where.empty()) where += ' ';
        const std::size_t n = level->Count();
        if (n == 0) {
            where += FormatItemSearchName(0);
            break;
        }
        const TKrXIniTree::TItem* last = level->FindItem(n - 1);
        where += FormatItemName(n - 1, last);
        level = last->child.get();
    }
    return where;
}

void throw_xread_error() {
    throw KrMsg_helper("Err_XIni_Read");
}

void throw_xwrite_error(const std::string& name) {
    if (name.empty()) throw KrMsg_helper("Err_XIni_Write");
    throw KrMsg_helper("Err_Write_name") << name;
}

} // namespace KrXIniInternal
