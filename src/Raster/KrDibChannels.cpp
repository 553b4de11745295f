// Pixel layouts: channel records, kind texts, their settings persistence and the sample accessors.
#include "Raster/KrDibChannels.h"
#include "Core/KrMessage.h"
#include "Core/KrModule.h"
#include "Core/KrStringFormat.h"
#include "Raster/KrRasterInternal.h"
#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniWriter.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace {

using K = TE_KrDibChannelKind;

// Short texts, user-text identifiers and English names of kinds 0..31.
struct TKindName {
    const char* text;
    const char* id; // "global.Color_" + the kind's code name; null for kinds without one
    const char* english;
};
constexpr TKindName kLowKinds[32] = {
    {"-", "global.Color_ckUnused", "Unused"},
    {"L", "global.Color_ckGray", "Gray"},
    {"B2", "global.Color_ckCoastal", "Coastal"},
    {"B", "global.Color_ckBlue", "Blue"},
    {"G", "global.Color_ckGreen", "Green"},
    {"Y", "global.Color_ckYellow", "Yellow"},
    {"R", "global.Color_ckRed", "Red"},
    {"R0", "global.Color_ckRedEdge", "Red edge"},
    {"I1", "global.Color_ckNIR1", "Near infrared 1"},
    {"I2", "global.Color_ckNIR2", "Near infrared 2"},
    {"IC", "global.Color_ckCirrus", "Cirrus"},
    {"IS1", "global.Color_ckSWIR1", "Short-wave infrared 1"},
    {"IS_A4", "global.Color_ckAsterSWIR4", "Short-wave infrared A4"},
    {"IS_A5", "global.Color_ckAsterSWIR5", "Short-wave infrared A5"},
    {"IS_A6", "global.Color_ckAsterSWIR6", "Short-wave infrared A6"},
    {"IS_A7", "global.Color_ckAsterSWIR7", "Short-wave infrared A7"},
    {"IS_A8", "global.Color_ckAsterSWIR8", "Short-wave infrared A8"},
    {"IS_A9", "global.Color_ckAsterSWIR9", "Short-wave infrared A9"},
    {"IS_L5", "global.Color_ckLandsatSWIR5", "Short-wave infrared L5"},
    {"IS_L7", "global.Color_ckLandsatSWIR7", "Short-wave infrared L7"},
    {"IT1", "global.Color_ckTIR1", "Thermal infrared 1"},
    {"IT_A10", "global.Color_ckAsterTIR10", "Thermal infrared A10"},
    {"IT_A11", "global.Color_ckAsterTIR11", "Thermal infrared A11"},
    {"IT_A12", "global.Color_ckAsterTIR12", "Thermal infrared A12"},
    {"IT_A13", "global.Color_ckAsterTIR13", "Thermal infrared A13"},
    {"IT_A14", "global.Color_ckAsterTIR14", "Thermal infrared A14"},
    {"IT_L61", "global.Color_ckLandsatTIR61", "Thermal infrared L61"},
    {"IT_L62", "global.Color_ckLandsatTIR62", "Thermal infrared L62"},
    {"IS_L81", "global.Color_ckLandsat8SWIR1", "Short-wave infrared L81"},
    {"IS_L82", "global.Color_ckLandsat8SWIR2", "Short-wave infrared L82"},
    {"IT_L81", "global.Color_ckLandsat8TIR1", "Thermal infrared L81"},
    {"IT_L82", "global.Color_ckLandsat8TIR2", "Thermal infrared L82"},
};
// Kinds 288..301.
constexpr TKindName kHighKinds[14] = {
    {"#Color", nullptr, nullptr},
    {"A", "global.Color_ckAlpha", "Alpha"},
    {"F", "global.Color_ckSpecialMask", "Mask"},
    {"#Z", nullptr, nullptr},
    {"#Corr", nullptr, nullptr},
    {"#Disper", nullptr, nullptr},
    {"#SCorr", nullptr, nullptr},
    {"#SACorr", nullptr, nullptr},
    {"#Weight", nullptr, nullptr},
    {"#0", "global.Color_ckUserData0", "User data 0"},
    {"#1", "global.Color_ckUserData1", "User data 1"},
    {"#2", "global.Color_ckUserData2", "User data 2"},
    {"#3", "global.Color_ckUserData3", "User data 3"},
    {"#Classify", nullptr, nullptr},
};

const TKindName* KindName(std::int32_t kind) {
    if (kind >= 0 && kind < 32) return &kLowKinds[kind];
    if (kind >= K::ckColor && kind <= K::ckClassify) return &kHighKinds[kind - K::ckColor];
    return nullptr;
}

