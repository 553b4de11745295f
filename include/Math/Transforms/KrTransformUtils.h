// Plane transforms from matrices: class of a matrix, the simplest equivalent transform, rotations by quarter
// turns.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Math/KrMatrix.h"
#include "Math/KrVec.h"

class TKr2DTransform;

/// The class of a 3×3 matrix, compared exactly (a NaN counts as different): 3 when the bottom
/// row is not (0, 0, 1), else 2 when the linear part is not the unit, else 1 when there is a
/// translation, else 0.
KRSTD_API int classify(const matr3x3& m) noexcept;

/// The simplest transform equal to `t`: null for null; `t` itself when it has no matrix or
/// already is of its matrix's class; else a new unity (null when `nullForIdentity`), shift,
/// affine or projective transform.
KRSTD_API var_a<TKr2DTransform*> KrGetEffectiveTransform(const var_a<TKr2DTransform*>& t,
                                                         bool nullForIdentity);

/// Rotation of an image of `size` by `rotation` quarter turns (rotation % 4; 1, 2, 3 give the
/// matrices [0 −1 H; 1 0 0], [−1 0 W; 0 −1 H], [0 1 0; −1 0 W], anything else the identity),
/// as a projective transform. W and H are size.x and size.y, exchanged when `swap` is set and
/// the rotation is odd.
KRSTD_API var_a<TKr2DTransform*> MakeRotFlipTransform(int rotation, const vec2d& size, bool swap);
