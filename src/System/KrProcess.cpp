// Child processes through QProcess: attached handles, detached starts and synchronous runs.
#include "System/KrProcess.h"

#include "Core/KrExceptions.h"
#include "Core/KrModule.h"
#include "System/KrSysProcessInfo.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <climits>
#include <unistd.h>

namespace {
constexpr int kStartTimeoutMs = 30000;
constexpr int kTerminateGraceMs = 5000;

int WaitArg(std::uint64_t ms) {
    return ms == 0 || ms >= std::uint64_t(INT_MAX) ? -1 : int(ms);
}

QString QStr(const std::string& s) {
    return QString::fromUtf8(s.data(), int(s.size()));
}

QStringList QArgs(const std::vector<std::string>& args) {
    QStringList list;
    list.reserve(int(args.size()));
    for (const std::string& a : args)
        list.push_back(QStr(a));
    return list;
}

// The executable a start would run: a path as it stands, a bare name searched along PATH the
// way execvp does. Empty when there is none.
QString ResolveProgram(const TKrPath& program) {
    const QString text = program.toQtStr();
    if (text.contains(QLatin1Char('/'))) return text;
    return QStandardPaths::findExecutable(text);
}

void Fail(TKrExecStatus* status, int error) {
    if (!status) return;
    status->code = TKrExecStatus::esFailedToStart;
    status->text = GetSystemErrorMessageString(error);
}

// Checks what a start needs before starting, so that a failure names the system's reason (a
// failed exec in the child only tells QProcess that it failed). Returns the error number or 0.
int PrecheckStart(const QString& program, const TKrPath& workDir) {
    if (program.isEmpty()) return ENOENT;
    const QByteArray file = program.toLocal8Bit();
    if (::access(file.constData(), X_OK) != 0) return errno;
    if (QFileInfo(program).isDir()) return EACCES;
    if (!workDir.isPathEmpty()) {
        const QFileInfo dir(workDir.toQtStr());
        if (!dir.exists()) return ENOENT;
        if (!dir.isDir()) return ENOTDIR;
    }
    return 0;
}

// Starts or refuses: 2 when the condition finds the program running, 0 after a failed check
// (status filled), -1 when the caller may start `program`.
int PrepareStart(const TKrPath& program, const TKrPath& workDir, TKrExecCondition condition,
                 TKrExecStatus* status, QString& resolved) {
    if (status) *status = TKrExecStatus();
    if (IsProcessRunning(program, condition)) return 2;
    resolved = ResolveProgram(program);
    if (int error = PrecheckStart(resolved, workDir)) {
        Fail(status, error);
        return 0;
    }
    return -1;
}

} // namespace

/// A QProcess that can let go of its child: the base destructor kills a child in the running
/// state, so a detached one is reported as not running first.
class TKrDetachableProcess : public QProcess {
public:
    ~TKrDetachableProcess() override {
        if (m_detached) setProcessState(QProcess::NotRunning);
    }
    void detach() { m_detached = true; }
    bool detached() const { return m_detached; }

private:
    bool m_detached = false;
};

struct TKrProcHandleAccess {
    static std::unique_ptr<TKrDetachableProcess>& process(TKrProcHandle& h) { return h.m_process; }
};

TKrProcHandle::TKrProcHandle() noexcept = default;
TKrProcHandle::TKrProcHandle(TKrProcHandle&& other) noexcept = default;

TKrProcHandle& TKrProcHandle::operator=(TKrProcHandle&& other) noexcept {
    if (this != &other) {
        TKrProcHandle old(std::move(*this));
        m_process = std::move(other.m_process);
    }
    return *this;
}

TKrProcHandle::~TKrProcHandle() {
    if (!m_process || m_process->detached() || m_process->state() == QProcess::NotRunning) return;
    try {
        m_process->terminate();
        if (!m_process->waitForFinished(kTerminateGraceMs)) {
            m_process->kill();
            m_process->waitForFinished(-1);
        }
    } catch (...) {
    }
}

std::uint64_t TKrProcHandle::processId() const {
    return m_process ? std::uint64_t(m_process->processId()) : 0;
}

bool TKrProcHandle::isRunning() const {
    return m_process && m_process->state() == QProcess::Running;
}

void TKrProcHandle::terminate() {
    if (m_process && m_process->state() != QProcess::NotRunning) m_process->terminate();
}

