// TUnity3DTransform, TShift3DTransform, TSwapXY3DTransform: copies, inverses, flags and matrices.
#include "Math/Transforms/KrSimple3DTransforms.h"

var_a<TKr3DTransform*> TUnity3DTransform::CreateCopy() const {
    return new_a<TUnity3DTransform>();
}

var_a<TKr3DTransform*> TUnity3DTransform::CreateInverseTransform() const {
    return new_a<TUnity3DTransform>();
}

unsigned TUnity3DTransform::GetTransformFlags() const {
    return FlagIdentity | FlagKeepsZ;
}

bool TUnity3DTransform::GetMatrix(matr4x4* m) const {
    if (m) *m = matr4x4::Unit();
    return true;
}

var_a<TKr3DTransform*> TSwapXY3DTransform::CreateCopy() const {
    return new_a<TSwapXY3DTransform>();
}

var_a<TKr3DTransform*> TSwapXY3DTransform::CreateInverseTransform() const {
    return new_a<TSwapXY3DTransform>();
}

unsigned TSwapXY3DTransform::GetTransformFlags() const {
    return FlagKeepsZ;
}

bool TSwapXY3DTransform::GetMatrix(matr4x4* m) const {
    if (m) {
        *m = matr4x4();
        m->m01 = m->m10 = m->m22 = m->m33 = 1;
    }
    return true;
}

var_a<TKr3DTransform*> TShift3DTransform::CreateCopy() const {
    return new_a<TShift3DTransform>(m_shift);
}

var_a<TKr3DTransform*> TShift3DTransform::CreateInverseTransform() const {
    return new_a<TShift3DTransform>(-m_shift);
}

unsigned TShift3DTransform::GetTransformFlags() const {
    return m_shift.z == 0.0 ? FlagKeepsZ : 0;
}

bool TShift3DTransform::GetMatrix(matr4x4* m) const {
    if (m) {
        *m = matr4x4::Unit();
        m->m03 = m_shift.x;
        m->m13 = m_shift.y;
        m->m23 = m_shift.z;
    }
    return true;
}
