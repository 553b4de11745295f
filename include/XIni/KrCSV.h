// Delimited text tables: the line parser, the header template and the column-bound line writer.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrMessage.h"
#include "Core/KrVarA.h"
#include "Streams/KrStream.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

class TKrXIniReader;
class TKrXIniWriter;

/// strtod of the "C" locale after the first ',' (if any) became '.'; 0 for a null or empty text.
/// Cost: one scan of the text, no allocation.
KRSTD_API double atof_Smart(const char* text);

/// Splits a stream into lines and each line into fields. A line is read in one piece of at most
/// the maximum line length; with quotes on, a quoted field may span line ends (its bytes kept as
/// they stand) as long as the record fits in that length. The plain forms never throw; the E
/// forms report unterminated quotes, cut lines and unreadable numbers as messages naming the
/// line. The parser reads ahead of the current line (the stream's position still ends up after
/// each line's end), so bytes changed in the stream ahead of that position are not seen until
/// the stream is repositioned or `Init` is called again. Not thread-safe.
class KRSTD_API TKrCSVParser {
public:
    TKrCSVParser();
    /// Init(stream, rewind).
    TKrCSVParser(var_a<TKrStream*> stream, bool rewind);
    TKrCSVParser(const TKrCSVParser&) = delete;
    TKrCSVParser& operator=(const TKrCSVParser&) = delete;
    ~TKrCSVParser();

    /// Binds the stream (position set to 0 first with `rewind`) and forgets the current line.
    void Init(var_a<TKrStream*> stream, bool rewind);
    /// Restores the default settings: 2048 bytes, separators " \t,", loose separators, quotes
    /// on, decimal point, ANSI text on, angles off.
    void InitParams();

    // Settings; changing them between lines is allowed.
    void SetMaxLineLength(std::size_t bytes);
    void SetSeparators(const std::string& separators) { m_separators = separators; }
    /// Strict: every separator ends a field. Loose: runs of white space (and white space
    /// around another separator) count as one separator and leading white space is skipped.
    void SetStrictSeparators(bool on) { m_strict = on; }
    void SetQuotes(bool on) { m_quotes = on; }
    void SetDecimalComma(bool on) { m_decimalComma = on; }
    void SetAnsi(bool on) { m_ansi = on; }
    void SetAngles(bool on) { m_angles = on; }
    std::size_t GetMaxLineLength() const { return m_maxLine; }
    const std::string& GetSeparators() const { return m_separators; }

    /// Reads and splits the next line; false at the end of the stream (or without a stream).
    bool NextString();
    /// NextString that throws "@TKrCSVParser: line %1%: <reason>" for a quote left open at the
    /// end of the data or a line longer than the maximum line length.
    bool NextStringE();

    /// The current line without its line end (code-page converted when ANSI text is on).
    std::string GetCurStr() const;
    /// 1-based number of the physical line the current record starts on; 0 before the first.
    std::size_t LineNumber() const { return m_lineNo; }
    /// The current record opened a quote that never closed (its field runs to the record's end).
    bool Unterminated() const { return m_unterminated; }
    /// The current line was longer than the maximum line length; its rest was skipped.
    bool Truncated() const { return m_truncated; }

    std::size_t NumFields() const { return m_fields.size(); }
    /// The field's bytes, NUL-terminated; "" for an index out of range.
    const char* GetRawField(std::size_t i) const;
    /// Fields by type: int as strtol base 10, double (decimal comma and angles per the
    /// settings), std::string (code-page converted). 0 or "" when the field is missing or
    /// holds no number.
    template <class T> T Get(std::size_t i) const;
    /// Get that throws "@TKrCSVParser: line %1%, field %2%: ..." for a missing field or a field
    /// that is not entirely a number (blanks around it allowed).
    template <class T> T GetE(std::size_t i) const;
    std::string GetKrStr(std::size_t i) const { return Get_x_string(i, false); }
    /// Throws unless the current line has exactly `count` fields (ragged rows).
    void CheckNumFieldsE(std::size_t count) const;
    /// The workers behind Get (check = false) and GetE (check = true).
    int Get_x_int(std::size_t i, bool check) const;
    double Get_x_double(std::size_t i, bool check) const;
    std::string Get_x_string(std::size_t i, bool check) const;
    /// Text from the single-byte code page: kept when it is valid UTF-8, else read as Latin-1.
    std::string DecodeString(const std::string& s) const;

private:
    bool ParseDouble(const char* text, double& value, bool whole) const;
    [[noreturn]] void ThrowField(std::size_t i, const char* reason) const;

    // The bytes of the next line: a view into the look-ahead window, refilled from the stream
    // when the window does not hold a whole maximum-length line at the stream's position.
    bool LineBytes(streamsize_t pos, const char*& bytes, std::size_t& n);
    void BuildStopTable();

