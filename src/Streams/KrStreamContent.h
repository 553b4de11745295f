// Direct access to the bytes of streams that keep their whole content in one buffer.
#pragma once

#include "Streams/KrStream.h"

namespace KrStreamInternal {
/// The content of a memory, string or readable fixed-memory stream (exactly these classes: a
/// subclass may read differently), so that a reader can take bytes in place instead of copying
/// them out through Read. Null for any other stream. The pointer is valid until the stream
/// changes; readers call this again rather than keep it across calls.
const char* ContiguousContent(TKrStream* s);
} // namespace KrStreamInternal
