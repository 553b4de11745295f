// Mapped file ranges that read as zeros, instead of killing the process, when the file shrinks.
#pragma once

#include <cstddef>

namespace KrXIniInternal {

/// Registers [begin, begin + length) (page-aligned, a private file mapping) so that a SIGBUS
/// inside it (the file was truncated by someone while mapped) maps a zero page over the faulting
/// page and lets the access go on; the range is then marked damaged. Installs the process's
/// SIGBUS handler on first use; faults elsewhere go to the handler that was there before (or
/// the default action). A handler installed later by the application replaces ours. Returns
/// the slot, or -1 when every slot is taken (map nothing then). Thread-safe, O(slots).
int KrMapGuardAdd(void* begin, std::size_t length) noexcept;
/// Forgets a slot from KrMapGuardAdd (before the range is unmapped); -1 is ignored.
void KrMapGuardRemove(int slot) noexcept;
/// True once a fault in the slot's range was answered with zeros.
bool KrMapGuardDamaged(int slot) noexcept;

} // namespace KrXIniInternal
