// Names for copies of named things: "name [2]", "name copy [3]" and the next free one of them.
#pragma once

#include "Core/KrExport.h"

#include <functional>
#include <string>

/// `name` for index 0, otherwise `name` + " [" + index + "]" ("log" and 2 give "log [2]").
KRSTD_API std::string MakeCopyNameIndex(const std::string& name, unsigned long long index);

/// The name of the next copy in the family of `name`.
///
/// A name is read as a base and an index: a trailing " [n]" (n of 1 to 19 decimal digits, not
/// overflowing, not 0) is the index, otherwise the index is 0. The family is the base when
/// `suffix` is empty or the base already ends with it; otherwise the first copy is the whole
/// name + `suffix`, without an index, and starts a family of its own ("Plan [2]" and " copy"
/// give "Plan [2] copy"). Further copies are numbered from 2 on, a member without an index
/// counting as the first:
///   MakeCopyName("Plan", "")          -> "Plan [2]"
///   MakeCopyName("Plan [2]", "")      -> "Plan [3]"
///   MakeCopyName("Plan", " copy")     -> "Plan copy"
///   MakeCopyName("Plan copy", " copy")-> "Plan copy [2]"
/// When the next index would overflow, the whole name becomes a new family ("name [2]").
KRSTD_API std::string MakeCopyName(const std::string& name, const std::string& suffix);

/// As MakeCopyName, then moves on through the family (the next index each time) while
/// `is_taken` reports the candidate as taken, and returns the first free one. Cost: one call of
/// `is_taken` per candidate; a null `is_taken` takes nothing. A predicate that reports every
/// name as taken never lets the call return.
KRSTD_API std::string MakeCopyName(const std::string& name, const std::string& suffix,
                                   const std::function<bool(const std::string&)>& is_taken);
