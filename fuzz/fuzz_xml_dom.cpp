// The DOM reader on any bytes; what it accepts writes out, reads back and writes out the same.
#include "Core/KrMessage.h"
#include "Streams/KrStringStream.h"
#include "Xml/KrXmlDom.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 1) return 0;
    const unsigned flags = bytes[0] & 0x1F;
    TKrStringStream in(std::string(reinterpret_cast<const char*>(bytes) + 1, size - 1));
    var_a<TKrXmlTagItem*> root;
    try {
        root = KrReadXmlEx(&in, flags, true, nullptr);
    } catch (const TKrMessage&) {
        return 0;
    }
    if (!root) std::abort();
    TKrStringStream first;
    WriteXml(&first, root.get());
    first.setPosition(0);
    using RF = TE_KrReadXmlFlags;
    var_a<TKrXmlTagItem*> again =
        KrReadXmlEx(&first, RF::rxKeepText | RF::rxKeepPi | RF::rxKeepComments, false, nullptr);
    if (!again) std::abort();
    TKrStringStream second;
    WriteXml(&second, again.get());
    if (first.str() != second.str()) std::abort();
    return 0;
}
