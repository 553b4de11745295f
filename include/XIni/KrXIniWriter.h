// TKrXIniWriter: the abstract XIni writer every persistent type saves itself through.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>
#include <string>

class TKrXIniTree;

/// Writes named, typed items into a current section; sections are opened with BeginSectionS
/// (which returns the new level, 0 on failure) and closed with EndSection. Every virtual
/// operation returns true on success unless said otherwise; the E forms throw the writer's
/// write error (throw_xwrite_error_i) instead. The virtual slots are in a fixed order that other
/// modules are compiled against; do not reorder or insert. One thread at a time.
class KRSTD_API TKrXIniWriter {
public:
    TKrXIniWriter() = default;
    TKrXIniWriter(const TKrXIniWriter&) = default;
    TKrXIniWriter& operator=(const TKrXIniWriter&) = default;
    virtual ~TKrXIniWriter();

    // --- Virtual slots, in order -------------------------------------------------------------

    virtual bool WriteComment(const std::string& text) = 0;

    virtual bool WriteS_x_int32(const std::string& name, const int& value) = 0;
    virtual bool WriteS_x_uint32(const std::string& name, const unsigned& value) = 0;
    virtual bool WriteS_x_int64(const std::string& name, const long& value) = 0;
    virtual bool WriteS_x_uint64(const std::string& name, const unsigned long& value) = 0;
    virtual bool WriteS_x_float(const std::string& name, const float& value) = 0;
    virtual bool WriteS_x_double(const std::string& name, const double& value) = 0;
    virtual bool WriteS_x_string(const std::string& name, const std::string& value) = 0;

    /// Integer items written as hexadecimal text.
    virtual bool WriteHexS_x_int32(const std::string& name, const int& value) = 0;
    virtual bool WriteHexS_x_uint32(const std::string& name, const unsigned& value) = 0;
    virtual bool WriteHexS_x_int64(const std::string& name, const long& value) = 0;
    virtual bool WriteHexS_x_uint64(const std::string& name, const unsigned long& value) = 0;

    /// A string of any length, stored as a section of string pieces.
    virtual bool WriteLongStringS(const std::string& name, const std::string& value) = 0;
    /// Bytes stored as a binary (Base64) item.
    virtual bool WriteBinaryS(const std::string& name, const std::string& bytes) = 0;

    /// A section named `name` holding the items of another XIni document or tree.
    virtual bool WriteXIniS(const std::string& name, const std::string& xiniText) = 0;
    virtual bool WriteXIniS(const std::string& name, const TKrXIniTree* tree) = 0;
    /// The items of another XIni document or tree, written into the current section.
    virtual bool MergeXIni(const std::string& xiniText) = 0;
    virtual bool MergeXIni(const TKrXIniTree* tree) = 0;

    /// Opens a section and returns its level (0 on failure).
    virtual std::size_t BeginSectionS(const std::string& name) = 0;
    /// The same, with compact layout for the new section and everything below it.
    virtual std::size_t BeginSectionCompactS(const std::string& name) = 0;

    /// Closes the innermost section.
    virtual bool EndSection() = 0;
    virtual void EndSectionE() = 0;
    /// Closes sections until the one opened with `level` is closed.
    virtual bool EndSection(std::size_t level) = 0;
    virtual void EndSectionE(std::size_t level) = 0;

    /// Switches compact layout for what follows.
    virtual void SetCompactMode(bool compact) = 0;

    /// A section named `name` holding two (three) double items.
    virtual bool WriteDouble2S(const std::string& name, double x, double y) = 0;
    virtual bool WriteDouble3S(const std::string& name, double x, double y, double z) = 0;

    virtual bool Flush() = 0;
    virtual void FlushE() = 0;
    virtual bool Close() = 0;
    virtual void CloseE() = 0;

    /// Throws this writer's generic write error. Must not return.
    virtual void throw_xwrite_error_i() = 0;

    // --- Typed and throwing forms over the slots ---------------------------------------------

    /// Typed writing: int, unsigned, long, unsigned long, float, double, std::string through their
    /// own slots; bool and signed char widened through the int32 slot; char and unsigned char
    /// through the uint32 slot (as the unsigned byte). Other headers add their own types.
    template <class T> bool WriteS(const std::string& name, const T& value);
    /// WriteS<std::string> for a literal (null writes the empty string).
    bool WriteS(const std::string& name, const char* value) {
        return WriteS_x_string(name, value ? value : "");
    }
    /// Integer types as hexadecimal: char and unsigned char through the uint32 slot, signed char
    /// through the int32 slot, the others through their own.
    template <class T> bool WriteHexS(const std::string& name, const T& value);
    /// WriteS and WriteHexS that throw the write error on failure.
    template <class T> void WriteSE(const std::string& name, const T& value) {
        if (!WriteS(name, value)) fail();
    }
    template <class T> void WriteHexSE(const std::string& name, const T& value) {
        if (!WriteHexS(name, value)) fail();
    }

