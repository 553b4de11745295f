// Starting other programs: detached, attached through a handle, or synchronously with a time-out.
#pragma once

#include "Core/KrExport.h"
#include "System/KrPath.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace TE_KrExecCondition {
/// When a start is skipped because the program already runs.
enum TKrExecCondition : int {
    ecAlways = 0,           ///< start unconditionally
    ecNoSameName = 1,       ///< not while a process of the same executable base name runs
    ecNoSameNameAndPath = 2 ///< not while a process of the same base name and executable path runs
};
} // namespace TE_KrExecCondition
using TKrExecCondition = TE_KrExecCondition::TKrExecCondition;

/// How a start went; every start clears it to {esOk, ""} first.
struct TKrExecStatus {
    enum : int {
        esOk = 0,            ///< no error
        esFailedToStart = 1, ///< text: the system's message for the error
        esTimedOut = 2,      ///< text: the language text "global.Err_TIMEOUT"
        esExitCode = 4       ///< text: everything the program wrote to its standard error
    };
    int code = esOk;
    std::string text;
};

class TKrDetachableProcess;

/// Owns a started child process. Destroying a handle whose child still runs asks the child to
/// terminate, and kills it when it has not ended 5 s later; after detach() the child is left
/// alone. Movable, not copyable; use from the thread that started the child.
class KRSTD_API TKrProcHandle {
public:
    TKrProcHandle() noexcept;
    TKrProcHandle(TKrProcHandle&& other) noexcept;
    TKrProcHandle& operator=(TKrProcHandle&& other) noexcept;
    ~TKrProcHandle();

    /// True when the handle holds no process (made empty, or moved from).
    bool empty() const noexcept { return !m_process; }
    /// The child's process id; 0 when there is none.
    std::uint64_t processId() const;
    bool isRunning() const;
    /// Sends SIGTERM, respectively SIGKILL, unless the child is known to have ended.
    void terminate();
    void kill();
    /// Waits up to `ms` milliseconds for the child to end; 0 and values from 2147483647 on wait
    /// without limit. Returns whether it has ended (true at once when it already had).
    bool wait(std::uint64_t ms);
    /// The exit code after a normal end; -1 while running or after a signal ended the child.
    int exitCode() const;
    /// Forgets the child: it runs on and is no longer terminated when the handle goes.
    void detach();

private:
    friend struct TKrProcHandleAccess;
    std::unique_ptr<TKrDetachableProcess> m_process;
};

/// Starts `program` with `args` (passed one by one, never through a shell) in `workDir` (empty:
/// ours) attached to a new handle in `handle`, which lets go of any previous child. The child
/// reads an empty standard input and writes to our standard output and error.
/// Returns 1 when it started (within 30 s), 0 when it did not (status esFailedToStart), and 2
/// without starting anything when `condition` finds the program running (`handle` untouched).
KRSTD_API int KrExecProcess(const TKrPath& program, const std::vector<std::string>& args,
                            const TKrPath& workDir, TKrProcHandle& handle,
                            TKrExecCondition condition = TE_KrExecCondition::ecAlways,
                            TKrExecStatus* status = nullptr);
/// The same, detached: no handle remains and the child outlives us.
KRSTD_API int KrExecProcess(const TKrPath& program, const std::vector<std::string>& args,
                            const TKrPath& workDir, TKrExecCondition condition = TE_KrExecCondition::ecAlways,
                            TKrExecStatus* status = nullptr);
/// Starts `program` and waits for it to end (`timeoutMs` 0: without limit). Returns 1 when it
/// exited with code 0; 0 with status esFailedToStart, esTimedOut (the child is then killed) or
/// esExitCode (a non-zero code or a signal; the text is its standard error); 2 as above.
/// Its standard output is discarded.
KRSTD_API int KrExecSyncProcess(const TKrPath& program, const std::vector<std::string>& args,
                                const TKrPath& workDir, std::uint64_t timeoutMs,
                                TKrExecCondition condition = TE_KrExecCondition::ecAlways,
                                TKrExecStatus* status = nullptr);

/// Whether `condition` finds `program` running: never for ecAlways; otherwise a process with the
/// program's base name (and, for ecNoSameNameAndPath, its canonical path) is in the process table.
KRSTD_API bool IsProcessRunning(const TKrPath& program, TKrExecCondition condition);
