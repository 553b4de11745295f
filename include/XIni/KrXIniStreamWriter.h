// TKrXIniStreamWriter: writes XIni text (optionally gzip-compressed) to a stream.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "XIni/KrXIniItemType.h"
#include "XIni/KrXIniWriter.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

class TKrProgressHandler;

class TKrStream;
class TKrGZipWriter;
class TKrBufferedWriter;

/// Turns TKrXIniWriter calls into XIni text. Everything is assembled in a 1 MiB buffer owned by
/// the writer and reaches the stream only in full 1 MiB blocks and at Flush/Close, so the cost
/// per item is formatting plus a memcpy; numbers are formatted without allocating, strings are
/// escaped straight into the buffer.
///
/// Layout: each item on its own line, indented by two blanks per section level; in compact
/// layout items follow each other on one line and a line is ended only after an item that
/// leaves it at least 1024 + indent bytes long. Names and string values are escaped
/// ('"', '&', '<', '>' and control bytes as character references; the apostrophe and bytes
/// >= 0x80 pass unchanged).
///
/// Failures do not throw: an operation returns false and sets the error flag, which is never
/// cleared, so Close reports every failure since construction. The E forms throw the write
/// error instead. One thread at a time.
class KRSTD_API TKrXIniStreamWriter : public TKrXIniWriter {
public:
    /// What the constructor writes before the first item, and whether a root element is used.
    enum THeaderType : std::uint32_t {
        Full = 0,        ///< XML declaration, DOCTYPE, <krini> and the version comment
        Declaration = 1, ///< XML declaration and <krini>
        RootOnly = 2,    ///< <krini> only
        RootCompact = 3, ///< <krini> only, compact layout from level 1
        Bare = 4,        ///< nothing and no root element (every value >= 4), compact layout
    };

    /// Size of the output buffer and of every block written to the stream.
    static constexpr std::size_t BufferSize = 1048576;
    /// Compact layout ends a line once it is this long plus the indent.
    static constexpr std::size_t CompactLineLength = 1024;

    /// Compression word: the low byte 1 selects gzip; bits 8..11 hold the zlib level plus one
    /// (0: zlib's default); bits 12..15 the number of extra gzip layers around the first.
    static constexpr int CompressGZip = 1;
    /// Added to a gzip compression word: every gzip layer compresses 1 MiB blocks on the
    /// library's worker threads (TKrGZipWriter::SetThreads(0)), written as consecutive members.
    /// Several times faster, about as small, not byte-identical to the single-member output.
    static constexpr int CompressParallel = 1 << 16;
    static constexpr int CompressionWord(int level, int extraLayers) {
        return CompressGZip | ((level + 1) & 0xF) << 8 | (extraLayers & 0xF) << 12;
    }

    /// Writes the header for `header` to `stream`, wrapped in gzip layers as `compression`
    /// asks. A null stream throws std::logic_error; a failing gzip open sets the error flag
    /// (the writer then writes nothing). Allocates the 1 MiB buffer (pages are touched only as
    /// they fill).
    TKrXIniStreamWriter(var_a<TKrStream*> stream, int compression, THeaderType header);
    /// Closes (exceptions swallowed), then releases the gzip layers innermost last and the stream.
    ~TKrXIniStreamWriter() override;
    TKrXIniStreamWriter(const TKrXIniStreamWriter&) = delete;
    TKrXIniStreamWriter& operator=(const TKrXIniStreamWriter&) = delete;

    // --- TKrXIniWriter -----------------------------------------------------------------------

    /// "<!-- text -->": control bytes become blanks and every second '-' of a run becomes '~'.
    bool WriteComment(const std::string& text) override;

    /// 32-bit signed values are written as their unsigned bit pattern (-1 as 4294967295).
    bool WriteS_x_int32(const std::string& name, const int& value) override;
    bool WriteS_x_uint32(const std::string& name, const unsigned& value) override;
    bool WriteS_x_int64(const std::string& name, const long& value) override;
    bool WriteS_x_uint64(const std::string& name, const unsigned long& value) override;
    /// Floats as "%.8e" of the value widened to double, doubles as "%.16e".
    bool WriteS_x_float(const std::string& name, const float& value) override;
    bool WriteS_x_double(const std::string& name, const double& value) override;
    bool WriteS_x_string(const std::string& name, const std::string& value) override;
    /// "0x" and uppercase digits; negative values as "-0x" and the magnitude.
    bool WriteHexS_x_int32(const std::string& name, const int& value) override;
    bool WriteHexS_x_uint32(const std::string& name, const unsigned& value) override;
    bool WriteHexS_x_int64(const std::string& name, const long& value) override;
    bool WriteHexS_x_uint64(const std::string& name, const unsigned long& value) override;

    /// A section of unnamed string items, one per line of `value` (terminators kept).
    bool WriteLongStringS(const std::string& name, const std::string& value) override;
    /// A 'b' element with the Base64 text in lines of 64 characters.
    bool WriteBinaryS(const std::string& name, const std::string& bytes) override;

