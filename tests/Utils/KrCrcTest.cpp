// CRC-32 against zlib and CRC-64 against a bit-at-a-time model, on every code path this
// processor runs; crc32 beside zlib's C function of the same name.
#include "Utils/KrCrc32.h"
#include "Utils/KrCrc64.h"
#include "Utils/KrCrcInternal.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <random>
#include <type_traits>
#include <vector>

using namespace KrCrcInternal;

namespace {

// Which function each call form reaches when both headers are included.
const unsigned char* g_bytes = nullptr;
const char* g_chars = nullptr;
static_assert(std::is_same<decltype(crc32(0L, Z_NULL, 0)), uLong>::value, "zlib's initial-value idiom");
static_assert(std::is_same<decltype(crc32(0UL, g_bytes, 5U)), uLong>::value, "unsigned char data: zlib");
static_assert(std::is_same<decltype(crc32(0UL, g_bytes, std::size_t(5))), uLong>::value,
              "size_t length: zlib");
static_assert(std::is_same<decltype(crc32(0U, g_chars, std::size_t(5))), std::uint32_t>::value,
              "char data: ours");
static_assert(std::is_same<decltype(crc32(0, "abc", 3)), std::uint32_t>::value, "literal: ours");

std::vector<unsigned char> RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::vector<unsigned char> v(n);
    for (auto& b : v)
        b = static_cast<unsigned char>(gen());
    return v;
}

std::vector<TKrCrcPath> SupportedPaths() {
    std::vector<TKrCrcPath> paths;
    for (TKrCrcPath p : {Crc_Table, Crc_Clmul, Crc_Clmul512})
        if (CrcPathSupported(p)) paths.push_back(p);
    return paths;
}

// zlib is linked into the library, not into this test: reach its crc32 through the loader.
using TZlibCrc32 = uLong (*)(uLong, const Bytef*, uInt);
TZlibCrc32 ZlibCrc32() {
    static TZlibCrc32 fn = [] {
        void* lib = dlopen("libz.so.1", RTLD_NOW);
        return lib ? reinterpret_cast<TZlibCrc32>(dlsym(lib, "crc32")) : nullptr;
    }();
    return fn;
}

// One bit at a time, straight from the polynomial: shares nothing with the tables or the folding.
std::uint64_t Crc64Model(std::uint64_t crc, const unsigned char* p, std::size_t n) {
    crc = ~crc;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA17870F5D4F51B49ull : crc >> 1;
    }
    return ~crc;
}

} // namespace

TEST(Crc32, MatchesZlibOnEveryPathLengthAndAlignment) {
    ASSERT_NE(ZlibCrc32(), nullptr);
    const std::vector<unsigned char> buf = RandomBytes((1 << 20) + 64, 1);
    std::vector<std::size_t> lengths;
    // Every length up to a few 512-bit loop turns crosses each kernel's set-up and tail branches.
    for (std::size_t n = 0; n <= 2300; ++n)
        lengths.push_back(n);
    for (std::size_t n : {4095, 4096, 65536 + 17, 1 << 20})
        lengths.push_back(n);
    for (TKrCrcPath path : SupportedPaths()) {
        SCOPED_TRACE(CrcPathName(path));
        for (std::size_t n : lengths) {
            const std::size_t start = n % 61; // misaligned starts of every residue
            const unsigned char* p = buf.data() + start;
            const std::uint32_t previous = static_cast<std::uint32_t>(n * 2654435761u);
            ASSERT_EQ(Crc32Path(path, previous, p, n), ZlibCrc32()(previous, p, static_cast<uInt>(n)))
                << "length " << n << " start " << start;
        }
    }
    EXPECT_EQ(KrCrc32(0, buf.data() + 3, 100000), ZlibCrc32()(0, buf.data() + 3, 100000));
}

