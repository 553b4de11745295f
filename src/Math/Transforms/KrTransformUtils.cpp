// Matrix classes, the simplest equivalent transform, and quarter-turn rotations of an image frame.
#include "Math/Transforms/KrTransformUtils.h"

#include "Math/Transforms/KrAffineTransform.h"
#include "Math/Transforms/KrProjectiveTransform.h"
#include "Math/Transforms/KrShiftTransform.h"
#include "Math/Transforms/KrUnityTransform.h"

#include <utility>

int classify(const matr3x3& m) noexcept {
    if (!(m.m20 == 0 && m.m21 == 0 && m.m22 == 1)) return 3;
    if (!(m.m00 == 1 && m.m01 == 0 && m.m10 == 0 && m.m11 == 1)) return 2;
    if (!(m.m02 == 0 && m.m12 == 0)) return 1;
    return 0;
}

var_a<TKr2DTransform*> KrGetEffectiveTransform(const var_a<TKr2DTransform*>& t, bool nullForIdentity) {
    if (!t) return t;
    matr3x3 m;
    if (!t->GetMatrix(&m)) return t;
    switch (classify(m)) {
    case 0:
        if (nullForIdentity) return var_a<TKr2DTransform*>();
        return new_a<TUnityTransform>();
    case 1:
        if (dynamic_cast<TShiftTransform*>(t.get())) return t;
        return new_a<TShiftTransform>(m.m02, m.m12);
    case 2:
        if (dynamic_cast<TAffineTransform*>(t.get())) return t;
        return new_a<TAffineTransform>(m.m00, m.m01, m.m02, m.m10, m.m11, m.m12);
    default:
        if (dynamic_cast<TProjectiveTransform*>(t.get())) return t;
        return new_a<TProjectiveTransform>(m);
    }
}

var_a<TKr2DTransform*> MakeRotFlipTransform(int rotation, const vec2d& size, bool swap) {
    const int r = rotation % 4;
    double w = size.x, h = size.y;
    if (swap && (r == 1 || r == 3)) std::swap(w, h);
    switch (r) {
    case 1:
        return new_a<TProjectiveTransform>(0, -1, h, 1, 0, 0, 0, 0, 1);
    case 2:
        return new_a<TProjectiveTransform>(-1, 0, w, 0, -1, h, 0, 0, 1);
    case 3:
        return new_a<TProjectiveTransform>(0, 1, 0, -1, 0, w, 0, 0, 1);
    default:
        return new_a<TProjectiveTransform>();
    }
}