bool StartsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

char At(const std::string& s, std::size_t i) {
    return i < s.size() ? s[i] : '\0';
}

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

[[noreturn]] void ThrowChannelType(const char* function, std::int32_t type, std::size_t bytesPS) {
    throw std::runtime_error(Korvinex::ssprintf("@%s: invalid channel type (type=%i, bps=%llu)", function,
                                                type, static_cast<unsigned long long>(bytesPS)));
}

[[noreturn]] void ThrowChannelTypeMasked(const char* function, std::int32_t type) {
    throw std::runtime_error(Korvinex::ssprintf("@%s: invalid channel type (type=%i)", function, type));
}

std::uint32_t LoadLE(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i)
        v |= std::uint32_t(b[i]) << (8 * i);
    return v;
}

void StoreLE(void* p, std::size_t n, std::uint32_t v) {
    auto* b = static_cast<unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<unsigned char>(v >> (8 * i));
}

// Bytes of the 32-bit word a mask reaches (1 to 4; 0 for an empty mask).
std::size_t MaskBytes(std::uint32_t mask) {
    std::size_t n = 0;
    while (mask) {
        ++n;
        mask >>= 8;
    }
    return n;
}

double UIntMax(std::size_t bytesPS) {
    switch (bytesPS) {
    case 1:
        return 255.0;
    case 2:
        return 65535.0;
    case 3:
        return 16777215.0;
    case 4:
        return 4294967295.0;
    default:
        return 0;
    }
}

// --- Raw (not normalised) accessors ---------------------------------------------------------

template <class T> double GetRaw(const void* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return static_cast<double>(v);
}
template <class T> void GetRawArray(const void* const* samples, double* values, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        values[i] = GetRaw<T>(samples[i]);
}
template <class T> void SetRawUInt(void* p, double v) {
    constexpr double kMax = static_cast<double>(static_cast<T>(~T(0)));
    const double r = std::floor(v + 0.5);
    const T t = !(r > 0) ? T(0) : r >= kMax ? static_cast<T>(~T(0)) : static_cast<T>(r);
    std::memcpy(p, &t, sizeof t);
}
template <class T> void SetRawFloat(void* p, double v) {
    const T t = static_cast<T>(v);
    std::memcpy(p, &t, sizeof t);
}

// The old layout's one-letter channel codes.
bool OldChannelKind(char c, std::int32_t& kind) {
    switch (c) {
    case '-':
        kind = K::ckUnused;
        return true;
    case 'A':
        kind = K::ckAlpha;
        return true;
    case 'B':
        kind = K::ckBlue;
        return true;
    case 'G':
        kind = K::ckGreen;
        return true;
    case 'I':
        kind = K::ckGray;
        return true;
    case 'M':
        kind = K::ckSpecialMask;
        return true;
    case 'R':
        kind = K::ckRed;
        return true;
    case 'S':
        kind = K::ckSpecialColor0;
        return true;
    default:
        return false;
    }
}

// "U" or "F" at index, else the reader's value error.
std::int32_t ReadTypeLetter(TKrXIniReader* reader, std::size_t index) {
    const std::string t = reader->ReadE<std::string>(index);
    if (t == "U") return TE_KrDibChannelType::ctUInt;
    if (t == "F") return TE_KrDibChannelType::ctFloat;
    reader->throw_error_value(index);
}

bool ValidSampleType(std::int32_t type, std::size_t bytesPS) {
    if (type == TE_KrDibChannelType::ctUInt) return bytesPS == 1 || bytesPS == 2 || bytesPS == 4;
    if (type == TE_KrDibChannelType::ctFloat) return bytesPS == 4 || bytesPS == 8;
    return false;
}

} // namespace

// --- TKrDibChannels -----------------------------------------------------------------------------

TKrDibChannels::TKrDibChannels(std::int32_t type, std::size_t bytesPS, std::int32_t k0)
    : Type(type), BytesPS(bytesPS), Kinds{k0} {}
TKrDibChannels::TKrDibChannels(std::int32_t type, std::size_t bytesPS, std::int32_t k0, std::int32_t k1)
    : Type(type), BytesPS(bytesPS), Kinds{k0, k1} {}
TKrDibChannels::TKrDibChannels(std::int32_t type, std::size_t bytesPS, std::int32_t k0, std::int32_t k1,
                               std::int32_t k2)
    : Type(type), BytesPS(bytesPS), Kinds{k0, k1, k2} {}
