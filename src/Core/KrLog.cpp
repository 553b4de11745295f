// The process-wide log: owner thread, queue of other threads' records, and the record writer.
#include "Core/KrLog.h"
#include "Core/KrMessage.h"
#include "Streams/KrStream.h"
#include "Utils/KrDateTime.h"

#include <list>
#include <mutex>
#include <thread>

namespace {

class TLogManager final : public TKrLog {
public:
    bool Write(const std::string& source, const std::string& text, TKrLogMsgType type, TKrLogMsgLevel level,
               int extra) override;
    void WriteQueue();

    std::mutex m_mutex;
    std::list<TKrLogItem> m_queue;
    std::size_t m_queueLength = 0;
};

struct TLogState {
    var_a<TKrStream*> stream;
    TKrLog* sink = nullptr;
    std::thread::id owner;
    int initCount = 0;
    TLogManager* manager = nullptr;
};

TLogState& State() {
    static TLogState state;
    return state;
}

bool OnOwnerThread() {
    const TLogState& s = State();
    return s.initCount > 0 && std::this_thread::get_id() == s.owner;
}

std::string Sanitised(const std::string& text, std::size_t limit) {
    std::string out = text.substr(0, limit);
    for (char& c : out)
        if (c == '\t' || c == '\n') c = '_';
    return out;
}

void WriteHeaderAndText(TKrStream* stream, const std::string& source, const std::string& text,
                        TKrLogMsgType type, TKrLogMsgLevel level, int extra, const std::string& time) {
    std::string header;
    header.reserve(time.size() + source.size() + 24);
    header += '\n';
    header += time;
    header += '\t';
    header += static_cast<char>(type);
    header += static_cast<char>('0' + level);
    if (extra != 0) {
        header += ',';
        header += std::to_string(extra);
    }
    header += '\t';
    header += Sanitised(source, 100);
    header += '\t';
    stream->Write(header.data(), header.size());

    // Every line after the first starts with three tabs, so a reader can tell it from a record.
    std::size_t begin = 0;
    for (std::size_t lf; (lf = text.find('\n', begin)) != std::string::npos; begin = lf + 1) {
        stream->Write(text.data() + begin, lf + 1 - begin);
        stream->Write("\t\t\t", 3);
    }
    stream->Write(text.data() + begin, text.size() - begin);
    stream->Write("\n", 1);
    stream->Flush();
}

void WriteRecord(TKrStream* stream, const std::string& source, const std::string& text, TKrLogMsgType type,
                 TKrLogMsgLevel level, int extra, const std::string* timeText) {
    TLogState& s = State();
    if (s.sink && OnOwnerThread()) s.sink->Write(source, text, type, level, extra);
    if (!stream) return;
    const std::string time =
        timeText ? Sanitised(*timeText, 100) : TKrDateTime::Current().ToRFCString().substr(0, 99);
    WriteHeaderAndText(stream, source, text, type, level, extra, time);
}

bool TLogManager::Write(const std::string& source, const std::string& text, TKrLogMsgType type,
                        TKrLogMsgLevel level, int extra) {
    if (OnOwnerThread()) {
        WriteQueue();
        WriteRecord(State().stream.get(), source, text, type, level, extra, nullptr);
    } else {
        TKrLogItem item(source, text, type, level, extra);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(std::move(item));
        ++m_queueLength;
    }
    return true;
}

void TLogManager::WriteQueue() {
    std::list<TKrLogItem> pending;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pending.swap(m_queue);
        m_queueLength = 0;
    }
    for (const TKrLogItem& item : pending) {
        const std::string time = TKrDateTime(item.m_time).ToRFCString();
        WriteRecord(State().stream.get(), item.m_source, item.m_text, static_cast<TKrLogMsgType>(item.m_type),
                    item.m_level, item.m_extra, &time);
    }
}

void ManagerWrite(const std::string& source, const std::string& text, TKrLogMsgType type,
                  TKrLogMsgLevel level, int extra) {
    if (TLogManager* m = State().manager) m->Write(source, text, type, level, extra);
}

void ManagerWrite(const TKrMessage& message, TKrLogMsgType type, TKrLogMsgLevel level, int extra) {
    TLogManager* m = State().manager;
    if (!m) return;
    m->Write(std::string(), message.std_str(), type, level, extra);
    if (const std::list<TKrMessage>* trace = message.GetTrace())
        for (const TKrMessage& t : *trace)
            m->Write(std::string(), t.std_str(), type, 5, extra);
}

} // namespace

TKrLog::~TKrLog() = default;

