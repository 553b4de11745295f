// Every CRC code path, whole and split, must agree with the table path; MD5 split with MD5 whole.
#include "Utils/KrCrc32.h"
#include "Utils/KrCrc64.h"
#include "Utils/KrCrcInternal.h"
#include "Utils/KrMD5.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

using namespace KrCrcInternal;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // The first two bytes choose where to cut the rest.
    const std::size_t cutAt = (static_cast<std::size_t>(data[0]) << 8 | data[1]);
    data += 2;
    size -= 2;
    const std::size_t cut = size ? cutAt % (size + 1) : 0;

    const std::uint32_t whole32 = Crc32Path(Crc_Table, 0, data, size);
    const std::uint64_t whole64 = Crc64Path(Crc_Table, 0, data, size);
    for (TKrCrcPath path : {Crc_Table, Crc_Clmul, Crc_Clmul512}) {
        if (!CrcPathSupported(path)) continue;
        if (Crc32Path(path, 0, data, size) != whole32) std::abort();
        if (Crc64Path(path, 0, data, size) != whole64) std::abort();
        if (Crc32Path(path, Crc32Path(path, 0, data, cut), data + cut, size - cut) != whole32) std::abort();
        if (Crc64Path(path, Crc64Path(path, 0, data, cut), data + cut, size - cut) != whole64) std::abort();
    }
    if (KrCrc32(0, data, size) != whole32 || crc64(0, data, size) != whole64) std::abort();

    unsigned char one[16], two[16];
    KrMD5::md5(std::string_view(reinterpret_cast<const char*>(data), size), one);
    KrMD5::md5_state_s state;
    KrMD5::md5_init(&state);
    KrMD5::md5_append(&state, data, static_cast<int>(cut));
    KrMD5::md5_append(&state, data + cut, static_cast<int>(size - cut));
    KrMD5::md5_finish(&state, two);
    if (std::memcmp(one, two, 16) != 0) std::abort();
    return 0;
}
