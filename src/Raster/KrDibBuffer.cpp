// Caller-owned pixel buffers: checks, filling, copying; the decorators' reusable scratch buffer.
#include "Raster/KrDibBuffer.h"
#include "Core/KrMessage.h"
#include "Raster/KrDibChannels.h"

#include <atomic>
#include <cstring>
#include <new>

namespace {
constexpr std::uint64_t kMaxSpan = std::uint64_t(1) << 62;

std::uint64_t Abs(std::int64_t v) {
    return v < 0 ? static_cast<std::uint64_t>(-(v + 1)) + 1 : static_cast<std::uint64_t>(v);
}

// Splitmix64: a fast, well-mixed stream from any seed.
std::uint64_t NextRandom(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}
std::atomic<std::uint64_t> g_randomSeed{0x243F6A8885A308D3ull};
} // namespace

void KrCheckDibOutBuffer(const TKrDibDataOutBuffer& out, const TKrDibSize& size, std::size_t bytesPP,
                         const char* function) {
    if (size.x == 0 || size.y == 0 || bytesPP == 0) return;
    if (size.x > kMaxSpan / bytesPP)
        throw TKrMessage(std::string("@") + function +
                         ": the row length overflows (%1% pixels of %2% bytes).")
            << size.x << static_cast<unsigned long>(bytesPP);
    const std::uint64_t row = size.x * bytesPP;
    if (!out.data)
        throw TKrMessage(std::string("@") + function + ": no output buffer for %1% x %2% pixels.")
            << size.x << size.y;
    if (size.y > 1) {
        const std::uint64_t stride = Abs(out.stride);
        if (stride < row)
            throw TKrMessage(std::string("@") + function +
                             ": the output stride %1% is below the row length %2%.")
                << static_cast<long>(out.stride) << row;
        if (size.y - 1 > (kMaxSpan - row) / stride)
            throw TKrMessage(std::string("@") + function +
                             ": the output span overflows (%1% rows of stride %2%).")
                << size.y << static_cast<long>(out.stride);
    }
}

void FillDibColor(const TKrDibDataOutBuffer& out, const TKrDibSize& size, const std::string& pixel) {
    const std::size_t bpp = pixel.size();
    if (bpp == 0 || size.x == 0 || size.y == 0) return;
    KrCheckDibOutBuffer(out, size, bpp, "FillDibColor");
    char* row0 = out.data;
    for (std::uint64_t i = 0; i < size.x; ++i)
        std::memcpy(row0 + i * bpp, pixel.data(), bpp);
    const std::size_t rowBytes = size.x * bpp;
    for (std::uint64_t j = 1; j < size.y; ++j)
        std::memcpy(out.Row(static_cast<std::int64_t>(j)), out.Row(static_cast<std::int64_t>(j) - 1),
                    rowBytes);
}

void FillDibDefaultColor(const TKrDibDataOutBuffer& out, const TKrDibSize& size,
                         const TKrDibChannels& channels) {
    const std::size_t bpp = channels.GetBytesPP();
    if (bpp == 0 || size.x == 0 || size.y == 0) return;
    KrCheckDibOutBuffer(out, size, bpp, "FillDibDefaultColor");
    const std::size_t rowBytes = size.x * bpp;
    if (out.stride == static_cast<std::int64_t>(rowBytes)) {
        std::memset(out.data, 0, rowBytes * size.y);
        return;
    }
    for (std::uint64_t j = 0; j < size.y; ++j)
        std::memset(out.Row(static_cast<std::int64_t>(j)), 0, rowBytes);
}

void FillDibRandom(const TKrDibDataOutBuffer& out, const TKrDibSize& size, std::size_t bytesPP) {
    if (bytesPP == 0 || size.x == 0 || size.y == 0) return;
    KrCheckDibOutBuffer(out, size, bytesPP, "FillDibRandom");
    std::uint64_t state = g_randomSeed.fetch_add(0x632BE59BD9B4E019ull);
    const std::size_t rowBytes = size.x * bytesPP;
    for (std::uint64_t j = 0; j < size.y; ++j) {
        char* row = out.Row(static_cast<std::int64_t>(j));
        std::size_t i = 0;
        for (; i + 8 <= rowBytes; i += 8) {
            const std::uint64_t r = NextRandom(state);
            std::memcpy(row + i, &r, 8);
        }
        if (i < rowBytes) {
            const std::uint64_t r = NextRandom(state);
            std::memcpy(row + i, &r, rowBytes - i);
        }
    }
}

void KrCopyDibRect(const TKrDibDataOutBuffer& src, const TKrDibDataOutBuffer& dst, const TKrDibSize& size,
                   std::size_t bytesPP) {
    if (bytesPP == 0 || size.x == 0 || size.y == 0) return;
    KrCheckDibOutBuffer(dst, size, bytesPP, "KrCopyDibRect");
    if (!src.data) throw TKrMessage("@KrCopyDibRect: no source buffer.");
    const std::size_t rowBytes = size.x * bytesPP;
    for (std::uint64_t j = 0; j < size.y; ++j)
        std::memcpy(dst.Row(static_cast<std::int64_t>(j)), src.Row(static_cast<std::int64_t>(j)), rowBytes);
}

const TKrDibDataOutBuffer& TKrDibBufferCache::GetBuffer(const TKrDibSize& size, std::size_t bytesPP) {
    if (size.x > m_limit || size.y > m_limit || bytesPP > kKrDibMaxBytesPP ||
        size.x > kMaxSpan / (bytesPP + 1) || (size.x && size.y > kMaxSpan / (size.x * (bytesPP + 1))))
        throw TKrMessage("@TKrDibBufferCache::GetBuffer: Requested size too big (%1% x %2%).")
            << size.x << size.y;
    const std::size_t bytes = size.x * bytesPP * size.y;
    if (bytes > m_capacity || !m_memory) {
        m_memory = newarray_a(new char[bytes + 4]);
        m_capacity = bytes;
    }
    m_buffer.data = m_memory.get();
    m_buffer.stride = static_cast<std::int64_t>(size.x * bytesPP);
    return m_buffer;
}