TKrLogItem::TKrLogItem(const char* source, const char* text, TKrLogMsgType type, TKrLogMsgLevel level,
                       int extra)
    : TKrLogItem(std::string(source ? source : ""), std::string(text ? text : ""), type, level, extra) {}

TKrLogItem::TKrLogItem(std::string source, std::string text, TKrLogMsgType type, TKrLogMsgLevel level,
                       int extra)
    : m_time(TKrDateTime::Current().Ticks()), m_source(std::move(source)), m_text(std::move(text)),
      m_type(type), m_level(level), m_extra(extra) {}

TKrLogItem::TKrLogItem(std::string source, const TKrMessage& text, TKrLogMsgType type, TKrLogMsgLevel level,
                       int extra)
    : TKrLogItem(std::move(source), text.std_str(), type, level, extra) {}

void KrLogInitialize() {
    TLogState& s = State();
    if (s.initCount++ > 0) return;
    s.owner = std::this_thread::get_id();
    s.manager = new TLogManager;
}

void KrLogFinalize() {
    TLogState& s = State();
    if (s.initCount == 0 || --s.initCount > 0) return;
    s.stream.reset();
    s.sink = nullptr;
    s.owner = std::thread::id();
    delete s.manager;
    s.manager = nullptr;
}

TKrStream* KrLog() {
    return OnOwnerThread() ? State().stream.get() : nullptr;
}

var_a<TKrStream*> KrLogGetLogV() {
    return OnOwnerThread() ? State().stream : var_a<TKrStream*>();
}

void KrLogSetLogV(var_a<TKrStream*> stream) {
    if (OnOwnerThread()) State().stream = std::move(stream);
}

TKrLog* KrLogGetLog() {
    return OnOwnerThread() ? State().sink : nullptr;
}

void KrLogSetLog(TKrLog* sink) {
    if (OnOwnerThread()) State().sink = sink;
}

void KrLogWriteQueue() {
    if (OnOwnerThread() && State().manager) State().manager->WriteQueue();
}

void KrLogWriteRecord(TKrStream* stream, const std::string& source, const std::string& text,
                      TKrLogMsgType type, TKrLogMsgLevel level, int extra) {
    WriteRecord(stream, source, text, type, level, extra, nullptr);
}

void KrLogWriteRecord(TKrStream* stream, const std::string& source, const std::string& text,
                      TKrLogMsgType type, TKrLogMsgLevel level, int extra, const std::string& timeText) {
    WriteRecord(stream, source, text, type, level, extra, &timeText);
}

#define KR_LOG_WRITE_FORMS_IMPL(Name, Type)                                                                  \
    void Name(TKrStream* stream, const char* source, const char* text, TKrLogMsgLevel level, int extra) {    \
        WriteRecord(stream, source ? source : "", text ? text : "", Type, level, extra, nullptr);            \
    }                                                                                                        \
    void Name(const TKrMessage& message, TKrLogMsgLevel level, int extra) {                                  \
        ManagerWrite(message, Type, level, extra);                                                           \
    }                                                                                                        \
    void Name(const std::string& text, TKrLogMsgLevel level, int extra) {                                    \
        ManagerWrite(std::string(), text, Type, level, extra);                                               \
    }                                                                                                        \
    void Name(const std::string& source, const std::string& text, TKrLogMsgLevel level, int extra) {         \
        ManagerWrite(source, text, Type, level, extra);                                                      \
    }
KR_LOG_WRITE_FORMS_IMPL(KrLogWriteInfo, TE_KrLogMsgType::lmtInfo)
KR_LOG_WRITE_FORMS_IMPL(KrLogWriteWarning, TE_KrLogMsgType::lmtWarning)
KR_LOG_WRITE_FORMS_IMPL(KrLogWriteError, TE_KrLogMsgType::lmtError)
#undef KR_LOG_WRITE_FORMS_IMPL

TKrLogWriter::TKrLogWriter(std::string source, TKrLogMsgType type, TKrLogMsgLevel level, int extra)
    : m_source(std::move(source)), m_type(type), m_level(level), m_extra(extra) {}

TKrLogWriter::TKrLogWriter(TKrLogMsgType type, TKrLogMsgLevel level, int extra)
    : TKrLogWriter(std::string(), type, level, extra) {}

TKrLogWriter::~TKrLogWriter() {
    if (m_text.empty()) return;
    try {
        ManagerWrite(m_source, m_text, m_type, m_level, m_extra);
    } catch (...) {
    }
}

TKrLogWriter& TKrLogWriter::operator()(const char* text) {
    if (text) m_text += text;
    return *this;
}

TKrLogWriter& TKrLogWriter::operator()(const std::string& text) {
    m_text += text;
    return *this;
}
