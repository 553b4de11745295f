// Decoders and parsers of the string utilities on arbitrary bytes: no crash, no read past the
// input, and every encoder's output decodes back to the original.
#include "Core/KrCopyName.h"
#include "Core/KrStringEncode.h"
#include "Core/KrStringList.h"
#include "Core/KrStringParse.h"
#include "Core/KrStringReadable.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {
void Require(bool ok) {
    if (!ok) std::abort();
}

// Characters as the width-limited helpers count them: every byte that does not continue a
// UTF-8 sequence starts one.
std::size_t Chars(const std::string& s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); ++i)
        n += i == 0 || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80;
    return n;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const std::string bytes(text, size);

    // Decoders straight on the fuzzer's buffer, which ends exactly at `size`.
    KrDecodeStringBase64(text, size);
    KrDecodeStringIri(bytes);
    KrDecodeString(bytes, true);
    KrDecodeString(bytes, false);

    Require(KrDecodeStringBase64(KrEncodeStringBase64(bytes)) == bytes);
    Require(KrDecodeStringIri(KrEncodeStringIriQueryParam(bytes)) == bytes);
    Require(KrDecodeString(KrEncodeString(bytes, true), true) == bytes);
    Require(KrDecodeString(KrEncodeString(bytes, false), false) == bytes);

    // Parsers and list helpers see the text up to its first NUL.
    const std::string cstr(bytes.c_str());
    int i = 0;
    unsigned long ul = 0;
    double d = 0;
    KrStringToInt(cstr.c_str(), &i);
    KrStringToUlongRange(cstr.c_str(), 3, 7, &ul);
    if (KrStringToDouble(cstr.c_str(), &d, size % 2 == 0)) Require(d == d);
    SplitCmdLine(bytes);
    std::set<std::string> set;
    KrParseStringSet(set, bytes, ";");

    const std::size_t width = size ? data[0] % 40 : 0;
    const std::string contracted = contract(bytes, width);
    Require(contracted == bytes || Chars(contracted) <= width);
    const std::string trimmed = smart_filename_trim(bytes, width);
    Require(trimmed == bytes || Chars(trimmed) <= width);
    MakeCopyName(bytes, size % 3 ? " copy" : "");
    return 0;
}
