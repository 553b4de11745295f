// The read rule shared by streams over a buffer of fixed size (fixed memory, resources).
#pragma once

#include "Streams/KrStream.h"

#include <algorithm>
#include <cstring>

/// Copies up to n bytes from bytes[position..size) and advances position. Past the end:
/// read error and end of data, invalid_value; a short count: end of data.
inline streamsize_t KrReadFixedBuffer(TKrStream& stream, const char* bytes, streamsize_t size,
                                      streamsize_t& position, void* buf, streamsize_t n) {
    if (position > size) {
        stream.setState(stream.getState() | TKrStream::stReadError | TKrStream::stEndOfData);
        return TKrStream::invalid_value;
    }
    const streamsize_t count = std::min(n, size - position);
    if (count) std::memcpy(buf, bytes + position, count);
    position += count;
    if (count < n) stream.setState(stream.getState() | TKrStream::stEndOfData);
    return count;
}