    void WriteCommentE(const std::string& text);
    void WriteLongStringSE(const std::string& name, const std::string& value);
    void WriteBinarySE(const std::string& name, const std::string& bytes);
    void WriteXIniSE(const std::string& name, const std::string& xiniText);
    void WriteXIniSE(const std::string& name, const TKrXIniTree* tree);
    void MergeXIniE(const std::string& xiniText);
    void MergeXIniE(const TKrXIniTree* tree);
    /// Returns the new level (never 0).
    std::size_t BeginSectionSE(const std::string& name);
    std::size_t BeginSectionCompactSE(const std::string& name);
    void WriteDouble2SE(const std::string& name, double x, double y);
    void WriteDouble3SE(const std::string& name, double x, double y, double z);

private:
    // throw_xwrite_error_i, with a generic write error behind it should an implementation return.
    [[noreturn]] void fail();
};

template <class T> bool TKrXIniWriter::WriteS(const std::string&, const T&) {
    static_assert(sizeof(T) == 0, "TKrXIniWriter::WriteS<T>: no writer for this type");
    return false;
}
template <class T> bool TKrXIniWriter::WriteHexS(const std::string&, const T&) {
    static_assert(sizeof(T) == 0, "TKrXIniWriter::WriteHexS<T>: no hexadecimal writer for this type");
    return false;
}

template <> inline bool TKrXIniWriter::WriteS<int>(const std::string& name, const int& value) {
    return WriteS_x_int32(name, value);
}
template <> inline bool TKrXIniWriter::WriteS<unsigned>(const std::string& name, const unsigned& value) {
    return WriteS_x_uint32(name, value);
}
template <> inline bool TKrXIniWriter::WriteS<long>(const std::string& name, const long& value) {
    return WriteS_x_int64(name, value);
}
template <>
inline bool TKrXIniWriter::WriteS<unsigned long>(const std::string& name, const unsigned long& value) {
    return WriteS_x_uint64(name, value);
}
template <> inline bool TKrXIniWriter::WriteS<float>(const std::string& name, const float& value) {
    return WriteS_x_float(name, value);
}
template <> inline bool TKrXIniWriter::WriteS<double>(const std::string& name, const double& value) {
    return WriteS_x_double(name, value);
}
template <>
inline bool TKrXIniWriter::WriteS<std::string>(const std::string& name, const std::string& value) {
    return WriteS_x_string(name, value);
}
template <> inline bool TKrXIniWriter::WriteS<bool>(const std::string& name, const bool& value) {
    return WriteS_x_int32(name, value ? 1 : 0);
}
template <>
inline bool TKrXIniWriter::WriteS<signed char>(const std::string& name, const signed char& value) {
    return WriteS_x_int32(name, value);
}
template <> inline bool TKrXIniWriter::WriteS<char>(const std::string& name, const char& value) {
    return WriteS_x_uint32(name, static_cast<unsigned char>(value));
}
template <>
inline bool TKrXIniWriter::WriteS<unsigned char>(const std::string& name, const unsigned char& value) {
    return WriteS_x_uint32(name, value);
}

template <> inline bool TKrXIniWriter::WriteHexS<int>(const std::string& name, const int& value) {
    return WriteHexS_x_int32(name, value);
}
template <> inline bool TKrXIniWriter::WriteHexS<unsigned>(const std::string& name, const unsigned& value) {
    return WriteHexS_x_uint32(name, value);
}
template <> inline bool TKrXIniWriter::WriteHexS<long>(const std::string& name, const long& value) {
    return WriteHexS_x_int64(name, value);
}
template <>
inline bool TKrXIniWriter::WriteHexS<unsigned long>(const std::string& name, const unsigned long& value) {
    return WriteHexS_x_uint64(name, value);
}
template <>
inline bool TKrXIniWriter::WriteHexS<signed char>(const std::string& name, const signed char& value) {
    return WriteHexS_x_int32(name, value);
}
template <> inline bool TKrXIniWriter::WriteHexS<char>(const std::string& name, const char& value) {
    return WriteHexS_x_uint32(name, static_cast<unsigned char>(value));
}
template <>
inline bool TKrXIniWriter::WriteHexS<unsigned char>(const std::string& name, const unsigned char& value) {
    return WriteHexS_x_uint32(name, value);
}
