// TKr2DTransform: the polymorphic plane-to-plane transform, and its storage in XIni by content name.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Math/KrMatrix.h"
#include "Math/KrVec.h"

#include <cstdint>

class TKrXIniReader;
class TKrXIniWriter;

/// A plane transform that carries its forward and its inverse mapping, so inverse evaluation
/// never solves anything at call time. Held through var_a; every Create... returns a new,
/// independently owned object.
///
/// The virtual slots are in a fixed order that other modules are compiled against; do not
/// reorder or insert. Evaluation is const and may run on several threads at once; everything
/// that changes a transform needs exclusive access.
class KRSTD_API TKr2DTransform {
public:
    class TSerializer;
    template <class T> struct TRegistrator;

    /// Bit 1 of GetTransformFlags: the transform maps every point to itself.
    static constexpr unsigned FlagIdentity = 1;

    TKr2DTransform() = default;
    TKr2DTransform(const TKr2DTransform&) = default;
    TKr2DTransform& operator=(const TKr2DTransform&) = default;

    // --- Virtual slots, in order -------------------------------------------------------------

    virtual ~TKr2DTransform();
    /// A new object equal to this one.
    virtual var_a<TKr2DTransform*> CreateCopy() const = 0;
    /// A new object mapping the other way.
    virtual var_a<TKr2DTransform*> CreateInverseTransform() const = 0;
    virtual vec2d GetTraCoord(const vec2d& p) const = 0;
    virtual vec2d GetInverseTraCoord(const vec2d& p) const = 0;
    /// out = GetTraCoord(in); false when the point cannot be mapped (the built-in classes map
    /// every point).
    virtual bool GetTraCoordB(const vec2d& in, vec2d& out) const;
    virtual bool GetInverseTraCoordB(const vec2d& in, vec2d& out) const;
    /// Maps `count` points: strides in bytes, 0 meaning densely packed (16); src and dst may
    /// coincide. One virtual call per batch: the built-in classes run a tight loop, the root's
    /// default calls GetTraCoord per point.
    virtual void GetTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count, vec2d* dst,
                              std::uint64_t dstStride) const;
    virtual void GetInverseTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count,
                                     vec2d* dst, std::uint64_t dstStride) const;
    /// FlagIdentity or 0.
    virtual unsigned GetTransformFlags() const;
    /// Relative cost of one evaluation (an affine transform costs 1.0); `arg` is passed through
    /// by chains and ignored by the built-in classes.
    virtual double GetTransformTime(bool arg) const;
    /// The transform as a 3×3 matrix; with a null pointer only whether it is one.
    virtual bool GetMatrix(matr3x3* m) const;
    virtual bool GetInverseMatrix(matr3x3* m) const;
    /// The name under which the class is registered and stored.
    virtual const char* GetContentName() const = 0;
    /// Writes / reads the class's own items (the "data" section of a stored transform).
    virtual void SaveContent(TKrXIniWriter* writer) const = 0;
    virtual void LoadContent(TKrXIniReader* reader) = 0;

    // --- Storage ------------------------------------------------------------------------------

    /// TSerializer::Save(this, writer).
    void SaveE(TKrXIniWriter* writer) const;
    /// TSerializer::Load(reader).
    static var_a<TKr2DTransform*> LoadE(TKrXIniReader* reader);
};

/// The process-wide table from content name to factory through which stored transforms are
/// re-created. Guarded by a readers/writer pair of mutexes: loads run concurrently, registering
/// waits for them. Every operation except Save needs the unit started by
/// U_InitTransforms_Initialize (otherwise std::runtime_error "TKr2DTransform: Unit is not
/// initialized").
class KRSTD_API TKr2DTransform::TSerializer {
public:
    using TFactory = var_a<TKr2DTransform*> (*)();

    /// Writes, into the writer's current section, the string item "name" (the content name)
    /// and a section "data" holding SaveContent. Write failures throw the writer's error.
    static void Save(const TKr2DTransform* t, TKrXIniWriter* writer);
    /// Reads "name" from the reader's current section, creates the registered class and lets it
    /// load the "data" section. An unregistered name is reported on the "name" item with
    /// "@TKr2DTransform::Load: invalid name: " + name; with nothing registered at all,
    /// std::runtime_error "@TKr2DTransform::Load: no serializers". Reader errors pass unchanged.
    static var_a<TKr2DTransform*> Load(TKrXIniReader* reader);
    /// Counts a registration of `name`; the first registration's factory is kept.
    static void RegisterName(const char* name, TFactory factory);
    /// Drops one registration; the name is forgotten when none is left.
    static void UnregisterName(const char* name);
};

/// A factory for RegisterName that default-constructs T.
template <class T> struct TKr2DTransform::TRegistrator {
    static var_a<TKr2DTransform*> CreateNewT() { return new_a<T>(); }
};

/// Starts the serializer unit and registers the built-in classes on the first of nested
/// calls; Finalize undoes that on the last. Called by the library's module start-up.
KRSTD_API void U_InitTransforms_Initialize();
KRSTD_API void U_InitTransforms_Finalize() noexcept;