TKrDibChannels::TKrDibChannels(std::int32_t type, std::size_t bytesPS, std::int32_t k0, std::int32_t k1,
                               std::int32_t k2, std::int32_t k3)
    : Type(type), BytesPS(bytesPS), Kinds{k0, k1, k2, k3} {}

std::size_t TKrDibChannels::GetBytesPP() const noexcept {
    if (BytesPS > kKrDibMaxBytesPP || Kinds.size() > kKrDibMaxBytesPP) return 0;
    const std::size_t n = Kinds.size() * BytesPS;
    return n <= kKrDibMaxBytesPP ? n : 0;
}

bool TKrDibChannels::IsValidSampleType() const noexcept {
    return ValidSampleType(Type, BytesPS);
}

namespace {
bool IsU8With(const TKrDibChannels& c, std::initializer_list<std::int32_t> kinds) {
    return c.Type == TE_KrDibChannelType::ctUInt && c.BytesPS == 1 && c.Kinds.size() == kinds.size() &&
           std::equal(kinds.begin(), kinds.end(), c.Kinds.begin());
}
} // namespace

bool TKrDibChannels::IsGray_U8() const noexcept {
    return IsU8With(*this, {K::ckGray});
}
bool TKrDibChannels::IsGrayA_U8() const noexcept {
    return IsU8With(*this, {K::ckGray, K::ckAlpha});
}
bool TKrDibChannels::IsRGB_U8() const noexcept {
    return IsU8With(*this, {K::ckRed, K::ckGreen, K::ckBlue});
}
bool TKrDibChannels::IsRGBA_U8() const noexcept {
    return IsU8With(*this, {K::ckRed, K::ckGreen, K::ckBlue, K::ckAlpha});
}

void TKrDibChannels::LoadE(TKrXIniReader* reader) {
    TKrDibChannels c;
    c.Kinds.clear();
    std::size_t channelsIndex;
    std::string text;
    const std::size_t oldType = reader->FindF("Type", 0);
    if (oldType != TKrXIniReader::npos) {
        c.Type = ReadTypeLetter(reader, oldType);
        const std::size_t bpsIndex = reader->FindFE("BytesPS", 0);
        c.BytesPS = reader->ReadE<unsigned long>(bpsIndex);
        if (!ValidSampleType(c.Type, c.BytesPS)) reader->throw_error_value(bpsIndex);
        channelsIndex = reader->FindFE("Channels", 0);
        text = reader->ReadE<std::string>(channelsIndex);
        if (text.size() > kKrDibMaxBytesPP) reader->throw_error_value(channelsIndex);
        for (char ch : text) {
            std::int32_t kind;
            if (!OldChannelKind(ch, kind)) reader->throw_error_value(channelsIndex);
            c.Kinds.push_back(kind);
        }
    } else {
        c.Type = ReadTypeLetter(reader, reader->FindFE("type", 0));
        const std::size_t bpsIndex = reader->FindFE("bytes_ps", 0);
        c.BytesPS = reader->ReadE<unsigned long>(bpsIndex);
        if (!ValidSampleType(c.Type, c.BytesPS)) reader->throw_error_value(bpsIndex);
        channelsIndex = reader->FindFE("channels", 0);
        text = reader->ReadE<std::string>(channelsIndex);
        // An empty text is a pixel without channels (what a default record saves).
        for (std::size_t pos = 0; !text.empty();) {
            const std::size_t comma = text.find(',', pos);
            const std::string piece =
                text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
            bool bad = false;
            const std::int32_t kind = TextToChannelKind(piece, &bad);
            if (bad || c.Kinds.size() >= kKrDibMaxBytesPP) reader->throw_error_value(channelsIndex);
            c.Kinds.push_back(kind);
            if (comma == std::string::npos) break;
            pos = comma + 1;
        }
    }
    if (!c.Kinds.empty() && c.GetBytesPP() == 0) reader->throw_error_value(channelsIndex);
    *this = std::move(c);
}

bool TKrDibChannels::Load(TKrXIniReader* reader) noexcept {
    try {
        LoadE(reader);
        return true;
    } catch (...) {
        return false;
    }
}

