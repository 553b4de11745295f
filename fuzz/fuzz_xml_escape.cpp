// Escaping then unescaping gives the text back; unescaping in place equals unescaping a copy.
#include "Xml/KrXmlEscape.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 1) return 0;
    // Without the '&' bit the escaped text is ambiguous ("&lt;" stays "&lt;"), so it is always on.
    const unsigned mode = (bytes[0] & 0x3F) | TE_KrEncodeStringXmlMode::xmlEncAmp;
    const std::string text(reinterpret_cast<const char*>(bytes) + 1, size - 1);

    const std::size_t bound = KrEncodeStringXmlBufLength(text.data(), text.size(), mode);
    std::string encoded(bound, '\0');
    encoded.resize(KrEncodeStringXmlBufNZ(text.data(), text.size(), &encoded[0], mode));
    if (encoded.size() > bound || encoded != KrEncodeStringXml(text, mode)) std::abort();
    if (KrDecodeStringXml(encoded) != text) std::abort();

    // The raw input as escaped text: never longer, and in place equals a separate output.
    std::string copy(text.size(), '\0');
    const std::size_t n = KrDecodeStringXml(text.data(), text.size(), &copy[0]);
    std::string inPlace = text;
    const std::size_t m = KrDecodeStringXml(&inPlace[0], inPlace.size(), &inPlace[0]);
    if (n > text.size() || n != m || copy.compare(0, n, inPlace, 0, m) != 0) std::abort();
    return 0;
}
