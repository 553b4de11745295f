// Loading a curve record from any bytes never crashes; a record that loads is stored again byte for
// byte as it was read, and its lookup table stays inside the range whatever the points are.
#include "Math/Curves/KrInterpolationCubeSplineUnit.h"
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrMemoryStream.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TKrInterpolationCubeSpline s;
    TKrFixedMemStream in(data, size);
    if (!s.Load(&in, true)) return 0;
    const std::size_t used = 20 + 20 * s.Points().size();
    TKrMemoryStream out;
    if (!s.Save(&out) || out.getSize() != used || std::memcmp(out.GetBuffer(), data, used) != 0) std::abort();

    // The stored range may be billions; keep the table small but the points as they are.
    const unsigned long range = std::min(s.GetRange(), 4096ul);
    s.SetRange(range, false, false);
    std::vector<int> table;
    s.GetTransformTable(table);
    if (table.size() != range) std::abort();
    for (int v : table)
        if (v < 0 || static_cast<unsigned long>(v) >= range) std::abort();
    s.SetRange(range / 2 + 1, true, true); // rescaled points, possibly out of order: Recalc may refuse
    s.GetTransformTable(table);
    return 0;
}
