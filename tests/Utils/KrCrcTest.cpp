// CRC-32 against zlib and gzip, CRC-64 against a bit-at-a-time model, on every code path this
// processor runs; crc32 beside zlib's C function of the same name.
#include "Utils/KrCrc32.h"
#include "Utils/KrCrc64.h"
#include "Utils/KrCrcInternal.h"

#include "System/KrFsTestUtils.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <type_traits>
#include <utility>
#include <vector>

using namespace KrCrcInternal;
using namespace KrFsTest;

namespace {
// Which function each call form reaches when both headers are included.
static_assert(std::is_same<decltype(crc32(0L, Z_NULL, 0)), uLong>::value, "zlib's initial-value idiom");
static_assert(
    std::is_same<decltype(crc32(0UL, std::declval<const unsigned char*>(), std::size_t(5))), uLong>::value,
    "bytes: zlib");
static_assert(std::is_same<decltype(crc32(0U, std::declval<const char*>(), 5U)), std::uint32_t>::value,
              "chars: ours");
static_assert(std::is_same<decltype(crc32(0, "abc", 3)), std::uint32_t>::value, "literal: ours");

std::vector<TKrCrcPath> SupportedPaths() {
    std::vector<TKrCrcPath> paths;
    for (TKrCrcPath p : {Crc_Table, Crc_Clmul, Crc_Clmul512})
        if (CrcPathSupported(p)) paths.push_back(p);
    return paths;
}

// zlib is linked into the library, not into this test: its crc32 is reached through the loader.
using TZlibCrc32 = uLong (*)(uLong, const Bytef*, uInt);
TZlibCrc32 ZlibCrc32() {
    static const TZlibCrc32 fn = [] {
        void* lib = dlopen("libz.so.1", RTLD_NOW);
        return lib ? reinterpret_cast<TZlibCrc32>(dlsym(lib, "crc32")) : nullptr;
    }();
    return fn;
}

// One bit at a time, straight from the polynomial: shares nothing with the tables or the folding.
std::uint64_t Crc64Model(std::uint64_t crc, const char* p, std::size_t n) {
    crc = ~crc;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= static_cast<unsigned char>(p[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA17870F5D4F51B49ull : crc >> 1;
    }
    return ~crc;
}
} // namespace

TEST(Crc, MatchReferencesOnEveryPathLengthAndAlignment) {
    ASSERT_NE(ZlibCrc32(), nullptr);
    const std::string buf = RandomBytes((1 << 20) + 64, 1);
    const auto* bytes = reinterpret_cast<const Bytef*>(buf.data());
    // Every length up to a few turns of the widest loop crosses each kernel's set-up and tails. A
    // previous sum other than 0 on every call makes this the check of feeding data in pieces too.
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 2300; ++n)
        lengths.push_back(n);
    for (std::size_t n : {4096, 65536 + 17, 1 << 20})
        lengths.push_back(n);
    for (TKrCrcPath path : SupportedPaths()) {
        SCOPED_TRACE(CrcPathName(path));
        for (std::size_t n : lengths) {
            const std::size_t start = n % 61; // starts of every alignment
            const std::uint32_t previous = static_cast<std::uint32_t>(n * 2654435761u);
            ASSERT_EQ(Crc32Path(path, previous, buf.data() + start, n),
                      ZlibCrc32()(previous, bytes + start, uInt(n)))
                << "length " << n << " start " << start;
            if (n > 70000) continue; // the bitwise model is slow
            ASSERT_EQ(Crc64Path(path, previous, buf.data() + start, n),
                      Crc64Model(previous, buf.data() + start, n))
                << "length " << n << " start " << start;
        }
    }
    // The well-known check values, through the public names.
    EXPECT_EQ(crc32(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(crc32(0, "The quick brown fox jumps over the lazy dog", 43), 0x414FA339u);
    EXPECT_EQ(crc64(0, buf.data(), 100000), Crc64Model(0, buf.data(), 100000));
}

TEST(Crc, NullDataAndEmptyInput) {
    const char* none = nullptr;
    for (std::uint32_t previous : {0u, 1u, 0xFFFFFFFFu, 0xCBF43926u})
        for (std::size_t n : {std::size_t(0), std::size_t(1), std::size_t(1) << 40}) {
            EXPECT_EQ(crc32(previous, none, n), 0u);
            EXPECT_EQ(crc64(previous, none, n), previous);
        }
    EXPECT_EQ(crc32(0xCBF43926u, "x", 0), 0xCBF43926u);
    EXPECT_EQ(crc64(0x1234567890ABCDEFull, "x", 0), 0x1234567890ABCDEFull);
}

TEST(Crc, KrtoolCrc32IsGzipsTrailer) {
    const std::string krtool = Krtool();
    if (krtool.empty()) GTEST_SKIP() << "this build has no krtool";
    TScratchDir dir;
    const std::string data = RandomBytes((3 << 20) + 5, 3); // several read blocks
    dir.Write("data", data);
    // The gzip trailer holds the CRC-32 of the data, least significant byte first.
    const std::string gz = RunShell(dir.path, "gzip -c data");
    ASSERT_GE(gz.size(), 8u);
    unsigned trailer = 0;
    for (int i = 3; i >= 0; --i)
        trailer = trailer << 8 | static_cast<unsigned char>(gz[gz.size() - 8 + i]);
    char line[64];
    std::snprintf(line, sizeof line, "%08x  data\n", trailer);
    EXPECT_EQ(RunShell(dir.path, krtool + "crc32 data"), line);
    std::snprintf(line, sizeof line, "%016llx  -\n", (unsigned long long)crc64(0, data.data(), data.size()));
    EXPECT_EQ(RunShell(dir.path, krtool + "crc64 < data"), line);
}