    /// A section holding the body of another XIni document or a tree.
    bool WriteXIniS(const std::string& name, const std::string& xiniText) override;
    bool WriteXIniS(const std::string& name, const TKrXIniTree* tree) override;
    /// Copies the body of another XIni document (its text between <krini> and </krini>,
    /// re-indented) into the current section. False when the text has no krini element, holds a
    /// tag whose name is not one letter, or ends before </krini>. O(text).
    bool MergeXIni(const std::string& xiniText) override;
    /// Writes the items of `tree` (null: nothing) into the current section; sections without a
    /// child are skipped. Throws "@MergeXIni error: invalid item type" on an item type outside
    /// Section..Binary. O(items of the hierarchy); recursion depth = section depth.
    bool MergeXIni(const TKrXIniTree* tree) override;
    /// The same, setting the position of `progress` (may be null) by the share of items written
    /// every 4096 items and calling its CheckBreak there (which may throw to abandon the write).
    /// Costs one extra pass that counts the items.
    bool MergeXIni(const TKrXIniTree* tree, TKrProgressHandler* progress);

    /// Returns the level of the section's tag (>= 1 inside the root), 0 on a write failure.
    std::size_t BeginSectionS(const std::string& name) override;
    std::size_t BeginSectionCompactS(const std::string& name) override;
    bool EndSection() override;
    void EndSectionE() override;
    /// Closes sections until the current level is `level`; 0 < level < current level, else the
    /// error flag is set and the result is false.
    bool EndSection(std::size_t level) override;
    void EndSectionE(std::size_t level) override;
    /// On: compact layout from the current level (no change when already on). Off: ends compact
    /// layout started at this level (and the current line); ignored inside a compact section.
    void SetCompactMode(bool compact) override;

    /// An 'x' element holding unnamed 'd' items, all on one line.
    bool WriteDouble2S(const std::string& name, double x, double y) override;
    bool WriteDouble3S(const std::string& name, double x, double y, double z) override;

    /// Writes the filled part of the buffer to the stream (the stream itself is not flushed).
    bool Flush() override;
    void FlushE() override;
    /// Closes all sections, writes </krini> (unless the header is Bare), flushes and finishes
    /// the gzip layers. True when no write failed since construction. Idempotent.
    bool Close() override;
    void CloseE() override;
    /// "Err_Write_name" with the stream's information name, or "Err_XIni_Write" without one.
    [[noreturn]] void throw_xwrite_error_i() override;

    // --- Raw output --------------------------------------------------------------------------

    /// Bytes as they are, indented when they start a line, counted into the current line.
    bool WriteRaw(const char* data, std::size_t n);
    bool WriteRaw(const std::string& text) { return WriteRaw(text.data(), text.size()); }
    void WriteRawE(const char* data, std::size_t n);
    void WriteRawE(const std::string& text) { WriteRawE(text.data(), text.size()); }
    /// Bytes into the buffer only: no indent, the line length is left as it is.
    bool WriteRawBuffer(const char* data, std::size_t n);
    /// Copies an item whose name and value are raw (still escaped) attribute text: Integer,
    /// Double and String as one element, Binary as Base64 lines, Section as an opened section
    /// (closed later with EndSection). False for other types.
    bool WriteItemRaw(TKrXIniItemType type, const char* nameBegin, const char* nameEnd,
                      const char* valueBegin, const char* valueEnd);

    // --- State -------------------------------------------------------------------------------

    /// True after any failed write, failed gzip open or invalid EndSection.
    bool HasError() const noexcept { return m_error; }
    /// Current nesting depth: 1 inside the root, 0 after Close.
    std::size_t GetLevel() const noexcept { return m_level; }
    /// True while compact layout is on.
    bool IsCompact() const noexcept { return m_compactLevel != 0; }
    THeaderType GetHeaderType() const noexcept { return m_header; }

private:
    // The output primitives: defined in the source file, where every caller is.
    inline bool Put(const char* p, std::size_t n);
    inline bool Atom(const char* p, std::size_t n);
    inline bool Atom(const std::string& s);
    bool LineBreak();
    void UpdateIndent();
    bool Fail() {
        m_error = true;
        return false;
    }

    bool AtomEscaped(const char* p, std::size_t n);
    bool TagHeader(char letter, std::string_view name);
    /// A section `name` of unnamed double items (at most three).
    bool WriteDoublesS(const std::string& name, std::initializer_list<double> values);
    bool TagHeaderRaw(char letter, const char* nameBegin, const char* nameEnd);
    bool NumberItem(char letter, const std::string& name, const char* text, std::size_t n);
    bool Base64Body(const char* text, std::size_t n);
    bool CloseGZipChain();

    class TKrXmlCollIniQCopy; // copies another document's body for MergeXIni(text)

    var_a<TKrStream*> m_stream;
    TKrStream* m_out = nullptr; // the outermost gzip layer, or the stream itself
    THeaderType m_header;
    std::size_t m_level = 0;
    std::string m_indent;
    std::size_t m_compactLevel = 0;
    std::size_t m_column = 0;
    std::unique_ptr<TKrBufferedWriter> m_buffer; // the 1 MiB buffer and its fill count
    bool m_error = false;
    // gzip layers, innermost (writing into m_stream) first.
    std::vector<var_a<TKrGZipWriter*>> m_gzip;
};
