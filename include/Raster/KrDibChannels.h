// TKrDibChannels: the layout of one raster pixel (sample type, sample size, channel kinds), the
// channel-kind texts, and the sample accessors shared by every raster source.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TKrXIniReader;
class TKrXIniWriter;

/// Sample types of TKrDibChannels::Type.
struct TE_KrDibChannelType {
    enum TKrDibChannelType : std::int32_t {
        ctUInt = 1,  ///< little-endian unsigned integers whose full range maps to 0..1
        ctFloat = 2, ///< float (4 bytes) or double (8 bytes)
    };
};
using TKrDibChannelType = TE_KrDibChannelType::TKrDibChannelType;

/// Channel kinds: what a sample of a pixel means. The numbers are stored in files and never change.
struct TE_KrDibChannelKind {
    enum TKrDibChannelKind : std::int32_t {
        ckUnused = 0,
        ckGray = 1,
        ckCoastal = 2,
        ckBlue = 3,
        ckGreen = 4,
        ckYellow = 5,
        ckRed = 6,
        ckRedEdge = 7,
        ckNIR1 = 8,
        ckNIR2 = 9,
        ckCirrus = 10,
        ckSWIR1 = 11,
        ckAsterSWIR4 = 12,
        ckAsterSWIR5 = 13,
        ckAsterSWIR6 = 14,
        ckAsterSWIR7 = 15,
        ckAsterSWIR8 = 16,
        ckAsterSWIR9 = 17,
        ckLandsatSWIR5 = 18,
        ckLandsatSWIR7 = 19,
        ckTIR1 = 20,
        ckAsterTIR10 = 21,
        ckAsterTIR11 = 22,
        ckAsterTIR12 = 23,
        ckAsterTIR13 = 24,
        ckAsterTIR14 = 25,
        ckLandsatTIR61 = 26,
        ckLandsatTIR62 = 27,
        ckLandsat8SWIR1 = 28,
        ckLandsat8SWIR2 = 29,
        ckLandsat8TIR1 = 30,
        ckLandsat8TIR2 = 31,
        ckSpecialColor0 = 32, ///< special colours 0..255 are kinds 32..287
        ckSpecialColor255 = 287,
        ckColor = 288,
        ckAlpha = 289,
        ckSpecialMask = 290,
        ckZ = 291,
        ckCorr = 292,
        ckDisper = 293,
        ckSCorr = 294,
        ckSACorr = 295,
        ckWeight = 296,
        ckUserData0 = 297,
        ckUserData1 = 298,
        ckUserData2 = 299,
        ckUserData3 = 300,
        ckClassify = 301,
    };
};
using TKrDibChannelKind = TE_KrDibChannelKind::TKrDibChannelKind;

/// The largest pixel, in bytes, a source may have.
constexpr std::size_t kKrDibMaxBytesPP = 2304;

/// One pixel: every channel has the same sample type and size; kinds are in memory order within
/// the pixel (red-green-blue pixels store red first).
class KRSTD_API TKrDibChannels {
public:
    std::int32_t Type = TE_KrDibChannelType::ctUInt; ///< 1 unsigned, 2 float; other values are invalid
    std::size_t BytesPS = 1;                         ///< 1, 2, 4 (unsigned); 4, 8 (float)
    std::vector<std::int32_t> Kinds;                 ///< one kind per sample

    /// Unsigned 1-byte samples without channels.
    TKrDibChannels() = default;
    TKrDibChannels(std::int32_t type, std::size_t bytesPS, std::int32_t k0);
    TKrDibChannels(std::int32_t type, std::size_t bytesPS, std::int32_t k0, std::int32_t k1);
    TKrDibChannels(std::int32_t type, std::size_t bytesPS, std::int32_t k0, std::int32_t k1, std::int32_t k2);
    TKrDibChannels(std::int32_t type, std::size_t bytesPS, std::int32_t k0, std::int32_t k1, std::int32_t k2,
                   std::int32_t k3);

