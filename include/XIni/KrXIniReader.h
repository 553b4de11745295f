// TKrXIniReader: the abstract XIni reader every persistent type loads itself through.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "XIni/KrXIniItemType.h"

#include <cstddef>
#include <cstdint>
#include <string>

class TKrXIniTree;

/// Reads the items of a current section, addressed by zero-based index; npos means "not found".
/// The root section is level 0; entering a section makes it current and returns its level,
/// which is given back to leave it.
///
/// Every virtual operation comes as a pair: the plain form returns a default (the given one, 0,
/// false, npos or an empty text) where the E form throws TKrMessage. The virtual slots are in a
/// fixed order that other modules are compiled against; do not reorder or insert. Readers are
/// used by one thread at a time.
///
/// Implementations that override Count() or CountE() hide the by-name overloads of this class;
/// they re-expose them with `using TKrXIniReader::Count;` and `using TKrXIniReader::CountE;`.
class KRSTD_API TKrXIniReader {
public:
    static constexpr std::size_t npos = std::size_t(-1);

    /// What ReadXIniTree yields for an item that is absent or not a section.
    enum TXIniTreeMode : std::uint32_t {
        NullIfAbsent = 0,  ///< a null pointer
        EmptyIfAbsent = 1, ///< a new empty tree
    };

    TKrXIniReader() = default;
    TKrXIniReader(const TKrXIniReader&) = default;
    TKrXIniReader& operator=(const TKrXIniReader&) = default;
    virtual ~TKrXIniReader();

    // --- Virtual slots, in order -------------------------------------------------------------

    /// Number of items in the current section.
    virtual std::size_t Count() = 0;
    virtual std::size_t CountE() = 0;
    /// Number of items named by `len` bytes at `name` in the current section.
    virtual std::size_t Count_x(const char* name, std::size_t len) = 0;
    virtual std::size_t CountE_x(const char* name, std::size_t len) = 0;
    /// First index at or after `start` with that name; npos (plain) or "Err_XIni_RecordNotFound" (E).
    virtual std::size_t FindF_x(const char* name, std::size_t len, std::size_t start) = 0;
    virtual std::size_t FindFE_x(const char* name, std::size_t len, std::size_t start) = 0;
    /// The item's type; Invalid (0) for a missing item in the plain form.
    virtual TKrXIniItemType ItemType(std::size_t index) = 0;
    virtual TKrXIniItemType ItemTypeE(std::size_t index) = 0;
    /// The item's name; "" for a missing item in the plain form.
    virtual std::string ItemName(std::size_t index) = 0;
    virtual std::string ItemNameE(std::size_t index) = 0;
    virtual bool Exists(std::size_t index) = 0;
    virtual bool ExistsE(std::size_t index) = 0;
    /// Makes the section at index current and returns its level (>= 1); the plain form returns
    /// 0 for a missing item or one that is no section.
    virtual std::size_t EnterSection(std::size_t index) = 0;
    virtual std::size_t EnterSectionE(std::size_t index) = 0;
    /// Leaves sections until `level` - 1 is current; needs 1 <= level <= the current level.
    /// The plain form returns false and changes nothing otherwise; the E form returns level - 1
    /// or throws "Err_XIni_InvalidLevel".
    virtual bool ExitSection(std::size_t level) = 0;
    virtual std::size_t ExitSectionE(std::size_t level) = 0;