void TKrDibChannels::SaveE(TKrXIniWriter* writer) const {
    if (Type != TE_KrDibChannelType::ctUInt && Type != TE_KrDibChannelType::ctFloat)
        ThrowChannelType("TKrDibChannels::SaveE()", Type, BytesPS);
    std::string texts;
    for (std::size_t i = 0; i < Kinds.size(); ++i) {
        const std::string t = ChannelKindToText(Kinds[i]);
        if (t.empty())
            throw std::runtime_error(Korvinex::ssprintf(
                "@%s: invalid channel kind (type=%i, bps=%llu, kind=%i)", "TKrDibChannels::SaveE()", Type,
                static_cast<unsigned long long>(BytesPS), Kinds[i]));
        if (i) texts += ',';
        texts += t;
    }
    writer->WriteSE("type", std::string(Type == TE_KrDibChannelType::ctUInt ? "U" : "F"));
    writer->WriteSE("bytes_ps", static_cast<unsigned long>(BytesPS));
    writer->WriteSE("channels", texts);
}

bool TKrDibChannels::Save(TKrXIniWriter* writer) const noexcept {
    try {
        SaveE(writer);
        return true;
    } catch (...) {
        return false;
    }
}

bool operator==(const TKrDibChannels& a, const TKrDibChannels& b) noexcept {
    return a.Type == b.Type && a.BytesPS == b.BytesPS && a.Kinds == b.Kinds;
}

void XIniSaveE(TKrXIniWriter* writer, const TKrDibChannels& channels) {
    channels.SaveE(writer);
}

void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrDibChannels& channels) {
    KrRasterInternal::TSectionGuard section(reader, index);
    TKrDibChannels c;
    c.LoadE(reader);
    section.Exit();
    channels = std::move(c);
}

void KrRasterInternal::CheckChannels(const TKrDibChannels& channels, const char* function) {
    if (!channels.IsValidSampleType() || channels.GetBytesPP() == 0)
        throw TKrMessage(std::string("@") + function + ": invalid channels (type=%1%, bps=%2%, kinds=%3%).")
            << channels.Type << static_cast<unsigned long>(channels.BytesPS)
            << static_cast<unsigned long>(channels.Kinds.size());
}

// --- Kind texts -----------------------------------------------------------------------------------

std::string ChannelKindToText(std::int32_t kind) {
    if (kind == K::ckSpecialColor0) return "E";
    if (kind > K::ckSpecialColor0 && kind <= K::ckSpecialColor255) return "E" + std::to_string(kind - 32);
    const TKindName* n = KindName(kind);
    return n ? n->text : "";
}

std::string ChannelKindToTextE(std::int32_t kind, const std::string& context) {
    std::string t = ChannelKindToText(kind);
    if (t.empty()) {
        if (context.empty())
            throw std::runtime_error(
                Korvinex::ssprintf("@ChannelKindToTextE(): Invalid kind value: %i.", kind));
        throw std::runtime_error(
            Korvinex::ssprintf("%s\n@ChannelKindToTextE(): Invalid kind value: %i.", context.c_str(), kind));
    }
    return t;
}