    std::size_t size() const noexcept { return Kinds.size(); }
    /// Bytes per pixel (kinds × BytesPS) when at most 2304, else 0.
    std::size_t GetBytesPP() const noexcept;
    /// True when the type and sample size are a valid pair (unsigned 1, 2, 4; float 4, 8).
    bool IsValidSampleType() const noexcept;

    void SetChannelsGray() { Kinds = {TE_KrDibChannelKind::ckGray}; }
    void SetChannelsGrayA() { Kinds = {TE_KrDibChannelKind::ckGray, TE_KrDibChannelKind::ckAlpha}; }
    void SetChannelsRGB() {
        Kinds = {TE_KrDibChannelKind::ckRed, TE_KrDibChannelKind::ckGreen, TE_KrDibChannelKind::ckBlue};
    }
    void SetChannelsRGBA() {
        Kinds = {TE_KrDibChannelKind::ckRed, TE_KrDibChannelKind::ckGreen, TE_KrDibChannelKind::ckBlue,
                 TE_KrDibChannelKind::ckAlpha};
    }
    void SetU8() noexcept {
        Type = TE_KrDibChannelType::ctUInt;
        BytesPS = 1;
    }
    void SetGray_U8() {
        SetU8();
        SetChannelsGray();
    }
    void SetGrayA_U8() {
        SetU8();
        SetChannelsGrayA();
    }
    void SetRGB_U8() {
        SetU8();
        SetChannelsRGB();
    }
    void SetRGBA_U8() {
        SetU8();
        SetChannelsRGBA();
    }
    bool IsGray_U8() const noexcept;
    bool IsGrayA_U8() const noexcept;
    bool IsRGB_U8() const noexcept;
    bool IsRGBA_U8() const noexcept;

    /// Reads the record from the current section. Two layouts: the current one ("type" "U" or
    /// "F", "bytes_ps", "channels" = kind texts joined by ",") and the old one ("Type",
    /// "BytesPS", "Channels" with one letter per channel), chosen by whether "Type" exists.
    /// A missing item throws the reader's missing-item error, a wrong value (unknown type,
    /// a sample size the type does not have, a bad kind text, a pixel above 2304 bytes) the
    /// reader's value error for that item. On failure the record is unchanged.
    void LoadE(TKrXIniReader* reader);
    /// LoadE that returns false instead of throwing.
    bool Load(TKrXIniReader* reader) noexcept;
    /// Writes the current layout. An invalid type or a kind without short text throws
    /// std::runtime_error; a failed write the writer's error.
    void SaveE(TKrXIniWriter* writer) const;
    bool Save(TKrXIniWriter* writer) const noexcept;
};

KRSTD_API bool operator==(const TKrDibChannels& a, const TKrDibChannels& b) noexcept;
inline bool operator!=(const TKrDibChannels& a, const TKrDibChannels& b) noexcept {
    return !(a == b);
}

/// The record as the settings section at index (XIniLoadSE and XIniLoadS find it by name).
KRSTD_API void XIniSaveE(TKrXIniWriter* writer, const TKrDibChannels& channels);
KRSTD_API void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrDibChannels& channels);

// --- Channel-kind texts ---------------------------------------------------------------------