    /// Integer items converted to the slot's width (strtol-style text: sign, 0x hex, 0 octal).
    virtual int Read_x_int32(std::size_t index, int def) = 0;
    virtual int ReadE_x_int32(std::size_t index) = 0;
    virtual unsigned Read_x_uint32(std::size_t index, unsigned def) = 0;
    virtual unsigned ReadE_x_uint32(std::size_t index) = 0;
    virtual long Read_x_int64(std::size_t index, long def) = 0;
    virtual long ReadE_x_int64(std::size_t index) = 0;
    virtual unsigned long Read_x_uint64(std::size_t index, unsigned long def) = 0;
    virtual unsigned long ReadE_x_uint64(std::size_t index) = 0;
    /// Double items only.
    virtual double Read_x_double(std::size_t index, double def) = 0;
    virtual double ReadE_x_double(std::size_t index) = 0;
    /// String items only.
    virtual std::string Read_x_string(std::size_t index, const std::string& def) = 0;
    virtual std::string ReadE_x_string(std::size_t index) = 0;
    /// A section of string items, their values concatenated.
    virtual std::string ReadLongString(std::size_t index, const std::string& def) = 0;
    virtual std::string ReadLongStringE(std::size_t index) = 0;
    /// A binary item's decoded bytes.
    virtual std::string ReadBinary(std::size_t index, const std::string& def) = 0;
    virtual std::string ReadBinaryE(std::size_t index) = 0;
    /// A complete XIni document text holding the section's content.
    virtual std::string ReadXIni(std::size_t index) = 0;
    virtual std::string ReadXIniE(std::size_t index) = 0;
    /// A new tree holding the section's content; for an absent item or non-section, see mode.
    virtual var_a<TKrXIniTree*> ReadXIniTree(std::size_t index, TXIniTreeMode mode) = 0;
    virtual var_a<TKrXIniTree*> ReadXIniTreeE(std::size_t index) = 0;
    /// The first two (three) items of the section at index as numbers. The plain form returns
    /// how many leading values it parsed; the E form needs all of them.
    virtual std::size_t ReadDouble2(std::size_t index, double* x, double* y) = 0;
    virtual void ReadDouble2E(std::size_t index, double* x, double* y) = 0;
    virtual std::size_t ReadDouble3(std::size_t index, double* x, double* y, double* z) = 0;
    virtual void ReadDouble3E(std::size_t index, double* x, double* y, double* z) = 0;

    /// True when the underlying text had a format error.
    virtual bool ParseError() const;
    /// Throws a read error for the item at index with the given message text. Must not return.
    virtual void throw_error_value_message(std::size_t index, const std::string& message) = 0;

    // --- By-name and typed forms over the slots ----------------------------------------------
    // A null name pointer reads as the empty name; a null position pointer as position 0 that
    // is not advanced.

    std::size_t Count(const char* name);
    std::size_t CountE(const char* name);
    std::size_t Count(const std::string& name) { return Count_x(name.data(), name.size()); }
    std::size_t CountE(const std::string& name) { return CountE_x(name.data(), name.size()); }

    std::size_t FindF(const char* name, std::size_t start);
    std::size_t FindFE(const char* name, std::size_t start);
    std::size_t FindF(const std::string& name, std::size_t start) {
        return FindF_x(name.data(), name.size(), start);
    }
    std::size_t FindFE(const std::string& name, std::size_t start) {
        return FindFE_x(name.data(), name.size(), start);
    }
    /// Searches from *pos; on success sets *pos to the found index + 1, otherwise leaves it.
    std::size_t FindFP(const char* name, std::size_t* pos);
    std::size_t FindFP(const std::string& name, std::size_t* pos);
    /// Searches from *pos and sets it to the found index + 1; throws when nothing is found.
    std::size_t FindFPE(const char* name, std::size_t* pos);
    std::size_t FindFPE(const std::string& name, std::size_t* pos);

    /// Enters the first section with that name; 0 (plain) when there is none.
    std::size_t EnterSectionS(const char* name);
    std::size_t EnterSectionS(const std::string& name);
    std::size_t EnterSectionSE(const char* name);
    std::size_t EnterSectionSE(const std::string& name);
    /// Enters the next item with that name from *pos on, advancing *pos as FindFP / FindFPE do.
    std::size_t EnterSectionSP(const char* name, std::size_t* pos);
    std::size_t EnterSectionSP(const std::string& name, std::size_t* pos);
    std::size_t EnterSectionSPE(const char* name, std::size_t* pos);
    std::size_t EnterSectionSPE(const std::string& name, std::size_t* pos);

    /// Typed reading: bool, char, signed char, unsigned char, int, unsigned, long, unsigned long,
    /// float, double and std::string here; other headers add their own types. Narrow types
    /// read through the 32-bit slots and truncate (a char item of 300 reads as 44).
    template <class T> T Read(std::size_t index, T def);
    template <class T> T ReadE(std::size_t index);
    /// Read<std::string> with a literal default.
    std::string Read(std::size_t index, const char* def) { return Read_x_string(index, def ? def : ""); }

