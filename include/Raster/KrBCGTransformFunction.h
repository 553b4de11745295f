// Brightness/contrast/gamma of one channel: lookup tables for 8 and 16-bit samples, direct
// computation for the other sample types.
#pragma once

#include "Core/KrExport.h"
#include "Raster/KrBCGConverter.h"

#include <cstddef>
#include <cstdint>
#include <vector>

/// The adjustment of one channel's samples. Const use (Transform, TransformSamples) may run on
/// several threads; setting parameters may not run beside it.
class KRSTD_API TBCGTransformFunction {
public:
    virtual ~TBCGTransformFunction();
    /// From brightness, contrast and gamma (TBCGConverter::Init, which throws on NaN).
    virtual void SetBCG(double b, double c, double g);
    /// From offset, slope and gamma as they are.
    virtual void SetBCGEffective(double a, double k, double g);
    /// One sample: reads *in, writes *out (in and out may be the same sample).
    virtual void Transform(char* out, const char* in) const = 0;
    /// n samples `step` bytes apart in both buffers (step = sample size for a packed channel).
    virtual void TransformSamples(char* out, const char* in, std::size_t n, std::size_t step) const;
    const TBCGConverter& Converter() const noexcept { return m_converter; }

protected:
    /// Called after the converter changed.
    virtual void Rebuild() {}
    TBCGConverter m_converter; ///< what the table (if any) was built for: the identity at first
};

/// Unsigned 1-byte samples: a 256-entry table, entry v = round(bcg(v / 255) · 255) clamped to
/// 0..255 (NaN gives 0). The table is rebuilt only when the parameters change.
class KRSTD_API T8bitBCGTF : public TBCGTransformFunction {
public:
    T8bitBCGTF();
    void Transform(char* out, const char* in) const override {
        *out = static_cast<char>(m_table[static_cast<unsigned char>(*in)]);
    }
    void TransformSamples(char* out, const char* in, std::size_t n, std::size_t step) const override;
    const std::uint8_t* Table() const noexcept { return m_table; }

protected:
    void Rebuild() override;

private:
    std::uint8_t m_table[256];
};

/// Unsigned 2-byte samples: a 65536-entry table of 16-bit values, built like the 8-bit one.
class KRSTD_API T16bitBCGTF : public TBCGTransformFunction {
public:
    T16bitBCGTF();
    void Transform(char* out, const char* in) const override;
    void TransformSamples(char* out, const char* in, std::size_t n, std::size_t step) const override;
    const std::vector<std::uint16_t>& Table() const noexcept { return m_table; }

protected:
    void Rebuild() override;

private:
    std::vector<std::uint16_t> m_table;
};

/// Any other sample type: each sample read with GetChannelValue, converted and written with
/// SetChannelValue (unsigned results clamp to 0..1; float results are stored unclamped).
class KRSTD_API TGenericBCGTF : public TBCGTransformFunction {
public:
    /// An invalid type or size throws std::runtime_error.
    TGenericBCGTF(std::int32_t type, std::size_t bytesPS);
    void Transform(char* out, const char* in) const override;

private:
    std::int32_t m_type;
    std::size_t m_bytesPS;
};
