// Coefficient items of the stored plane transforms: finite doubles written and read by name.
#pragma once

#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniWriter.h"

#include <cmath>
#include <cstddef>

namespace KrTransformItems {

/// Writes the doubles under the names, in order; a failing write throws the writer's error.
inline void Save(TKrXIniWriter* writer, const char* const* names, const double* values, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        writer->WriteSE(names[i], values[i]);
}

/// Reads the double items named, each found from index 0 (FindFE, ReadE): a missing or
/// malformed item throws the reader's error, and so does a NaN or infinite value, which no
/// transform can carry.
inline void Load(TKrXIniReader* reader, const char* const* names, double* values, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t index = reader->FindFE(names[i], 0);
        values[i] = reader->ReadE<double>(index);
        if (!std::isfinite(values[i])) reader->throw_error_value(index);
    }
}

} // namespace KrTransformItems
