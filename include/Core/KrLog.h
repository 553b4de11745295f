// The process-wide log: typed, levelled, tab-separated records written by one owner thread.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrLogTypes.h"
#include "Core/KrVarA.h"

#include <cstdint>
#include <string>

class TKrMessage;
class TKrStream;

/// A sink for log records.
class KRSTD_API TKrLog {
public:
    virtual ~TKrLog();
    virtual bool Write(const std::string& source, const std::string& text, TKrLogMsgType type,
                       TKrLogMsgLevel level, int extra) = 0;

    /// Level-3 records with an empty source.
    void WriteInfo(const std::string& text) { Write(std::string(), text, TE_KrLogMsgType::lmtInfo, 3, 0); }
    void WriteWarning(const std::string& text) {
        Write(std::string(), text, TE_KrLogMsgType::lmtWarning, 3, 0);
    }
    void WriteError(const std::string& text) { Write(std::string(), text, TE_KrLogMsgType::lmtError, 3, 0); }
};

/// A record waiting in the queue of a thread other than the log owner; keeps its creation time.
struct KRSTD_API TKrLogItem {
    std::int64_t m_time; // TKrDateTime ticks
    std::string m_source;
    std::string m_text;
    std::int32_t m_type;
    std::int32_t m_level;
    std::int32_t m_extra;

    /// Null texts become empty.
    TKrLogItem(const char* source, const char* text, TKrLogMsgType type, TKrLogMsgLevel level, int extra);
    TKrLogItem(std::string source, std::string text, TKrLogMsgType type, TKrLogMsgLevel level, int extra);
    /// The message's formatted text.
    TKrLogItem(std::string source, const TKrMessage& text, TKrLogMsgType type, TKrLogMsgLevel level,
               int extra);
};

// Life of the global log (reference-counted; module start-up and tear-down call these). The
// first initialisation makes the calling thread the log owner.
KRSTD_API void KrLogInitialize();
KRSTD_API void KrLogFinalize();

/// The global log stream; null off the owner thread or while none is set.
KRSTD_API TKrStream* KrLog();
KRSTD_API var_a<TKrStream*> KrLogGetLogV();
/// Replaces the global log stream; ignored before initialisation and off the owner thread.
KRSTD_API void KrLogSetLogV(var_a<TKrStream*> stream);
/// The extra sink that sees every record the owner writes (not owned); same rules.
KRSTD_API TKrLog* KrLogGetLog();
KRSTD_API void KrLogSetLog(TKrLog* sink);
/// Writes the records other threads queued; effective on the owner thread only.
KRSTD_API void KrLogWriteQueue();

/// Writes one record straight to `stream`:
/// "\n" time "\t" type level[,extra] "\t" source "\t" text "\n", every further line of the text
/// indented by three tabs; then flushes. On the owner thread an extra sink sees it first.
/// Stream failures are ignored.
KRSTD_API void KrLogWriteRecord(TKrStream* stream, const std::string& source, const std::string& text,
                                TKrLogMsgType type, TKrLogMsgLevel level, int extra);
/// The same with a given time text (tabs and line feeds become "_", cut at 100 characters).
KRSTD_API void KrLogWriteRecord(TKrStream* stream, const std::string& source, const std::string& text,
                                TKrLogMsgType type, TKrLogMsgLevel level, int extra,
                                const std::string& timeText);

// Writing records. The stream forms write one record to that stream; the others go to the log
// manager (nothing happens while logging is off), which queues them off the owner thread.
// The message forms also write each attached trace message, at level 5.
#define KR_LOG_WRITE_FORMS(Name)                                                                             \
    KRSTD_API void Name(TKrStream* stream, const char* source, const char* text, TKrLogMsgLevel level = 3,   \
                        int extra = 0);                                                                      \
    KRSTD_API void Name(const TKrMessage& message, TKrLogMsgLevel level = 3, int extra = 0);                 \
    KRSTD_API void Name(const std::string& text, TKrLogMsgLevel level = 3, int extra = 0);                   \
    KRSTD_API void Name(const std::string& source, const std::string& text, TKrLogMsgLevel level = 3,        \
                        int extra = 0)
KR_LOG_WRITE_FORMS(KrLogWriteInfo);
KR_LOG_WRITE_FORMS(KrLogWriteWarning);
KR_LOG_WRITE_FORMS(KrLogWriteError);
#undef KR_LOG_WRITE_FORMS

/// Collects text and sends it as one record when destroyed (if any text was collected).
/// Failures in the destructor are swallowed.
class KRSTD_API TKrLogWriter {
public:
    TKrLogWriter(std::string source, TKrLogMsgType type, TKrLogMsgLevel level = 3, int extra = 0);
    explicit TKrLogWriter(TKrLogMsgType type, TKrLogMsgLevel level = 3, int extra = 0);
    TKrLogWriter(const TKrLogWriter&) = delete;
    TKrLogWriter& operator=(const TKrLogWriter&) = delete;
    ~TKrLogWriter();

    /// Appends text (null is ignored).
    TKrLogWriter& operator()(const char* text);
    TKrLogWriter& operator()(const std::string& text);

private:
    std::string m_source;
    std::string m_text;
    TKrLogMsgType m_type;
    TKrLogMsgLevel m_level;
    int m_extra;
};
