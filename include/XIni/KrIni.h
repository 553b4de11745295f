// The library's INI dialect over a stream: writer, indexed reader and in-memory reader-writer.
#pragma once

#include "Core/KrExport.h"
#include "Streams/KrStream.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

/// One key=value line of a section in reader-writer mode. A line without '=' keeps its text in
/// `key` and has `bare` set; it is written back unchanged.
struct SIniEntry {
    std::string key;
    std::string value;
    bool bare = false;
};

/// Reads and writes INI text: ";KrINI3.5" first, "[name]" headers after an empty line, key=value
/// lines with CR LF ends, ";KrINIend" last. Mode krOpenWrite (also krCreateNew, krCreate) writes,
/// krOpenRead keeps the whole text in memory and indexes its sections, krOpenReadWrite parses
/// the text into entries and writes it back on Close() when something changed. Numbers are
/// written and read without the process locale. Not thread-safe.
class KRSTD_API TKrIniFileManager {
public:
    /// Opens `stream` in `mode` (see the class comment; other modes open nothing). A null stream
    /// throws std::invalid_argument; a short read throws std::runtime_error "StreamRead error";
    /// a reader-writer on a file with a repeated section throws std::runtime_error "illegal ini
    /// file" and on a header without ']' a TKrMessage naming the line.
    TKrIniFileManager(TKrStream* stream, krOpenMode mode, bool ownStream);
    ~TKrIniFileManager();
    TKrIniFileManager(const TKrIniFileManager&) = delete;
    TKrIniFileManager& operator=(const TKrIniFileManager&) = delete;

    /// Writer: the closing line; reader-writer: rewrites the stream when changed. Then frees
    /// the text and destroys an owned stream. Returns WriteStatus() == 0. Idempotent.
    bool Close();
    /// 0 when every write succeeded, 2 when some write failed.
    int WriteStatus() const { return m_writeFailed ? 2 : 0; }

    // Writing. Each returns success; a reader throws std::runtime_error "Cannot write for IniReader".
    /// Starts a section. The name written last is accepted without writing anything; another name
    /// written earlier is refused unless `allowRepeat`.
    bool WriteSection(const std::string& name, bool allowRepeat = false);
    bool WriteString(const std::string& key, const std::string& value, bool quote);
    bool WriteStdString(const std::string& key, const std::string& value);
    /// The value as it stands; the caller keeps CR and LF out of it.
    bool WriteRawString(const std::string& key, const std::string& text);
    bool WriteInt(const std::string& key, int value);
    bool WriteDouble(const std::string& key, double value);
    bool WriteDouble2(const std::string& key, double a, double b);
    bool WriteDouble3(const std::string& key, double a, double b, double c);
    bool WriteDouble4(const std::string& key, double a, double b, double c, double d);
    bool WriteDouble5(const std::string& key, double a, double b, double c, double d, double e);
    bool WriteDoubles(const std::string& key, const double* values, std::size_t n);
    bool WriteBinary(const std::string& key, const void* data, std::size_t size);
    bool WriteStdBinary(const std::string& key, const std::string& bytes);
    /// One value per letter of `format` (either case), separated by ',': 'i' int, 'd' double,
    /// 's' const char* written in double quotes as it stands, 'b' const char* written as two
    /// lower-case hex digits per byte. An unknown letter throws std::invalid_argument.
    bool WriteFormatted(const std::string& key, const char* format, ...);

    // Reading. A writer throws std::runtime_error "Cannot read for IniWriter".
    /// Makes `name` the current section; false (and no current section) when absent.
    bool SetSection(const std::string& name);
    const std::string& GetSection() const { return m_section; }
    std::size_t GetSectionCount() const;
    /// The name of section i in file order (reader) or name order (reader-writer); "" past the end.
    std::string GetSectionName(std::size_t i) const;
    /// The keys of the current section in order; lines without '=' (comments too in a reader)
    /// are given whole. Empty lines are left out.
    bool ReadSection(std::vector<std::string>& keys);
    /// The value text, valid until the next read; null when the key is absent. A reader finds
    /// the key spelled exactly, a reader-writer ignores ASCII case.
    const char* ReadRawString(const std::string& key);
    /// The decoded value (enclosing quotes dropped), valid until the next read; `def` when absent.
    const char* ReadString(const std::string& key, const char* def);
    std::string ReadStdString(const std::string& key, const std::string& def);
    /// A decimal int after optional blanks and sign; `def` when absent or no digit. Clamped to int.
    int ReadInt(const std::string& key, int def);
    double ReadDouble(const std::string& key, double def);
    /// Reads up to 2..5 doubles separated by ','; returns how many were parsed, the outputs past
    /// that count are left unchanged.
    int ReadDouble2(const std::string& key, double* a, double* b);
    int ReadDouble3(const std::string& key, double* a, double* b, double* c);
    int ReadDouble4(const std::string& key, double* a, double* b, double* c, double* d);
    int ReadDouble5(const std::string& key, double* a, double* b, double* c, double* d, double* e);
    int ReadDoubles(const std::string& key, double* values, std::size_t n);
    /// Parses what WriteFormatted wrote: 'i' int*, 'd' double*, 's' and 'b' std::string*.
    /// Returns how many values were parsed (-1 when the key is absent). Odd or bad hex of a 'b'
    /// value throws a TKrMessage naming the key.
    int ReadFormatted(const std::string& key, const char* format, ...);
    /// The decoded bytes, valid until the next read; false when absent.
    bool ReadBinary(const std::string& key, const void** data, std::size_t* size);
    bool ReadStdBinary(const std::string& key, std::string& bytes);

    // Reader-writer only (false otherwise).
    bool DeleteSection(const std::string& name);
    /// Removes the key from the current section.
    bool DeleteIdent(const std::string& key);

private:
    struct SSection {
        std::string name;
        std::size_t start = 0, end = 0, pos = 0;
    };
    enum class EMode { None, Writer, Reader, ReaderWriter };

    void OpenReader();
    void OpenReaderWriter();
    bool Put(const std::string& text);
    bool WriteValue(const std::string& key, const std::string& value);
    const std::string* Find(const std::string& key);
    void CheckWrite() const;
    void CheckRead() const;
    std::vector<SIniEntry>* CurrentEntries();

    TKrStream* m_stream;
    EMode m_mode = EMode::None;
    bool m_own;
    bool m_writeFailed = false;
    bool m_changed = false;
    // writer
    std::vector<std::string> m_written;
    // reader
    std::string m_text;
    std::vector<SSection> m_sections;
    std::map<std::string, std::size_t> m_sectionIndex;
    std::size_t m_current = std::string::npos;
    // reader-writer
    std::map<std::string, std::vector<SIniEntry>> m_entries;
    std::string m_section;
    std::string m_value;
};
