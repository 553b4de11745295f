// KrXIniInternal: item designations, section paths and where-texts for XIni error messages, and
// the generic XIni read and write errors.
#pragma once

#include "Core/KrExport.h"
#include "XIni/KrXIniItemType.h"
#include "XIni/KrXIniTree.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

/// Helpers shared by the XIni readers and writers. Designations name an item inside its section:
/// "<#3>" (index only), "<x#3>" (with the type letter), "<s#0 \"Title\">" (with the name);
/// search designations name "from this index on": "<#3+>", "<#3+ \"name\">".
namespace KrXIniInternal {

/// The stack of entered sections from the root outward-in: each level is the tree holding the
/// entered section and the section's index in it.
using TXPathLevels = std::vector<std::pair<const TKrXIniTree*, std::size_t>>;

/// XIni name order: byte-wise, case-sensitive; on a common prefix the shorter name sorts first.
/// Returns <0, 0 or >0. Null pointers read as empty names.
KRSTD_API int strcmp_x(const char* a, std::size_t lenA, const char* b, std::size_t lenB) noexcept;

/// "<#i>".
KRSTD_API std::string FormatItemName(std::size_t i);
/// "<L#i>" with L the type's element letter ('?' outside 1..5).
KRSTD_API std::string FormatItemName(std::size_t i, TKrXIniItemType type);
/// "<L#i \"name\">" (the name raw, even when empty).
KRSTD_API std::string FormatItemName(std::size_t i, TKrXIniItemType type, const std::string& name);
/// The named form for an item with a name, the typed form for an unnamed one, "<#i>" for null.
KRSTD_API std::string FormatItemName(std::size_t i, const TKrXIniTree::TItem* item);

/// "<#start+>": whatever is found from index start on.
KRSTD_API std::string FormatItemSearchName(std::size_t start);
/// "<#start+ \"name\">": the item named `name` searched from index start on.
KRSTD_API std::string FormatItemSearchName(const std::string& name, std::size_t start);

/// Both join two path pieces with one blank: "a b".
KRSTD_API std::string FormatXPath1P(const std::string& a, const std::string& b);
KRSTD_API std::string FormatXPathP1(const std::string& a, const std::string& b);

/// The designation of each level (FormatItemName of the entered item), outermost first,
/// separated by blanks and followed by `leaf`. A level whose tree is null or whose index is out
/// of range is designated by its index alone. O(levels).
KRSTD_API std::string FormatXPath(const TXPathLevels& levels, const std::string& leaf);

/// Where parsing stopped in a partly built tree: from `tree` down along the last item of each
/// level, each last item designated (separated by blanks); an empty level ends the text with
/// "<#0+>". Empty for a null tree. O(depth).
KRSTD_API std::string FormatParseWhere(const TKrXIniTree* tree);

/// Throws the generic read error "Err_XIni_Read".
[[noreturn]] KRSTD_API void throw_xread_error();
/// Throws "Err_XIni_Write" for an empty stream name, otherwise "Err_Write_name" with the name.
[[noreturn]] KRSTD_API void throw_xwrite_error(const std::string& name);

/// Called before floating-point text is formatted or parsed, to put the FPU into the state the
/// conversions expect. Nothing is needed on this platform.
inline void RepairFPU() noexcept {}

} // namespace KrXIniInternal
