// Log files: their names, clean-up of old ones, and creators that put a file or the console
// in front of the process-wide log.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrLogTypes.h"
#include "Core/KrVarA.h"
#include "System/KrPath.h"

#include <string>

class TKrStream;
class TKrLogRedirect;
class TKrLogFileStream;

// Flags of CreateKrLogFile.
constexpr unsigned krLogToFile = 0x1;
constexpr unsigned krLogToConsole = 0x2;
constexpr unsigned krLogFlushNever = 0x4;
/// Timed flushing; the interval in seconds goes into bits 16..30 (krLogFlushInterval).
constexpr unsigned krLogFlushTimed = 0x8;
constexpr unsigned krLogFlushAlways = 0x10;
constexpr unsigned krLogFlushInterval(unsigned seconds) {
    return (seconds & 0x7FFFu) << 16;
}

/// prefix + "-" + local time as "yyyyMMdd-hhmmsszzz" + ("-" + suffix when non-empty) + ".log".
KRSTD_API std::string GetKrLogFilename(const std::string& prefix, const std::string& suffix);

/// Deletes old log files named prefix + "-*.log" in `dir`: the newest 100 files and every file of
/// the newest three days (the yyyyMMdd after the prefix) survive; with at most 100 files nothing
/// is deleted. Returns the number of files deleted. One directory listing and a sort.
KRSTD_API std::size_t ClearKrLogDirectory(const TKrPath& dir, const std::string& prefix);

/// The object that keeps a log file (and/or the console) in front of the process-wide log.
/// Made by CreateKrLogFile. Records go to a redirect that passes every record to the previous
/// global log stream and records up to the creator's level to the file and the console. When
/// the creator goes it writes "Log closed, <address>" and puts the previous stream back, so
/// creators nest.
class KRSTD_API TKrLogCreator {
public:
    /// An inactive creator; only CreateKrLogFile makes one that installs a log.
    TKrLogCreator();
    TKrLogCreator(const TKrLogCreator&) = delete;
    TKrLogCreator& operator=(const TKrLogCreator&) = delete;
    /// Writes the closing record and restores the previous global log stream; never throws.
    ~TKrLogCreator();

    /// The file written, empty when there is none (console only, or the file could not be made).
    const TKrPath& GetFilePath() const noexcept { return m_filePath; }
    /// The file stream, null when there is none.
    TKrLogFileStream* GetFileStream() const noexcept { return m_file.get(); }

private:
    friend KRSTD_API var_a<TKrLogCreator*> CreateKrLogFile(const TKrPath&, const std::string&, unsigned,
                                                           TKrLogMsgLevel);

    var_a<TKrStream*> m_previous;
    var_a<TKrLogRedirect*> m_redirect;
    var_a<TKrLogFileStream*> m_file;
    var_a<TKrStream*> m_console;
    TKrPath m_filePath;
};

/// Creates a log at `path` and installs it as the process-wide log (see TKrLogCreator).
///
/// `flags`: krLogToFile writes the file, krLogToConsole writes to the standard error stream;
/// with neither nothing is created and the result is empty. The file's flush mode is
/// krLogFlushNever, else krLogFlushTimed (interval from bits 16..30; timed only on a thread
/// whose QCoreApplication event loop can drive it, else always), else always. The file is
/// created new; when `path` exists, "name [1].log", "name [2].log" ... are tried. `level` is the
/// highest record level the file and console take. `name` labels the log in its header (the
/// executable when empty). The header records describe the run: executable and version, user,
/// locale, processor and memory. A file that cannot be created is reported as an error record
/// through the log; the result is then empty unless the console was asked for.
KRSTD_API var_a<TKrLogCreator*> CreateKrLogFile(const TKrPath& path, const std::string& name, unsigned flags,
                                                TKrLogMsgLevel level = 5);

/// CreateKrLogFile in the temporary folder, named GetKrLogFilename(name, ""), every level.
KRSTD_API var_a<TKrLogCreator*> CreateKrLogTemp(const std::string& name, unsigned flags);
