// Settings persistence of TKrDateTime: a string item holding its ISO 8601 text with milliseconds and local
// offset.
#pragma once

#include "Utils/KrDateTime.h"
#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniSerialize.h"
#include "XIni/KrXIniWriter.h"

#include <cstddef>
#include <string>

// Text that is no valid date-time reads as the value 0 ("no time set"), without an error: a
// damaged time stamp should not make a whole settings file unreadable. The text keeps whole
// milliseconds, so a value read back is its ticks rounded down to the millisecond.

/// Writes ToRFCString() as the string item `name`; returns the writer's success flag.
template <>
inline bool TKrXIniWriter::WriteS<TKrDateTime>(const std::string& name, const TKrDateTime& value) {
    return WriteS_x_string(name, value.ToRFCString());
}

/// The string item at `index` converted with FromRFCString; `def` itself when the item is
/// missing or no string.
template <> inline TKrDateTime TKrXIniReader::Read<TKrDateTime>(std::size_t index, TKrDateTime def) {
    const std::string fallback = def.ToRFCString();
    const std::string text = Read_x_string(index, fallback);
    return text == fallback ? def : TKrDateTime::FromRFCString(text);
}
/// The same, throwing the reader's error for a missing or mistyped item.
template <> inline TKrDateTime TKrXIniReader::ReadE<TKrDateTime>(std::size_t index) {
    return TKrDateTime::FromRFCString(ReadE_x_string(index));
}

/// WriteS<TKrDateTime>, calling the writer's failure operation (which throws) when it fails.
KRSTD_API void XIniSaveSE(TKrXIniWriter* writer, const std::string& name, const TKrDateTime& value);
/// Finds `name` from the start of the current section and reads it as ReadE<TKrDateTime> does.
KRSTD_API void XIniLoadSE(TKrXIniReader* reader, const std::string& name, TKrDateTime& value);
KRSTD_API void XIniLoadSE(TKrXIniReader* reader, const char* name, TKrDateTime& value);
/// Reads the string item `name` with the value's own text as default, so a missing item leaves
/// the value (rounded down to whole milliseconds by the text form). Never throws for a missing
/// or mistyped item.
KRSTD_API void XIniLoadS(TKrXIniReader* reader, const std::string& name, TKrDateTime& value);
KRSTD_API void XIniLoadS(TKrXIniReader* reader, const char* name, TKrDateTime& value);
/// ReadE<TKrDateTime>(index).
KRSTD_API void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrDateTime& value);
