// Loading a transform from any XIni bytes never crashes; a transform that loads evaluates, inverts, and
// is stored again byte for byte as it was read.
#include "Math/Transforms/Kr2DTransform.h"
#include "Streams/KrStringStream.h"
#include "XIni/KrXIniStreamReader.h"
#include "XIni/KrXIniStreamWriter.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

namespace {

std::string Save(const TKr2DTransform& t) {
    auto out = new_a<TKrStringStream>();
    {
        TKrXIniStreamWriter w(out, 0, TKrXIniStreamWriter::RootOnly);
        t.SaveE(&w);
        w.CloseE();
    }
    return out->str();
}

var_a<TKr2DTransform*> Load(const std::string& text) {
    TKrXIniStreamReader r(new_a<TKrStringStream>(text), TE_KrXIniErrorMode::Silent, nullptr);
    return TKr2DTransform::LoadE(&r);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    U_InitTransforms_Initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    var_a<TKr2DTransform*> t;
    try {
        t = Load(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const std::exception&) { // TKrMessage from the reader, std::runtime_error from the classes
        return 0;
    }
    vec2d points[300];
    for (int i = 0; i < 300; ++i)
        points[i] = vec2d(i * 7.5 - 1000, 1e4 - i * i);
    const vec2d single = t->GetTraCoord(points[5]);
    t->GetTraCoordM(points, 0, 300, points, 0);
    if (!(single.x == points[5].x || single.x != single.x)) std::abort(); // batch = single (or NaN)
    double strided[3 * 300];
    t->GetInverseTraCoordM(points, 0, 300, reinterpret_cast<vec2d*>(strided), 24);
    matr3x3 m;
    t->GetMatrix(&m);
    t->GetInverseMatrix(&m);
    (void)t->CreateInverseTransform()->GetTransformTime(false);
    const std::string text = Save(*t);
    if (Save(*Load(text)) != text) std::abort();
    return 0;
}
