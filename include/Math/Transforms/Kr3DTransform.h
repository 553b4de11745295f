// TKr3DTransform: the polymorphic space transform, its array forms and creation from a 4×4 matrix.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Math/KrMatrix.h"
#include "Math/KrVec.h"

#include <cstddef>
#include <cstdint>

class TKrXIniReader;
class TKrXIniWriter;

/// A space transform that carries its forward and its inverse mapping, so inverse evaluation
/// never solves anything at call time. Held through var_a; every Create... returns a new,
/// independently owned object. There is no storage registry: a transform with a matrix is
/// stored as that matrix (XIniSaveE below) and comes back as the simplest class holding it.
///
/// The virtual slots are in a fixed order that other modules are compiled against; do not
/// reorder or insert. Evaluation is const and may run on several threads at once; everything
/// that changes a transform needs exclusive access.
class KRSTD_API TKr3DTransform {
public:
    /// GetTransformFlags: the transform maps every point to itself.
    static constexpr unsigned FlagIdentity = 1;
    /// GetTransformFlags: z passes unchanged and x, y do not depend on z.
    static constexpr unsigned FlagKeepsZ = 2;

    TKr3DTransform() = default;
    TKr3DTransform(const TKr3DTransform&) = default;
    TKr3DTransform& operator=(const TKr3DTransform&) = default;

    // --- Virtual slots, in order -------------------------------------------------------------

    virtual ~TKr3DTransform();
    /// A new object equal to this one.
    virtual var_a<TKr3DTransform*> CreateCopy() const = 0;
    /// A new object mapping the other way.
    virtual var_a<TKr3DTransform*> CreateInverseTransform() const = 0;
    virtual vec3d GetTraCoord(const vec3d& p) const = 0;
    virtual vec3d GetInverseTraCoord(const vec3d& p) const = 0;
    /// FlagIdentity and FlagKeepsZ as they hold; 0 here.
    virtual unsigned GetTransformFlags() const;
    /// The transform as a homogeneous 4×4 matrix (row-major, points as columns); with a null
    /// pointer only whether it is one.
    virtual bool GetMatrix(matr4x4* m) const = 0;

    // --- Array forms --------------------------------------------------------------------------

    /// Maps `count` points: strides in bytes, 0 meaning densely packed (24); src and dst may
    /// coincide. A transform with a matrix (every built-in class, chains included) runs one
    /// tight loop over it (no division when the bottom row is 0, 0, 0, 1), so a chain costs
    /// no more than one affine map; others call GetTraCoord per point. A chain's results may
    /// differ from element-by-element evaluation in the last bits.
    void GetTraCoordM(const vec3d* src, std::uint64_t srcStride, std::uint64_t count, vec3d* dst,
                      std::uint64_t dstStride) const;
    /// The same for the inverse; costs one CreateInverseTransform per call.
    void GetInverseTraCoordM(const vec3d* src, std::uint64_t srcStride, std::uint64_t count, vec3d* dst,
                             std::uint64_t dstStride) const;
};

/// The class of a homogeneous matrix, compared exactly (a NaN counts as different): 3 when the
/// bottom row is not (0, 0, 0, 1) (projective), else 2 when the 3×3 linear part is not the unit
/// (affine), else 1 when the translation m03, m13, m23 is not zero (shift), else 0 (identity).
KRSTD_API int classify(const matr4x4& m) noexcept;

/// A new transform of the simplest class holding `m` (classify).
KRSTD_API var_a<TKr3DTransform*> VCreateTransform3D(const matr4x4& m);
/// A new transform of the given class: 0 TUnity3DTransform, 1 TShift3DTransform(m03, m13, m23),
/// 2 TKrAffineTransform3D from the top three rows, 3 TKr3DProjectiveTransform(m). Any other
/// class throws TKrMessage.
KRSTD_API var_a<TKr3DTransform*> VCreateTransform3D(const matr4x4& m, int m44Class);

/// Stores the transform as its matrix: the sixteen double items "m00" … "m33", row by row, in
/// the current section. A transform without a matrix throws TKrMessage; a failed write throws
/// the writer's error.
KRSTD_API void XIniSaveE(TKrXIniWriter* writer, const TKr3DTransform& t);
/// Enters the section at `index`, reads the sixteen items and creates the simplest class
/// holding the matrix (VCreateTransform3D). A missing, malformed or non-finite item throws the
/// reader's error.
KRSTD_API void XIniLoadE(TKrXIniReader* reader, std::size_t index, var_a<TKr3DTransform*>& t);
