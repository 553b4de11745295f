// TKrXIniStreamReader: the lazy XIni reader over a whole stream held in memory, and its parallel form.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "XIni/KrXIniReader.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TKrPath;
class TKrProgressHandler;
class TKrStream;
struct TKrXIniDocQ;
struct TKrXIniItemQ;
struct TKrXIniSectionQ;

/// What a reader does when the document cannot be loaded (unreadable stream, broken gzip
/// layer, no `krini` root).
struct TE_KrXIniErrorMode {
    enum TKrXIniErrorMode : std::uint32_t {
        Silent = 0, ///< nothing: the reader is empty and ParseError() is true
        Log = 1,    ///< the message goes to the log as an error under "KrXIni"
        Throw = 2,  ///< the constructor throws the message
    };
};
using TKrXIniErrorMode = TE_KrXIniErrorMode::TKrXIniErrorMode;

/// Loads the whole stream at construction (any number of gzip layers undone) and recognises
/// items only when something in their section is asked for, and only as far as needed: opening
/// a huge document and reading its first item costs one read of the bytes and a scan of the
/// first tags. Names and values are unescaped in place in the one text buffer; items never copy
/// text. A format error met while scanning is logged under "KrXIni", ends its section (items
/// recognised before it stay readable), makes the E forms on that section throw and sets
/// ParseError().
///
/// Copies share the document (buffer and parse state) but have their own current section; a
/// reader and its copies are used by one thread at a time.
class KRSTD_API TKrXIniStreamReader : public TKrXIniReader {
public:
    TKrXIniStreamReader(const var_a<TKrStream*>& stream, TKrXIniErrorMode mode, TKrProgressHandler* progress);
    /// Mode Throw when `throwOnError`, else Log.
    TKrXIniStreamReader(const var_a<TKrStream*>& stream, bool throwOnError, TKrProgressHandler* progress);
    TKrXIniStreamReader(const TKrXIniStreamReader& other);
    TKrXIniStreamReader& operator=(const TKrXIniStreamReader& other);
    ~TKrXIniStreamReader() override;

    using TKrXIniReader::Count;
    using TKrXIniReader::CountE;

    std::size_t Count() override;
    std::size_t CountE() override;
    std::size_t Count_x(const char* name, std::size_t len) override;
    std::size_t CountE_x(const char* name, std::size_t len) override;
    std::size_t FindF_x(const char* name, std::size_t len, std::size_t start) override;
    std::size_t FindFE_x(const char* name, std::size_t len, std::size_t start) override;
    TKrXIniItemType ItemType(std::size_t index) override;
    TKrXIniItemType ItemTypeE(std::size_t index) override;
    std::string ItemName(std::size_t index) override;
    std::string ItemNameE(std::size_t index) override;
    bool Exists(std::size_t index) override;
    bool ExistsE(std::size_t index) override;
    std::size_t EnterSection(std::size_t index) override;
    std::size_t EnterSectionE(std::size_t index) override;
    bool ExitSection(std::size_t level) override;
    std::size_t ExitSectionE(std::size_t level) override;

    int Read_x_int32(std::size_t index, int def) override;
    int ReadE_x_int32(std::size_t index) override;
    unsigned Read_x_uint32(std::size_t index, unsigned def) override;
    unsigned ReadE_x_uint32(std::size_t index) override;
    long Read_x_int64(std::size_t index, long def) override;
    long ReadE_x_int64(std::size_t index) override;
    unsigned long Read_x_uint64(std::size_t index, unsigned long def) override;
    unsigned long ReadE_x_uint64(std::size_t index) override;
    double Read_x_double(std::size_t index, double def) override;
    double ReadE_x_double(std::size_t index) override;
    std::string Read_x_string(std::size_t index, const std::string& def) override;
    std::string ReadE_x_string(std::size_t index) override;
    std::string ReadLongString(std::size_t index, const std::string& def) override;
    std::string ReadLongStringE(std::size_t index) override;
    std::string ReadBinary(std::size_t index, const std::string& def) override;
    std::string ReadBinaryE(std::size_t index) override;
    std::string ReadXIni(std::size_t index) override;
    std::string ReadXIniE(std::size_t index) override;
    var_a<TKrXIniTree*> ReadXIniTree(std::size_t index, TXIniTreeMode mode) override;
    var_a<TKrXIniTree*> ReadXIniTreeE(std::size_t index) override;
    std::size_t ReadDouble2(std::size_t index, double* x, double* y) override;
    void ReadDouble2E(std::size_t index, double* x, double* y) override;
    std::size_t ReadDouble3(std::size_t index, double* x, double* y, double* z) override;
    void ReadDouble3E(std::size_t index, double* x, double* y, double* z) override;