std::int32_t TextToChannelKind(const std::string& text, bool* bad) {
    if (bad) *bad = false;
    if (text.empty()) {
        if (bad) *bad = true;
        return K::ckUnused;
    }
    const char c1 = At(text, 1);
    switch (text[0]) {
    case '#':
        if (c1 >= '0' && c1 <= '3') return K::ckUserData0 + (c1 - '0');
        switch (c1) {
        case 'C':
            if (StartsWith(text, "#Corr")) return K::ckCorr;
            if (StartsWith(text, "#Color")) return K::ckColor;
            if (StartsWith(text, "#Classify")) return K::ckClassify;
            return K::ckUnused;
        case 'D':
            return StartsWith(text, "#Disper") ? K::ckDisper : K::ckUnused;
        case 'S':
            if (StartsWith(text, "#SCorr")) return K::ckSCorr;
            if (StartsWith(text, "#SACorr")) return K::ckSACorr;
            return K::ckUnused;
        case 'W':
            return StartsWith(text, "#Weight") ? K::ckWeight : K::ckUnused;
        case 'Z':
            return K::ckZ;
        default:
            return K::ckUnused;
        }
    case '-':
        return K::ckUnused;
    case 'A':
        return K::ckAlpha;
    case 'B':
        return c1 == '2' ? K::ckCoastal : K::ckBlue;
    case 'E': {
        // The decimal number after "E" (none reads as 0); out of range gives special colour 0.
        unsigned long n = 0;
        const char* first = text.data() + 1;
        const auto r = std::from_chars(first, text.data() + text.size(), n);
        if (r.ec == std::errc::result_out_of_range || n >= 256) return K::ckSpecialColor0;
        return K::ckSpecialColor0 + static_cast<std::int32_t>(n);
    }
    case 'F':
        return K::ckSpecialMask;
    case 'G':
        return K::ckGreen;
    case 'L':
        return K::ckGray;
    case 'R':
        return c1 == '0' ? K::ckRedEdge : K::ckRed;
    case 'Y':
        return K::ckYellow;
    case 'I':
        switch (c1) {
        case '2':
            return K::ckNIR2;
        case 'C':
            return K::ckCirrus;
        case 'S':
            if (StartsWith(text, "IS_L5")) return K::ckLandsatSWIR5;
            if (StartsWith(text, "IS_L7")) return K::ckLandsatSWIR7;
            if (StartsWith(text, "IS_L81")) return K::ckLandsat8SWIR1;
            if (StartsWith(text, "IS_L82")) return K::ckLandsat8SWIR2;
            if (StartsWith(text, "IS_A") && At(text, 4) >= '4' && At(text, 4) <= '9')
                return K::ckAsterSWIR4 + (At(text, 4) - '4');
            return K::ckSWIR1;
        case 'T':
            if (StartsWith(text, "IT_L61")) return K::ckLandsatTIR61;
            if (StartsWith(text, "IT_L62")) return K::ckLandsatTIR62;
            if (StartsWith(text, "IT_L81")) return K::ckLandsat8TIR1;
            if (StartsWith(text, "IT_L82")) return K::ckLandsat8TIR2;
            if (StartsWith(text, "IT_A1") && At(text, 5) >= '0' && At(text, 5) <= '4')
                return K::ckAsterTIR10 + (At(text, 5) - '0');
            return K::ckTIR1;
        default:
            return K::ckNIR1;
        }
    default:
        if (IsAsciiLetter(text[0])) return K::ckSpecialColor0;
        if (static_cast<unsigned char>(text[0]) <= 32 && bad) *bad = true;
        return K::ckUnused;
    }
}

std::int32_t TextToChannelKindE(const std::string& text) {
    bool bad = false;
    const std::int32_t kind = TextToChannelKind(text, &bad);
    if (bad) throw TKrMessage("@TextToChannelKindE(): Invalid text value: %1%.") << text;
    return kind;
}

std::string ChannelKindToUserText(std::int32_t kind) {
    const KrModule_Initializer& module = KrModule_Initializer::instance();
    if (kind >= K::ckSpecialColor0 && kind <= K::ckSpecialColor255) {
        std::string text = module.get_resource_string("global.Color_ckSpecialColor_n", "Special colour %lu");
        const std::size_t at = text.find("%lu");
        if (at != std::string::npos) text.replace(at, 3, std::to_string(kind - 31));
        return text;
    }
    const TKindName* n = KindName(kind);
    if (!n || !n->id) return "???";
    return module.get_resource_string(n->id, n->english);
}

std::string KrDibChannelTypeToUserText(std::int32_t type) {
    const KrModule_Initializer& module = KrModule_Initializer::instance();
    if (type == TE_KrDibChannelType::ctUInt)
        return module.get_resource_string("global.ChanTypeUInt", "unsigned integer");
    if (type == TE_KrDibChannelType::ctFloat)
        return module.get_resource_string("global.ChanTypeFloat", "floating point");
    return module.get_resource_string("global.ChanTypeUnknown", "unknown");
}

std::string GetBadColor(const TKrDibChannels& channels) {
    const std::size_t bpp = channels.GetBytesPP();
    if (bpp == 0) return std::string();
    std::string pixel(bpp, '\0');
    for (std::size_t i = 0; i < channels.Kinds.size(); ++i) {
        const std::int32_t k = channels.Kinds[i];
        double v;
        if (k == K::ckGray)
            v = 0.3;
        else if (k == K::ckBlue || k == K::ckRed || k == K::ckAlpha || k == K::ckSpecialMask)
            v = 1.0;
        else if (k >= K::ckCoastal && k < K::ckColor)
            v = 0.7;
        else
            v = 0.0;
        SetChannelValue(&pixel[i * channels.BytesPS], channels.BytesPS, channels.Type, v);
    }
    return pixel;
}

// --- Sample accessors -------------------------------------------------------------------------------

double GetChannelValue(const void* p, std::size_t bytesPS, std::int32_t type) {
    if (type == TE_KrDibChannelType::ctUInt && bytesPS >= 1 && bytesPS <= 4)
        return LoadLE(p, bytesPS) / UIntMax(bytesPS);
    if (type == TE_KrDibChannelType::ctFloat && bytesPS == 4) return GetRaw<float>(p);
    if (type == TE_KrDibChannelType::ctFloat && bytesPS == 8) return GetRaw<double>(p);
    ThrowChannelType("GetChannelValue()", type, bytesPS);
}

