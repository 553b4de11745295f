// Fuzzes the message formatter: arbitrary format texts with a few parameters of every kind.
#include "Core/KrMessage.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // First byte: how many parameters; the rest: the format text.
    if (size == 0) return 0;
    std::string format(reinterpret_cast<const char*>(data + 1), size - 1);
    TKrMessage m(format);
    unsigned count = data[0] % 8;
    for (unsigned i = 0; i < count; ++i) {
        switch (i % 4) {
        case 0:
            m << static_cast<int>(i);
            break;
        case 1:
            m << format;
            break;
        case 2:
            m << 0.5 * i;
            break;
        default:
            m << (TKrMessage(format) << i);
            break;
        }
    }
    std::string text = m.std_str();
    TKrMessage copy = m;
    copy.set_format(text);
    (void)copy.what();
    return 0;
}
