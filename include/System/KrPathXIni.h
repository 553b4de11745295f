// Settings persistence of TKrPath: a path is a string item holding its text.
#pragma once

#include "System/KrPath.h"
#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniSerialize.h"
#include "XIni/KrXIniWriter.h"

/// Writes the path's text as the string item `name`.
template <> inline bool TKrXIniWriter::WriteS<TKrPath>(const std::string& name, const TKrPath& value) {
    return WriteS<std::string>(name, value.str());
}

/// The string item at `index`, normalised as a path; `def` when it is missing or no string.
template <> inline TKrPath TKrXIniReader::Read<TKrPath>(std::size_t index, TKrPath def) {
    const std::string text = Read_x_string(index, def.str());
    return text == def.str() ? def : TKrPath(text);
}
/// The same, throwing the reader's error for a missing or mistyped item.
template <> inline TKrPath TKrXIniReader::ReadE<TKrPath>(std::size_t index) {
    return TKrPath(ReadE_x_string(index));
}

/// WriteS<TKrPath>, throwing the writer's error on failure.
KRSTD_API void XIniSaveSE(TKrXIniWriter* writer, const std::string& name, const TKrPath& path);
/// Loads the string item at `index` as a path (XIniLoadSE and XIniLoadS find it by name).
KRSTD_API void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrPath& path);
