// Fuzzes the log-record parser behind TKrLogRedirect: any bytes, fed whole or in pieces and
// closed by a line feed, give the same output, hold nothing back and never read out of bounds.
#include "Core/KrLogParser.h"
#include "Streams/KrStringStream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {
std::string Redirected(const std::uint8_t* data, std::size_t size, std::size_t piece) {
    TKrStringStream out;
    TKrLogRedirect redirect;
    redirect.AddStream(&out, TKrLogRedirect::GetAllFilter(), false);
    for (std::size_t at = 0; at < size; at += piece) {
        const std::size_t n = size - at < piece ? size - at : piece;
        redirect.Write(data + at, n);
    }
    redirect.Write("\n", 1); // ends any unfinished header, so nothing stays held back
    if (redirect.PendingHeaderBytes() != 0) std::abort();
    return out.str();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string whole = Redirected(data, size, size ? size : 1);
    const std::string pieces = Redirected(data, size, 1 + (size % 7));
    if (whole != pieces) std::abort(); // the result must not depend on how the bytes arrive
    // Each input byte comes out at most once, plus at most one "~" per line.
    if (whole.size() > 2 * (size + 1)) std::abort();
    return 0;
}
