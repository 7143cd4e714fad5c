#pragma once
// The process launcher: starts a program or document through the shell and,
// when asked to, watches the started process on a wait thread of its own and
// reports its end, a time-out or a failure on the user-interface thread.
#include "StBase.h"

#include "base/Handles.h"
#include "../toolkit/Thread.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class TStSpawnCommand : std::uint8_t { scOpen, scPrint, scOther };
enum class TStShowState : std::uint8_t { ssMinimized, ssMaximized, ssNormal, ssMinNotActive };

using TStSpawnCompletedEvent = TEvent<TObject*>;
// Error: a system error code.
using TStSpawnErrorEvent = TEvent<TObject*, std::uint16_t>;
using TStSpawnTimeOutEvent = TEvent<TObject*>;

// Waits for a started process or its run's event, whichever is signalled
// first, with an optional limit. It neither owns nor closes the two handles.
class TStWaitThread : public TThread {
public:
    // Created suspended. Throws EIntOverflow when the limit in milliseconds
    // does not fit in 32 signed bits (more than 2147483 seconds).
    TStWaitThread(HANDLE process, HANDLE event, std::int32_t timeOutSeconds);

    // WaitForMultipleObjects' result: WAIT_OBJECT_0 (the process ended),
    // WAIT_OBJECT_0 + 1 (the event was signalled), WAIT_TIMEOUT or WAIT_FAILED.
    DWORD WaitResult() const noexcept { return waitResult_; }
    // The wait's last-error value when it failed.
    DWORD WaitError() const noexcept { return waitError_; }
    // 0 means no limit.
    std::int32_t TimeOutMilliseconds() const noexcept { return timeOutMs_; }

protected:
    void Execute() override;

private:
    // The process first, the run's event second.
    std::array<HANDLE, 2> handles_;
    std::int32_t timeOutMs_;
    DWORD waitResult_ = WAIT_FAILED;
    DWORD waitError_ = ERROR_SUCCESS;
};

class TStSpawnApplication : public TStComponent {
public:
    explicit TStSpawnApplication(TComponent* owner);
    // Runs still being watched are let go: their waits are ended and none of
    // them reports to this launcher any more.
    ~TStSpawnApplication() override;

    // Starts FileName through the shell; returns the started process, or null
    // when the start failed. The handle stays the launcher's: it is closed by
    // the next Execute or when the launcher goes. Throws EStSpawnError (code
    // 250) when RunParameters is given without FileName, before anything
    // else; ERangeError when a failed start's error code exceeds 16 bits and
    // OnSpawnError is assigned; EIntOverflow or EThread when the wait cannot
    // be set up, after the start.
    HANDLE Execute();

    // The run started last, while it is watched; null otherwise.
    HANDLE EventHandle() const noexcept;
    TStWaitThread* WaitThread() const noexcept;
    // The process of the last start; null before it and when it gave none.
    HANDLE ProcessHandle() const noexcept { return processHandle_.Get(); }

    std::string DefaultDir;
    std::string FileName;
    bool NotifyWhenDone = true;
    TStSpawnCompletedEvent OnCompleted;
    TStSpawnErrorEvent OnSpawnError;
    TStSpawnTimeOutEvent OnTimeOut;
    std::string RunParameters;
    TStShowState ShowState = TStShowState::ssNormal;
    TStSpawnCommand SpawnCommand = TStSpawnCommand::scOpen;
    std::string SpawnCommandStr;

    // Longest wait in seconds; 0 means no limit.
    std::int32_t TimeOut() const noexcept { return timeOut_; }
    // A negative value is ignored.
    void SetTimeOut(std::int32_t seconds) noexcept;

    // Exit code of the process whose end is being reported, read just before
    // OnCompleted is called; STILL_ACTIVE when it cannot be known (the run's
    // event rather than the process ended the wait) or before any completion.
    DWORD LastExitCode() const noexcept { return lastExitCode_; }

private:
    struct TStRun;

    void Watch();
    static void RunTerminated(const std::shared_ptr<TStRun>& run, TStWaitThread& thread);
    void Report(TStRun& run, const TStWaitThread& thread);

    std::int32_t timeOut_ = 0;
    UniqueHandle processHandle_;
    // Runs whose end has not been handled yet, and the one started last while
    // it is among them.
    std::vector<std::shared_ptr<TStRun>> runs_;
    TStRun* latest_ = nullptr;
    DWORD lastExitCode_ = STILL_ACTIVE;
};

// The name of a run's event for the local time `now`: the day count since
// 30 December 1899 with the fraction of the day to the millisecond, written
// with 15 significant digits, trailing zeros dropped, and `decimalSeparator`.
std::string StEventName(const SYSTEMTIME& now, char decimalSeparator);
// The user's decimal separator.
char StUserDecimalSeparator();
// A new auto-reset, non-signalled event named `name`. When an event of that
// name exists already (two runs in one millisecond), a suffix is added so that
// the new run never shares another run's event. Null when creation fails.
HANDLE StCreateRunEvent(const std::string& name);
