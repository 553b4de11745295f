// Log files and the console in front of the process-wide log: names, clean-up, creation, header.
#include "Core/KrLogCreate.h"
#include "Core/KrBuildVersion.h"
#include "Core/KrCopyName.h"
#include "Core/KrLog.h"
#include "Core/KrLogFileStream.h"
#include "Core/KrLogParser.h"
#include "Core/KrExceptions.h"
#include "Core/KrMessage.h"
#include "Core/KrRunFacts.h"
#include "System/KrSysInfo.h"
#include "Core/KrStringFormat.h"
#include "Core/KrStringReadable.h"

#include <QDateTime>
#include <QDir>
#include <QLocale>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {

constexpr std::size_t kKeepFiles = 100;
constexpr int kKeepDays = 3;
constexpr unsigned long long kMaxCopyIndex = 10000;

/// The standard error stream as a log target. A record's pieces are gathered and go out with
/// one write() on Flush, so records of several threads or processes never mix on a line.
class TKrConsoleLogStream final : public TKrStream {
public:
    streamsize_t getPosition() override { return m_count; }
    streamsize_t Read(void*, streamsize_t) override { return 0; }
    streamsize_t Write(const void* buf, streamsize_t n) override {
        m_pending.append(static_cast<const char*>(buf), static_cast<std::size_t>(n));
        m_count += n;
        return n;
    }
    bool Flush() override {
        const char* p = m_pending.data();
        std::size_t left = m_pending.size();
        while (left > 0) {
            const ssize_t put = ::write(STDERR_FILENO, p, left);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) break;
            p += put;
            left -= static_cast<std::size_t>(put);
        }
        m_pending.clear();
        return left == 0;
    }
    streamsize_t getSize() override { return m_count; }
    bool setSize(streamsize_t) override { return false; }
    bool setPosition(streamsize_t) override { return false; }
    explicit operator bool() override { return true; }
    ~TKrConsoleLogStream() override { Flush(); }

private:
    std::string m_pending;
    streamsize_t m_count = 0;
};

std::string Hex(std::uint64_t v) {
    return Korvinex::ssprintf("0x%llX", static_cast<unsigned long long>(v));
}

void WriteRunHeader(const void* creator, unsigned flags, TKrLogMsgLevel level, const std::string& name) {
    const std::string exe = KrRunFacts::ExecutablePath();
    KrLogWriteInfo(Korvinex::ssprintf("Log created, %p, flags=0x%X, level=%i", creator, flags, level));
    KrLogWriteInfo(Korvinex::ssprintf("Log file of %s", (name.empty() ? exe : name).c_str()));

    // "KrStd 1.2.3 build 4 linux-x86_64": the numbers, then the rest as the build tag.
    unsigned version[3] = {0, 0, 0};
    const std::string full = GetBuildVerString(true, true);
    std::size_t p = full.find(' ');
    p = p == std::string::npos ? full.size() : p + 1;
    for (unsigned& part : version) {
        const std::size_t start = p;
        while (p < full.size() && full[p] >= '0' && full[p] <= '9')
            part = part * 10 + static_cast<unsigned>(full[p++] - '0');
        if (p == start || p >= full.size() || full[p] != '.') break;
        ++p;
    }
    const std::string tag = full.substr(std::min(p, full.size()));
    KrLogWriteInfo(Korvinex::ssprintf("\"%s\",Version %u.%u.%u%s", TKrPath(exe).fileName().c_str(),
                                      version[0], version[1], version[2], tag.c_str()));
    KrLogWriteInfo(Korvinex::ssprintf("User %s@%s\n", KrGetUserName().c_str(), KrGetComputerName().c_str()));

    const QLocale locale = QLocale::system();
    KrLogWriteInfo(Korvinex::ssprintf("Locale id=%s lang=%s (%s) decimal=\"%s\"\n",
                                      locale.name().toUtf8().constData(),
                                      QLocale::languageToString(locale.language()).toUtf8().constData(),
                                      locale.nativeLanguageName().toUtf8().constData(),
                                      QString(locale.decimalPoint()).toUtf8().constData()));
    KrLogWriteInfo(Korvinex::ssprintf("CPU arch=%s n_cpu=%u\n", TKrSysInfo::Instance().architecture().c_str(),
                                      static_cast<unsigned>(TKrSysInfo::Instance().processorCount())));

    const KrRunFacts::TMemory m = KrRunFacts::Memory();
    auto readable = [](std::uint64_t v) { return SizeReadable(static_cast<double>(v)); };
    KrLogWriteInfo(Korvinex::ssprintf(
        "Mem physical=%s/%s page=%s/%s virtual=%s/%s\nMem physical=%s/%s page=%s/%s "
        "virtual=%s/%s\n",
        readable(m.physical.avail).c_str(), readable(m.physical.total).c_str(),
        readable(m.page.avail).c_str(), readable(m.page.total).c_str(), readable(m.virt.avail).c_str(),
        readable(m.virt.total).c_str(), Hex(m.physical.avail).c_str(), Hex(m.physical.total).c_str(),
        Hex(m.page.avail).c_str(), Hex(m.page.total).c_str(), Hex(m.virt.avail).c_str(),
        Hex(m.virt.total).c_str()));

    // The process's address-space limits stand for the RAM limits; there is no VRAM limit here.
    std::uint64_t soft = 0, hard = 0;
    KrRunFacts::AddressSpaceLimits(soft, hard);
    std::string limits;
    if (soft) limits += Korvinex::ssprintf("Soft RAM limits=%s, ", readable(soft).c_str());
    if (hard) limits += Korvinex::ssprintf("Hard RAM limits=%s, ", readable(hard).c_str());
    if (!limits.empty()) KrLogWriteInfo(limits);
}

} // namespace

