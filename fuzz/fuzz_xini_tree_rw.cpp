// Fuzz target: arbitrary sequences of writes, in-place patches, navigation and reads on a
// TKrXIniTreeWriter. Nothing may crash, and the tree it builds must survive a round trip through
// XIni text unchanged (same hierarchy, same value texts).
#include "Core/KrMessage.h"
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrStringStream.h"
#include "XIni/KrXIniReadTree.h"
#include "XIni/KrXIniTreeWriter.h"
#include "XIni/KrXIniWriteTree.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Takes bytes from the front of the input; an exhausted input gives zeros and empty texts.
struct TInput {
    const std::uint8_t* p;
    std::size_t n;

    bool empty() const { return n == 0; }
    std::uint8_t Byte() {
        if (!n) return 0;
        --n;
        return *p++;
    }
    std::uint64_t U64() {
        std::uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v = v << 8 | Byte();
        return v;
    }
    double F64() {
        const std::uint64_t bits = U64();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    std::string Text(std::size_t max = 24) {
        std::size_t len = Byte() % max;
        if (len > n) len = n;
        std::string s(reinterpret_cast<const char*>(p), len);
        p += len;
        n -= len;
        return s;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TInput in{data, size};
    TKrXIniTreeWriter w(nullptr);
    int selfCopies = 0; // copying the tree into itself doubles it: a few times only
    for (int step = 0; step < 200 && !in.empty(); ++step) {
        const std::size_t index = in.Byte() % 8;
        try {
            switch (in.Byte() % 18) {
            case 0:
                w.WriteS(in.Text(), static_cast<int>(in.U64()));
                break;
            case 1:
                w.WriteS(in.Text(), in.F64());
                break;
            case 2:
                w.WriteS(in.Text(), in.Text());
                break;
            case 3:
                w.WriteHexS(in.Text(), static_cast<long>(in.U64()));
                break;
            case 4:
                w.WriteBinaryS(in.Text(), in.Text());
                break;
            case 5:
                w.WriteLongStringS(in.Text(), in.Text());
                break;
            case 6:
                w.BeginSectionS(in.Text());
                break;
            case 7:
                w.EndSection(in.Byte() % 4);
                break;
            case 8:
                w.WriteDouble3S(in.Text(), in.F64(), in.F64(), in.F64());
                break;
            case 9:
                w.Write(index, static_cast<float>(in.F64()));
                break;
            case 10:
                w.OpenSectionE(index);
                break;
            case 11:
                w.Delete(index, in.Byte() % 4);
                break;
            case 12:
                if (++selfCopies <= 3) w.MergeXIni(w.GetRoot().get());
                if (selfCopies <= 3) w.WriteXIni(index, w.GetRoot().get());
                break;
            case 13:
                w.MergeXIni(in.Text(96));
                break;
            case 14:
                w.ReadE<int>(index);
                break;
            case 15:
                w.ReadLongStringE(index);
                break;
            case 16:
                if (!w.EnterSection(index)) w.ExitSection(in.Byte() % 4);
                break;
            default:
                w.WriteLongString(w.FindCreateF(in.Text(), index), in.Text());
                break;
            }
        } catch (const TKrMessage&) {
        }
    }

    TKrStringStream out;
    if (!WriteKrXIniTree(&out, w.GetRoot().get(), 0, false, nullptr)) std::abort();
    TKrFixedMemStream text(out.str().data(), out.str().size());
    var_a<TKrXIniTree*> back = ReadKrXIniTree(&text, false, nullptr);
    if (!back || !back->EqualContent(*w.GetRoot())) std::abort();
    return 0;
}