    /// Finds the name from index 0, then reads the long string there.
    std::string ReadLongStringS(const char* name, const std::string& def);
    std::string ReadLongStringS(const std::string& name, const std::string& def);
    std::string ReadLongStringSE(const char* name);
    std::string ReadLongStringSE(const std::string& name);

    /// Throws "Err_XIni_InvalidValue" for the item at index through throw_error_value_message.
    [[noreturn]] void throw_error_value(std::size_t index);
    /// The same for the first item with that name (npos when there is none).
    [[noreturn]] void throw_error_valueS(const char* name);
    [[noreturn]] void throw_error_valueS(const std::string& name);

protected:
    /// Free for implementations; zero after construction.
    std::uint64_t m_reserved = 0;
};

template <class T> T TKrXIniReader::Read(std::size_t, T) {
    static_assert(sizeof(T) == 0, "TKrXIniReader::Read<T>: no reader for this type");
    return T();
}
template <class T> T TKrXIniReader::ReadE(std::size_t) {
    static_assert(sizeof(T) == 0, "TKrXIniReader::ReadE<T>: no reader for this type");
    return T();
}

template <> inline bool TKrXIniReader::Read<bool>(std::size_t i, bool def) {
    return Read_x_int32(i, def ? 1 : 0) != 0;
}
template <> inline bool TKrXIniReader::ReadE<bool>(std::size_t i) {
    return ReadE_x_int32(i) != 0;
}
template <> inline char TKrXIniReader::Read<char>(std::size_t i, char def) {
    return static_cast<char>(Read_x_uint32(i, static_cast<unsigned char>(def)));
}
template <> inline char TKrXIniReader::ReadE<char>(std::size_t i) {
    return static_cast<char>(ReadE_x_uint32(i));
}
template <> inline signed char TKrXIniReader::Read<signed char>(std::size_t i, signed char def) {
    return static_cast<signed char>(Read_x_int32(i, def));
}
template <> inline signed char TKrXIniReader::ReadE<signed char>(std::size_t i) {
    return static_cast<signed char>(ReadE_x_int32(i));
}
template <> inline unsigned char TKrXIniReader::Read<unsigned char>(std::size_t i, unsigned char def) {
    return static_cast<unsigned char>(Read_x_uint32(i, def));
}
template <> inline unsigned char TKrXIniReader::ReadE<unsigned char>(std::size_t i) {
    return static_cast<unsigned char>(ReadE_x_uint32(i));
}
template <> inline int TKrXIniReader::Read<int>(std::size_t i, int def) {
    return Read_x_int32(i, def);
}
template <> inline int TKrXIniReader::ReadE<int>(std::size_t i) {
    return ReadE_x_int32(i);
}
template <> inline unsigned TKrXIniReader::Read<unsigned>(std::size_t i, unsigned def) {
    return Read_x_uint32(i, def);
}
template <> inline unsigned TKrXIniReader::ReadE<unsigned>(std::size_t i) {
    return ReadE_x_uint32(i);
}
template <> inline long TKrXIniReader::Read<long>(std::size_t i, long def) {
    return Read_x_int64(i, def);
}
template <> inline long TKrXIniReader::ReadE<long>(std::size_t i) {
    return ReadE_x_int64(i);
}
template <> inline unsigned long TKrXIniReader::Read<unsigned long>(std::size_t i, unsigned long def) {
    return Read_x_uint64(i, def);
}
template <> inline unsigned long TKrXIniReader::ReadE<unsigned long>(std::size_t i) {
    return ReadE_x_uint64(i);
}
template <> inline float TKrXIniReader::Read<float>(std::size_t i, float def) {
    return static_cast<float>(Read_x_double(i, def));
}
template <> inline float TKrXIniReader::ReadE<float>(std::size_t i) {
    return static_cast<float>(ReadE_x_double(i));
}
template <> inline double TKrXIniReader::Read<double>(std::size_t i, double def) {
    return Read_x_double(i, def);
}
template <> inline double TKrXIniReader::ReadE<double>(std::size_t i) {
    return ReadE_x_double(i);
}
template <> inline std::string TKrXIniReader::Read<std::string>(std::size_t i, std::string def) {
    return Read_x_string(i, def);
}
template <> inline std::string TKrXIniReader::ReadE<std::string>(std::size_t i) {
    return ReadE_x_string(i);
}