    var_a<TKrStream*> m_stream;
    std::size_t m_maxLine = 2048;
    std::string m_separators;
    // Bytes that stop a field scan: 1 for a separator, 2 for CR or LF; built for m_stopTableOf.
    unsigned char m_stop[256] = {};
    std::string m_stopTableOf = std::string(1, '\0');
    // Stream bytes [m_aheadPos, m_aheadPos + m_aheadLen) read ahead of the current line, so that
    // short lines cost neither a read of the maximum length each nor a system call each.
    std::vector<char> m_ahead;
    streamsize_t m_aheadPos = 0;
    std::size_t m_aheadLen = 0;
    bool m_aheadAtEnd = false;
    bool m_strict = false, m_quotes = true, m_decimalComma = false, m_ansi = true, m_angles = false;
    std::vector<char> m_line, m_fieldBuf;
    std::size_t m_lineLen = 0;
    std::vector<std::size_t> m_fields; // offsets into m_fieldBuf
    std::size_t m_lineNo = 0, m_nextLineNo = 1;
    bool m_unterminated = false, m_truncated = false;
};

template <> inline int TKrCSVParser::Get<int>(std::size_t i) const {
    return Get_x_int(i, false);
}
template <> inline double TKrCSVParser::Get<double>(std::size_t i) const {
    return Get_x_double(i, false);
}
template <> inline std::string TKrCSVParser::Get<std::string>(std::size_t i) const {
    return Get_x_string(i, false);
}
template <> inline int TKrCSVParser::GetE<int>(std::size_t i) const {
    return Get_x_int(i, true);
}
template <> inline double TKrCSVParser::GetE<double>(std::size_t i) const {
    return Get_x_double(i, true);
}
template <> inline std::string TKrCSVParser::GetE<std::string>(std::size_t i) const {
    return Get_x_string(i, true);
}

/// Column indexes by the names of a header line (separators " ,;", quotes honoured).
class KRSTD_API TKrCSVTemplate {
public:
    TKrCSVTemplate() = default;
    /// Records every column name other than "" and "*"; false when the header has no field or
    /// leaves a quote open.
    bool Init(const std::string& headerLine);
    /// The column of that name: the exact name first, then its normalised form (ASCII case,
    /// blanks, '_' and '-' ignored); -1 when there is none.
    int Find(const std::string& name) const;
    std::size_t NumColumns() const { return m_columns; }
    /// The normalised form used by the second index.
    static std::string Normalize(const std::string& name);

private:
    std::map<std::string, int> m_byName, m_byNorm;
    std::size_t m_columns = 0;
};

/// Writes lines whose columns are bound to caller variables. Not thread-safe.
class KRSTD_API TKrCSVCreator {
public:
    /// Quoting and number rules.
    struct KRSTD_API TParams {
        bool decimal_comma = false;
        bool quote_all_fields = false;
        bool quote_all_text_fields = true;
        char separator = ',';
        unsigned long decimal_limit = 18;
        bool use_decimal_limit = false;
        /// Each key looked up by name; absent keys (and an empty separator) keep their values.
        void Load(TKrXIniReader* reader);
        void SaveE(TKrXIniWriter* writer) const;
    };
    /// One column: its name, its type and the caller's variable (null: the field stays empty).
    struct KRSTD_API TItem {
        enum TType { tInt = 0, tUnsigned = 1, tDouble = 2, tText = 3 };
        std::string name;
        int type = tText;
        const void* value = nullptr; ///< int*, unsigned*, double* or const char* (NUL-terminated)
        /// "int", "unsigned", "double", "text"; -1 for any other name.
        static int TypeFromName(const std::string& name);
        /// The name of a type; "" outside 0..3.
        static const char* TypeName(int type);
    };
    /// The column list, saved as a section "items" of sections "item" with "type" and "name".
    struct KRSTD_API TItems : std::vector<TItem> {
        using std::vector<TItem>::vector;
        /// Replaces the list by the one in the reader (empty when there is no "items" section).
        void Load(TKrXIniReader* reader);
        void SaveE(TKrXIniWriter* writer) const;
        /// Binds the variable of every item of that name; false when there is none.
        bool Bind(const std::string& name, const void* value);
    };

    TParams params;
    TItems items;

    TKrCSVCreator() = default;
    /// Forgets the stream, the header and the columns (params and items stay).
    void Reset();
    /// Binds the stream and orders the columns after the header (separators " \t;,"); a header
    /// name that matches no item gives a column that stays empty. Throws "global.CSVErrNoItems",
    /// "global.CSVErrInvalidSep" or "global.CSVErrTemplate". The header itself is not written.
    void Init(var_a<TKrStream*> stream, const std::string& headerLine);
    /// Formats the bound variables into one line ending "\r\n" and writes it in one Write;
    /// throws "global.CSVWriteError" on a short write. Numbers are formatted locale-free.
    void WriteLine();
    /// The text of the last line written (with its line end).
    std::string LastLine() const { return m_last; }
    const std::string& Header() const { return m_header; }

private:
    var_a<TKrStream*> m_stream;
    std::string m_header, m_last;
    std::vector<int> m_columns; // item index per header column, -1 when unmatched
};
