// The XIni save/load convention of persistent types, and its forms for TKrXIniTree itself.
#pragma once

#include "Core/KrExport.h"
#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniTree.h"
#include "XIni/KrXIniWriter.h"

#include <cstddef>
#include <string>

// Every persistent type T of the library offers, as overloads of these free functions:
//   XIniSaveE(TKrXIniWriter*, const T&)          its items into the current section, or throws;
//   XIniLoadE(TKrXIniReader*, size_t index, T&)  loads from the item at index, or throws.
// The by-name forms below are generic over those two; a type overloads them only when its
// by-name form differs (for example a type stored as a plain string item).

/// Writes the tree's items into the current section (MergeXIniE).
KRSTD_API void XIniSaveE(TKrXIniWriter* writer, const TKrXIniTree& tree);
/// Replaces `tree` with the section at index (ReadXIniTreeE).
KRSTD_API void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrXIniTree& tree);

namespace KrXIniInternal {
template <class T> struct TSameType { using type = T; };
} // namespace KrXIniInternal

/// Finds `name` from index 0 (FindFE) and loads the item there; throws when it is missing or
/// does not load.
template <class T> void XIniLoadSE(TKrXIniReader* reader, const std::string& name, T& value) {
    XIniLoadE(reader, reader->FindFE(name, 0), value);
}
template <class T> void XIniLoadSE(TKrXIniReader* reader, const char* name, T& value) {
    XIniLoadE(reader, reader->FindFE(name, 0), value);
}

/// XIniLoadSE that never throws: on any failure `value` is assigned `def`. Returns whether the
/// load succeeded.
template <class T>
bool XIniLoadS(TKrXIniReader* reader, const std::string& name, T& value,
               const typename KrXIniInternal::TSameType<T>::type& def) {
    try {
        XIniLoadSE(reader, name, value);
        return true;
    } catch (...) {
        value = def;
        return false;
    }
}
template <class T>
bool XIniLoadS(TKrXIniReader* reader, const char* name, T& value,
               const typename KrXIniInternal::TSameType<T>::type& def) {
    try {
        XIniLoadSE(reader, name, value);
        return true;
    } catch (...) {
        value = def;
        return false;
    }
}
