// Caller-owned pixel buffers (TKrDibDataOutBuffer), filling and copying them, and the reusable
// scratch buffer of the raster decorators (TKrDibBufferCache).
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Raster/KrDibRect.h"

#include <cstddef>
#include <cstdint>
#include <string>

class TKrDibChannels;

/// A caller-owned pixel buffer: the first byte of row 0 and the distance in bytes from the start
/// of one row to the start of the next (negative for bottom-up buffers). Rows hold pixels packed
/// one after the other; the stride may exceed a row's length. Sources only write into it.
struct TKrDibDataOutBuffer {
    char* data = nullptr;
    std::int64_t stride = 0;

    char* Row(std::int64_t row) const noexcept { return data + row * stride; }
    /// The buffer that starts at pixel (x, y) of this one.
    TKrDibDataOutBuffer Offset(std::int64_t x, std::int64_t y, std::size_t bytesPP) const noexcept {
        return {data + y * stride + x * static_cast<std::int64_t>(bytesPP), stride};
    }
};
static_assert(sizeof(TKrDibDataOutBuffer) == 16, "TKrDibDataOutBuffer is a pointer and a stride");

/// Checks that `out` can take size.y rows of size.x · bytesPP bytes: a data pointer for a
/// non-empty block, a row length and row span that fit 62 bits, and, for more than one row,
/// |stride| of at least the row length (rows must not overlap). Throws TKrMessage
/// "@<function>: ..." naming the failing figure. O(1).
KRSTD_API void KrCheckDibOutBuffer(const TKrDibDataOutBuffer& out, const TKrDibSize& size,
                                   std::size_t bytesPP, const char* function);

/// Writes `pixel` (exactly bytes-per-pixel bytes) into every pixel of the block: row 0 pixel by
/// pixel, then every row copied from the previous one. An empty pixel writes nothing.
KRSTD_API void FillDibColor(const TKrDibDataOutBuffer& out, const TKrDibSize& size, const std::string& pixel);
/// Zero bytes: one block when the stride equals the row length, else row by row.
KRSTD_API void FillDibDefaultColor(const TKrDibDataOutBuffer& out, const TKrDibSize& size,
                                   const TKrDibChannels& channels);
/// Random bytes, for tests (a fresh stream of a 64-bit mixing generator per call).
KRSTD_API void FillDibRandom(const TKrDibDataOutBuffer& out, const TKrDibSize& size, std::size_t bytesPP);
/// Copies size.y rows of size.x · bytesPP bytes from src to dst, each with its own stride.
KRSTD_API void KrCopyDibRect(const TKrDibDataOutBuffer& src, const TKrDibDataOutBuffer& dst,
                             const TKrDibSize& size, std::size_t bytesPP);

/// A reusable scratch buffer of at most limit × limit pixels. Reallocates only when a request
/// needs more bytes than it holds, so a decorator reading block after block allocates once.
/// One thread at a time.
class KRSTD_API TKrDibBufferCache {
public:
    TKrDibBufferCache() = default;
    explicit TKrDibBufferCache(std::size_t linearSizeLimit) : m_limit(linearSizeLimit) {}

    /// The largest width and height GetBuffer accepts.
    void SetLinerarSizeLimit(std::size_t limit) noexcept { m_limit = limit; }
    std::size_t GetLinerarSizeLimit() const noexcept { return m_limit; }

    /// A buffer of size.x × size.y pixels of bytesPP bytes, stride size.x · bytesPP (4 spare
    /// bytes at the end). Throws TKrMessage "@TKrDibBufferCache::GetBuffer: Requested size too
    /// big (<w> x <h>)." when a side exceeds the limit or bytesPP exceeds 2304; the previous
    /// buffer then stays valid. The result stays valid until the next call.
    const TKrDibDataOutBuffer& GetBuffer(const TKrDibSize& size, std::size_t bytesPP);
    std::size_t Capacity() const noexcept { return m_capacity; }

private:
    std::size_t m_limit = 65536;
    var_a<char*> m_memory;
    std::size_t m_capacity = 0;
    TKrDibDataOutBuffer m_buffer;
};