void SetChannelValue(void* p, std::size_t bytesPS, std::int32_t type, double v) {
    if (type == TE_KrDibChannelType::ctUInt && bytesPS >= 1 && bytesPS <= 4) {
        const double c = v > 0 ? (v < 1 ? v : 1.0) : 0.0; // NaN clamps to 0
        StoreLE(p, bytesPS, static_cast<std::uint32_t>(std::floor(c * UIntMax(bytesPS) + 0.5)));
    } else if (type == TE_KrDibChannelType::ctFloat && bytesPS == 4) {
        SetRawFloat<float>(p, v);
    } else if (type == TE_KrDibChannelType::ctFloat && bytesPS == 8) {
        SetRawFloat<double>(p, v);
    } else {
        ThrowChannelType("SetChannelValue()", type, bytesPS);
    }
}

std::uint32_t GetChannelValueUInt(const void* p, std::uint32_t mask, std::int32_t type) {
    if (type != TE_KrDibChannelType::ctUInt) ThrowChannelTypeMasked("GetChannelValueUInt()", type);
    return LoadLE(p, MaskBytes(mask)) & mask;
}

void SetChannelValueUInt(void* p, std::uint32_t mask, std::int32_t type, std::uint32_t v) {
    if (type != TE_KrDibChannelType::ctUInt) ThrowChannelTypeMasked("SetChannelValueUInt()", type);
    const std::size_t n = MaskBytes(mask);
    StoreLE(p, n, (LoadLE(p, n) & ~mask) | (v & mask));
}

TKrGetChannelValueDoubleNNFunc GetGetChannelValueDoubleNNFunc(std::size_t bytesPS, std::int32_t type) {
    if (type == TE_KrDibChannelType::ctUInt) {
        if (bytesPS == 1) return &GetRaw<std::uint8_t>;
        if (bytesPS == 2) return &GetRaw<std::uint16_t>;
        if (bytesPS == 4) return &GetRaw<std::uint32_t>;
    } else if (type == TE_KrDibChannelType::ctFloat) {
        if (bytesPS == 4) return &GetRaw<float>;
        if (bytesPS == 8) return &GetRaw<double>;
    }
    ThrowChannelType("GetGetChannelValueDoubleFunc()", type, bytesPS);
}

TKrGetChannelValueDoubleNNArrayFunc GetGetChannelValueDoubleNNArrayFunc(std::size_t bytesPS,
                                                                        std::int32_t type) {
    if (type == TE_KrDibChannelType::ctUInt) {
        if (bytesPS == 1) return &GetRawArray<std::uint8_t>;
        if (bytesPS == 2) return &GetRawArray<std::uint16_t>;
        if (bytesPS == 4) return &GetRawArray<std::uint32_t>;
    } else if (type == TE_KrDibChannelType::ctFloat) {
        if (bytesPS == 4) return &GetRawArray<float>;
        if (bytesPS == 8) return &GetRawArray<double>;
    }
    ThrowChannelType("GetGetChannelValueDoubleArrayFunc()", type, bytesPS);
}

TKrSetChannelValueDoubleNNFunc GetSetChannelValueDoubleNNFunc(std::size_t bytesPS, std::int32_t type) {
    if (type == TE_KrDibChannelType::ctUInt) {
        if (bytesPS == 1) return &SetRawUInt<std::uint8_t>;
        if (bytesPS == 2) return &SetRawUInt<std::uint16_t>;
        if (bytesPS == 4) return &SetRawUInt<std::uint32_t>;
    } else if (type == TE_KrDibChannelType::ctFloat) {
        if (bytesPS == 4) return &SetRawFloat<float>;
        if (bytesPS == 8) return &SetRawFloat<double>;
    }
    ThrowChannelType("GetSetChannelValueDoubleFunc()", type, bytesPS);
}

double GetChannelNNMaxValue(std::size_t bytesPS, std::int32_t type) {
    if (type == TE_KrDibChannelType::ctUInt && (bytesPS == 1 || bytesPS == 2 || bytesPS == 4))
        return UIntMax(bytesPS);
    if (type == TE_KrDibChannelType::ctFloat && (bytesPS == 4 || bytesPS == 8)) return 1.0;
    ThrowChannelType("GetChannelNNMaxValue()", type, bytesPS);
}