void TKrProcHandle::kill() {
    if (m_process && m_process->state() != QProcess::NotRunning) m_process->kill();
}

bool TKrProcHandle::wait(std::uint64_t ms) {
    if (!m_process || m_process->state() == QProcess::NotRunning) return true;
    return m_process->waitForFinished(WaitArg(ms));
}

int TKrProcHandle::exitCode() const {
    if (!m_process || m_process->state() != QProcess::NotRunning ||
        m_process->exitStatus() != QProcess::NormalExit)
        return -1;
    return m_process->exitCode();
}

void TKrProcHandle::detach() {
    if (m_process) m_process->detach();
}

int KrExecProcess(const TKrPath& program, const std::vector<std::string>& args, const TKrPath& workDir,
                  TKrProcHandle& handle, TKrExecCondition condition, TKrExecStatus* status) {
    QString resolved;
    const int prepared = PrepareStart(program, workDir, condition, status, resolved);
    if (prepared == 2) return prepared;
    // Every start attempt replaces the handle, so a failed one never leaves it naming the
    // previous child.
    handle = TKrProcHandle();
    if (prepared == 0) return prepared;

    auto& process = TKrProcHandleAccess::process(handle);
    process = std::make_unique<TKrDetachableProcess>();
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    if (!workDir.isPathEmpty()) process->setWorkingDirectory(workDir.toQtStr());
    errno = 0;
    process->start(resolved, QArgs(args));
    if (process->waitForStarted(kStartTimeoutMs)) return 1;
    Fail(status, errno ? errno : ENOEXEC);
    return 0;
}

int KrExecProcess(const TKrPath& program, const std::vector<std::string>& args, const TKrPath& workDir,
                  TKrExecCondition condition, TKrExecStatus* status) {
    QString resolved;
    const int prepared = PrepareStart(program, workDir, condition, status, resolved);
    if (prepared >= 0) return prepared;
    errno = 0;
    // The child is started through an intermediate process that exits at once, so it is never
    // ours to reap.
    if (QProcess::startDetached(resolved, QArgs(args), workDir.isPathEmpty() ? QString() : workDir.toQtStr()))
        return 1;
    Fail(status, errno ? errno : ENOEXEC);
    return 0;
}

int KrExecSyncProcess(const TKrPath& program, const std::vector<std::string>& args, const TKrPath& workDir,
                      std::uint64_t timeoutMs, TKrExecCondition condition, TKrExecStatus* status) {
    QString resolved;
    const int prepared = PrepareStart(program, workDir, condition, status, resolved);
    if (prepared >= 0) return prepared;

    QProcess process;
    // Standard output goes nowhere rather than into a buffer that grows with the output.
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardInputFile(QProcess::nullDevice());
    if (!workDir.isPathEmpty()) process.setWorkingDirectory(workDir.toQtStr());
    errno = 0;
    process.start(resolved, QArgs(args));
    if (!process.waitForStarted(kStartTimeoutMs)) {
        Fail(status, errno ? errno : ENOEXEC);
        return 0;
    }
    if (!process.waitForFinished(WaitArg(timeoutMs))) {
        process.kill();
        process.waitForFinished(-1);
        if (status) {
            status->code = TKrExecStatus::esTimedOut;
            status->text = KrModule_Initializer::instance().get_resource_string("global.Err_TIMEOUT");
        }
        return 0;
    }
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) return 1;
    if (status) {
        status->code = TKrExecStatus::esExitCode;
        status->text = process.readAllStandardError().toStdString();
    }
    return 0;
}

bool IsProcessRunning(const TKrPath& program, TKrExecCondition condition) {
    if (condition == TE_KrExecCondition::ecAlways) return false;
    // Processes are listed under their executable's real file, so a program reached through a
    // symbolic link (sh -> dash) is looked for under the name it resolves to.
    const QString resolved = ResolveProgram(program);
    const QString canonical = resolved.isEmpty() ? QString() : QFileInfo(resolved).canonicalFilePath();
    const QString file = canonical.isEmpty() ? program.toQtStr() : canonical;
    const std::string name = QFileInfo(file).baseName().toStdString();
    if (condition == TE_KrExecCondition::ecNoSameName) return !TKrSysProcessInfo::findProcess(name).empty();
    if (canonical.isEmpty()) return false; // a program that is not there does not run from there
    return !TKrSysProcessInfo::findProcess(name, TKrPath(canonical)).empty();
}
