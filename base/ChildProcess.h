#pragma once
// The one way the tool starts a program. It starts suspended, joins a job of
// its own (ProcessJob.h) and only then runs, so that whatever it starts
// belongs to the job from its first instruction; its standard output and
// error can be read through one pipe as it writes them. Whoever started it
// waits for it in place: a console program on its own thread, the window on
// a worker thread (app/ProcessRun.h). When the owner goes, the program and
// everything it started go with it.
#include "Handles.h"
#include "ProcessJob.h"

#include <windows.h>

#include <functional>
#include <string>

struct TChildStart {
    // A full path, and the whole command line with the program's own name.
    std::wstring Program;
    std::wstring CommandLine;
    // Its working folder; empty: this program's.
    std::wstring Folder;
    // Its standard output and error through one pipe, read by Wait.
    bool ReadOutput = false;
    // One more handle it inherits, whose value it learns from its command
    // line; it inherits nothing else.
    HANDLE Inherited = nullptr;
};

enum class TChildEnding {
    Ended,    // by itself
    TimedOut, // still running at the limit, and ended
    Stopped,  // still running when the stop event came, and ended
};

struct TChildEnd {
    TChildEnding How = TChildEnding::Ended;
    // Its exit code when it ended by itself.
    DWORD ExitCode = 0;
};

class TChildProcess {
public:
    // Starts the program without a window. Throws EOSError with the
    // system's code when it cannot be started.
    explicit TChildProcess(const TChildStart& start);
    // Ends the program and everything it started, unless they have ended.
    ~TChildProcess() { Terminate(); }
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    // Waits until the program has ended, `limitMs` has passed (INFINITE for
    // no limit) or `stop` (an event; may be null) is signalled, handing what
    // it writes to `output` as it comes. Whatever is still running then,
    // and whatever the program left running, is ended before this returns.
    TChildEnd Wait(DWORD limitMs, HANDLE stop, const std::function<void(const std::string&)>& output = {});

    // Ends the program and everything it started; harmless once they ended.
    void Terminate() noexcept;

    HANDLE Process() const noexcept { return process_.Get(); }
    DWORD Id() const noexcept { return id_; }

private:
    TProcessJob job_;
    UniqueHandle process_;
    DWORD id_ = 0;
    // The pipe's read end (overlapped) and the event its reads signal.
    UniqueFile output_;
    UniqueHandle readDone_;
};