/// The short text of a kind ("R", "IS_A4", "E8", "#Color"); empty for a kind without one.
KRSTD_API std::string ChannelKindToText(std::int32_t kind);
/// The same; an empty text throws std::runtime_error "@ChannelKindToTextE(): Invalid kind
/// value: <kind>.", preceded by `context` and a line break when `context` is not empty.
KRSTD_API std::string ChannelKindToTextE(std::int32_t kind, const std::string& context);
/// Parses the leading characters of a short text into a kind. Sets *bad (when given) for an
/// empty text or one starting with a control character or blank; unknown texts starting with a
/// letter give 32, other unknown texts 0.
KRSTD_API std::int32_t TextToChannelKind(const std::string& text, bool* bad);
/// The same; throws TKrMessage "@TextToChannelKindE(): Invalid text value: <text>." when *bad
/// would be set.
KRSTD_API std::int32_t TextToChannelKindE(const std::string& text);
/// The translated name of a kind: the language text "global.Color_" + the kind's code name;
/// kinds 32..287 use "global.Color_ckSpecialColor_n" with "%lu" replaced by kind - 31; kinds
/// without a code name give "???". Without language texts, an English name.
KRSTD_API std::string ChannelKindToUserText(std::int32_t kind);
/// "global.ChanTypeUInt" (1), "global.ChanTypeFloat" (2), "global.ChanTypeUnknown" (other).
KRSTD_API std::string KrDibChannelTypeToUserText(std::int32_t type);

/// The pixel bytes that mark missing data: a value per channel by kind (gray 0.3, blue, red,
/// alpha and mask 1.0, other colour kinds 0.7, the rest 0) encoded by SetChannelValue. Empty
/// when the pixel size is 0 or above 2304; an invalid sample type throws std::runtime_error.
KRSTD_API std::string GetBadColor(const TKrDibChannels& channels);

// --- Sample accessors -------------------------------------------------------------------------
// Invalid types or sizes throw std::runtime_error "@<function>: invalid channel type (type=..,
// bps=..)". Unsigned samples of 1 to 4 bytes are accepted by the normalised accessors.

/// The sample at p normalised: unsigned values divided by their maximum (255, 65535, 16777215,
/// 4294967295), float values as they are. Reads exactly BytesPS bytes.
KRSTD_API double GetChannelValue(const void* p, std::size_t bytesPS, std::int32_t type);
/// Stores v: unsigned samples clamp v to 0..1 (NaN to 0) and store floor(v · max + 0.5);
/// float samples store v as float or double. Writes exactly BytesPS bytes.
KRSTD_API void SetChannelValue(void* p, std::size_t bytesPS, std::int32_t type, double v);
/// The masked value of the little-endian 32-bit word at p; only the bytes the mask covers are
/// read. Type must be 1.
KRSTD_API std::uint32_t GetChannelValueUInt(const void* p, std::uint32_t mask, std::int32_t type);
/// Replaces the masked bits of the word at p by v's; only the bytes the mask covers are touched.
KRSTD_API void SetChannelValueUInt(void* p, std::uint32_t mask, std::int32_t type, std::uint32_t v);

/// Raw (not normalised) sample access for unsigned 1, 2, 4 and float 4, 8 byte samples.
using TKrGetChannelValueDoubleNNFunc = double (*)(const void* sample);
/// Converts n samples, given by pointers, into doubles.
using TKrGetChannelValueDoubleNNArrayFunc = void (*)(const void* const* samples, double* values,
                                                     std::size_t n);
/// Unsigned samples store v rounded (floor(v + 0.5)) and clamped to the type's range, NaN as 0.
using TKrSetChannelValueDoubleNNFunc = void (*)(void* sample, double v);
KRSTD_API TKrGetChannelValueDoubleNNFunc GetGetChannelValueDoubleNNFunc(std::size_t bytesPS,
                                                                        std::int32_t type);
KRSTD_API TKrGetChannelValueDoubleNNArrayFunc GetGetChannelValueDoubleNNArrayFunc(std::size_t bytesPS,
                                                                                  std::int32_t type);
KRSTD_API TKrSetChannelValueDoubleNNFunc GetSetChannelValueDoubleNNFunc(std::size_t bytesPS,
                                                                        std::int32_t type);
/// The raw maximum: 255, 65535, 4294967295 for unsigned 1, 2, 4 bytes; 1.0 for float.
KRSTD_API double GetChannelNNMaxValue(std::size_t bytesPS, std::int32_t type);