    /// True once any reader of this document met a format error or the load failed.
    bool ParseError() const override;
    [[noreturn]] void throw_error_value_message(std::size_t index, const std::string& message) override;

    /// The whole current section as a new tree (values as text, binary as Base64 text).
    var_a<TKrXIniTree*> ReadXIniTreeE();

    /// Pointer access without copies: the item's unescaped name / value, NUL-terminated, valid
    /// as long as the document; null for a missing item.
    const char* ItemNameRaw(std::size_t index, std::size_t* len = nullptr);
    const char* ItemValueRaw(std::size_t index, std::size_t* len = nullptr);
    /// The current level (0 at the root).
    std::size_t Level() const noexcept { return m_stack.size(); }
    /// The stream's information name as the messages use it.
    const std::string& InfoName() const noexcept;

protected:
    /// A reader over the document of `other`, positioned on `section` at level 0 (parallel
    /// workers).
    TKrXIniStreamReader(const TKrXIniStreamReader& other, TKrXIniSectionQ* section);

    struct TLevel {
        TKrXIniSectionQ* section; // the section that holds the entered item
        std::size_t index;        // the entered item
    };

    std::shared_ptr<TKrXIniDocQ> m_doc; // buffer, pools, root section and the parse-error flag
    TKrXIniSectionQ* m_current = nullptr;
    std::vector<TLevel> m_stack; // one entry per entered section, the root's first

private:
    friend class TKrXIniStreamReaderMT;
    struct TScanState; // this reader's XML scanner and item pools
    std::unique_ptr<TScanState> m_scan;

    void Init(const var_a<TKrStream*>& stream, TKrXIniErrorMode mode, TKrProgressHandler* progress);
    void Scan(TKrXIniSectionQ* section, std::size_t wanted, const char* name, std::size_t len, bool byName);
    void ScanFailed(TKrXIniSectionQ* section);
    TKrXIniItemQ* Item(std::size_t index);
    TKrXIniItemQ* ItemE(std::size_t index);
    void CheckFormatE(TKrXIniSectionQ* section, const std::string& leaf);
    std::string ItemPath(const std::string& leaf) const;
    std::string Designate(std::size_t index) ;
    std::string SectionWhere(TKrXIniSectionQ* section) const;
    template <class T> T ReadNumber(std::size_t index, T def, TKrXIniItemType type);
    template <class T> T ReadNumberE(std::size_t index, TKrXIniItemType type, const char* word);
    std::size_t ReadDoubles(std::size_t index, double** out, std::size_t n);
    void ReadDoublesE(std::size_t index, double** out, std::size_t n);
    // Returns the first section that had a format error, or null.
    TKrXIniSectionQ* BuildTree(TKrXIniSectionQ* section, TKrXIniTree* tree);
    bool WriteSection(TKrXIniSectionQ* section, std::string& text);
};

/// Adds ReadArrayMT: the items of the current section handed to a callback on several threads.
class KRSTD_API TKrXIniStreamReaderMT : public TKrXIniStreamReader {
public:
    TKrXIniStreamReaderMT(const var_a<TKrStream*>& stream, bool throwOnError, TKrProgressHandler* progress);

    /// Calls fn(reader, i) once for every item i of the current section, on up to
    /// KrGetThreadsCount() worker threads (2 when it says 0), at most one per 16 items. Each
    /// call gets a worker's own reader whose current section holds just item i, at index 0.
    /// Workers claim 16 indexes at a time. `progress` (may be null) is ticked by the workers and
    /// polled by the caller every 100 ms, which may abandon the read by throwing; the first
    /// exception of a worker is rethrown after all workers stopped.
    void ReadArrayMT(std::function<void(TKrXIniReader*, std::size_t)>& fn, TKrProgressHandler* progress);
};

/// Opens the file for reading and returns a stream reader (mode Throw) that owns the file
/// stream. Throws "Err_OpenReadFile_name" with the path when the file cannot be opened.
KRSTD_API var_a<TKrXIniReader*> GetXIniReader(const TKrPath& path);