std::string GetKrLogFilename(const std::string& prefix, const std::string& suffix) {
    const std::string time =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmsszzz")).toStdString();
    return Korvinex::ssprintf("%s-%s%s.log", prefix.c_str(), time.c_str(),
                              suffix.empty() ? "" : ("-" + suffix).c_str());
}

std::size_t ClearKrLogDirectory(const TKrPath& dir, const std::string& prefix) {
    const std::string head = prefix + "-";
    std::vector<std::string> names;
    const QDir qdir(dir.toQtStr());
    for (const QString& entry : qdir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort)) {
        const std::string n = entry.toStdString();
        if (n.size() >= head.size() + 4 && n.compare(0, head.size(), head) == 0 &&
            n.compare(n.size() - 4, 4, ".log") == 0)
            names.push_back(n);
    }
    if (names.size() <= kKeepFiles) return 0;
    std::sort(names.begin(), names.end());

    auto day = [&](const std::string& n) { return n.substr(head.size(), 8); };
    // Walk back from the newest file over three distinct days.
    std::size_t firstOfDays = names.size();
    int days = 0;
    std::string current;
    for (std::size_t i = names.size(); i-- > 0;) {
        const std::string d = day(names[i]);
        if (days == 0 || d != current) {
            if (++days > kKeepDays) break;
            current = d;
        }
        firstOfDays = i;
    }
    const std::size_t deleteCount =
        names.size() - firstOfDays < kKeepFiles ? names.size() - kKeepFiles : firstOfDays;
    std::size_t deleted = 0;
    for (std::size_t i = 0; i < deleteCount; ++i)
        if (QFile::remove(qdir.filePath(QString::fromStdString(names[i])))) ++deleted;
    return deleted;
}

TKrLogCreator::TKrLogCreator() = default;

TKrLogCreator::~TKrLogCreator() {
    if (!m_redirect) return;
    try {
        KrLogWriteInfo(Korvinex::ssprintf("Log closed, %p", static_cast<const void*>(this)));
        if (m_file) m_file->DoFlush();
        KrLogSetLogV(m_previous);
    } catch (...) {
        // a log that cannot be written or restored must not take the program down
    }
}

var_a<TKrLogCreator*> CreateKrLogFile(const TKrPath& path, const std::string& name, unsigned flags,
                                      TKrLogMsgLevel level) {
    if (!(flags & (krLogToFile | krLogToConsole))) return {};

    var_a<TKrLogCreator*> creator = new_a<TKrLogCreator>();
    TKrLogCreator& c = *creator;
    c.m_previous = KrLogGetLogV();
    c.m_redirect = new_a<TKrLogRedirect>();
    c.m_redirect->AddStream(c.m_previous.get(), TKrLogRedirect::GetAllFilter(), false);
    const TKrLogRedirect::TFilter filter{0, level, level, level, level, level, level};

    int openError = 0;
    if (flags & krLogToFile) {
        var_a<TKrLogFileStream*> file = new_a<TKrLogFileStream>();
        TKrPath candidate = path;
        bool ok = file->Open(candidate, krCreateNew, 1);
        if (!ok && file->GetLastError().value() == EEXIST) {
            const std::string base = path.removeMainExt().str();
            const std::string ext = path.mainExt();
            for (unsigned long long i = 1; !ok && i < kMaxCopyIndex && file->GetLastError().value() == EEXIST;
                 ++i) {
                candidate = TKrPath(MakeCopyNameIndex(base, i) + ext);
                ok = file->Open(candidate, krCreateNew, 1);
            }
        }
        if (ok) {
            if (flags & krLogFlushNever) {
                file->SetFlushMode(TKrLogFileStream::fmNever);
            } else if (flags & krLogFlushTimed) {
                file->SetFlushInterval(static_cast<std::int32_t>((flags >> 16) & 0x7FFF));
                // A timer identifier only where a timer will fire; without one the stream
                // flushes always rather than holding the records of a quiet period.
                if (TKrLogFileStream::CanDriveTimers()) file->SetTimerId(TKrLogFileStream::NewTimerId());
                file->SetFlushMode(TKrLogFileStream::fmTimed);
            } else {
                file->SetFlushMode(TKrLogFileStream::fmAlways);
            }
            c.m_redirect->AddStream(file.get(), filter, false);
            c.m_file = file;
            c.m_filePath = candidate;
        } else {
            openError = file->GetLastError().value();
            if (!openError) openError = EEXIST; // every copy index was taken
        }
    }
    if (flags & krLogToConsole) {
        c.m_console = new_a<TKrConsoleLogStream>();
        c.m_redirect->AddStream(c.m_console.get(), filter, false);
    }

    const bool created = c.m_file || c.m_console;
    if (created) KrLogSetLogV(c.m_redirect);
    if (openError) {
        // Reported through the log as it now stands: the console and the previous log see it.
        KrLogWriteError(KrMsg_helper("Err_CreateFile_name_msg")
                        << path.toSysStr() << GetSystemErrorMessageString(openError));
    }
    if (!created) {
        c.m_redirect.reset();
        return {};
    }
    WriteRunHeader(&c, flags, level, name);
    return creator;
}

var_a<TKrLogCreator*> CreateKrLogTemp(const std::string& name, unsigned flags) {
    const std::string path = Korvinex::ssprintf("%s%s", TKrPath::tempDir().addSlash().str().c_str(),
                                                GetKrLogFilename(name, std::string()).c_str());
    return CreateKrLogFile(TKrPath(path), std::string(), flags);
}