TEST(Crc64, MatchesBitwiseModelOnEveryPathLengthAndAlignment) {
    const std::vector<unsigned char> buf = RandomBytes(70000, 2);
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 1400; ++n)
        lengths.push_back(n);
    for (std::size_t n : {4097, 69000})
        lengths.push_back(n);
    for (TKrCrcPath path : SupportedPaths()) {
        SCOPED_TRACE(CrcPathName(path));
        for (std::size_t n : lengths) {
            const unsigned char* p = buf.data() + n % 37;
            const std::uint64_t previous = n * 0x9E3779B97F4A7C15ull;
            ASSERT_EQ(Crc64Path(path, previous, p, n), Crc64Model(previous, p, n)) << "length " << n;
        }
    }
    const char digits[] = "123456789";
    EXPECT_EQ(crc64(0, digits, 9), Crc64Model(0, reinterpret_cast<const unsigned char*>(digits), 9));
}

TEST(Crc, PiecesFedInTurnEqualTheWhole) {
    const std::vector<unsigned char> buf = RandomBytes(9000, 3);
    const std::uint32_t whole32 = KrCrc32(0, buf.data(), buf.size());
    const std::uint64_t whole64 = crc64(0, buf.data(), buf.size());
    for (TKrCrcPath path : SupportedPaths()) {
        SCOPED_TRACE(CrcPathName(path));
        for (std::size_t cut = 0; cut <= buf.size(); cut += (cut < 1100 ? 1 : 997)) {
            const std::uint32_t head32 = Crc32Path(path, 0, buf.data(), cut);
            ASSERT_EQ(Crc32Path(path, head32, buf.data() + cut, buf.size() - cut), whole32) << "cut " << cut;
            const std::uint64_t head64 = Crc64Path(path, 0, buf.data(), cut);
            ASSERT_EQ(Crc64Path(path, head64, buf.data() + cut, buf.size() - cut), whole64) << "cut " << cut;
        }
        // Many small uneven pieces, as a stream reader delivers them.
        std::uint32_t c32 = 0;
        std::uint64_t c64 = 0;
        for (std::size_t at = 0, step = 1; at < buf.size(); at += step, step = step * 3 % 701 + 1) {
            const std::size_t n = std::min(step, buf.size() - at);
            c32 = Crc32Path(path, c32, buf.data() + at, n);
            c64 = Crc64Path(path, c64, buf.data() + at, n);
        }
        EXPECT_EQ(c32, whole32);
        EXPECT_EQ(c64, whole64);
    }
}

TEST(Crc, NullDataAndEmptyInput) {
    const char* none = nullptr;
    for (std::uint32_t previous : {0u, 1u, 0xFFFFFFFFu, 0xCBF43926u})
        for (std::size_t n : {std::size_t(0), std::size_t(1), std::size_t(1) << 40}) {
            EXPECT_EQ(crc32(previous, none, n), 0u);
            EXPECT_EQ(crc64(previous, none, n), previous);
        }
    const char byte = 'x';
    EXPECT_EQ(crc32(0xCBF43926u, &byte, 0), 0xCBF43926u);
    EXPECT_EQ(crc64(0x1234567890ABCDEFull, &byte, 0), 0x1234567890ABCDEFull);
}

TEST(Crc32, CallableBesideZlibDeclarations) {
    ASSERT_NE(ZlibCrc32(), nullptr);
    const std::string text = "The quick brown fox jumps over the lazy dog";
    const auto* bytes = reinterpret_cast<const Bytef*>(text.data());
    // The well-known CRC-32 of this sentence, by both functions and by the unqualified name.
    EXPECT_EQ(crc32(0, text.data(), text.size()), 0x414FA339u);
    EXPECT_EQ(ZlibCrc32()(ZlibCrc32()(0L, Z_NULL, 0), bytes, static_cast<uInt>(text.size())), 0x414FA339u);
    EXPECT_EQ(crc32(0, "123456789", 9), 0xCBF43926u);
}
