// CRC-32 of gzip and zip: dispatch between the table and the folding kernels.
#include "Utils/KrCrc32.h"

#include "Core/KrExceptions.h"
#include "Utils/KrCrcKernels.h"

namespace {
constexpr std::uint32_t kReversed32 = 0xEDB88320u;
constexpr KrCrcDetail::TKrFoldConstants kFold32 =
    KrCrcDetail::MakeFoldConstants<std::uint32_t, kReversed32>();

std::uint32_t Crc32Along(KrCrcInternal::TKrCrcPath path, std::uint32_t crc, const void* data,
                         std::size_t length) {
    if (!data) return 0;
    const std::uint32_t state = KrCrcDetail::CrcUpdate<std::uint32_t, kReversed32>(
        path, ~crc, static_cast<const unsigned char*>(data), length, kFold32);
    return ~state;
}
} // namespace

std::uint32_t KrCrc32(std::uint32_t crc, const void* data, std::size_t length) {
    return Crc32Along(KrCrcDetail::BestPath(), crc, data, length);
}

namespace KrCrcInternal {
std::uint32_t Crc32Path(TKrCrcPath path, std::uint32_t crc, const void* data, std::size_t length) {
    KR_CHECK(KrCrcDetail::PathSupported(path));
    return Crc32Along(path, crc, data, length);
}
} // namespace KrCrcInternal
