// CRC-64: dispatch between the table and the folding kernels.
#include "Utils/KrCrc64.h"

#include "Core/KrExceptions.h"
#include "Utils/KrCrcKernels.h"

namespace {
constexpr std::uint64_t kReversed64 = 0xA17870F5D4F51B49ull;
constexpr KrCrcDetail::TKrFoldConstants kFold64 =
    KrCrcDetail::MakeFoldConstants<std::uint64_t, kReversed64>();

std::uint64_t Crc64Along(KrCrcInternal::TKrCrcPath path, std::uint64_t crc, const void* data,
                         std::size_t length) {
    if (!data || !length) return crc;
    const std::uint64_t state = KrCrcDetail::CrcUpdate<std::uint64_t, kReversed64>(
        path, ~crc, static_cast<const unsigned char*>(data), length, kFold64);
    return ~state;
}
} // namespace

std::uint64_t crc64(std::uint64_t crc, const void* data, std::size_t length) {
    return Crc64Along(KrCrcDetail::BestPath(), crc, data, length);
}

namespace KrCrcInternal {
std::uint64_t Crc64Path(TKrCrcPath path, std::uint64_t crc, const void* data, std::size_t length) {
    KR_CHECK(KrCrcDetail::PathSupported(path));
    return Crc64Along(path, crc, data, length);
}
} // namespace KrCrcInternal
