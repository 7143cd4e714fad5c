#pragma once
// Worker threads: created suspended, started once, run their body, then hand
// their termination notification to the user-interface thread and wait until
// it has been handled there. A thread marked FreeOnTerminate deletes itself.
#include "Component.h"
#include "PendingCalls.h"

#include "base/Handles.h"

#include <windows.h>

#include <atomic>
#include <memory>

class TThread : public TObject {
public:
    // Creates the system thread, suspended, handing over to the application's
    // queue of pending calls. Throws EThread when it cannot.
    TThread();
    // Never to be called on a running thread; a thread that was never started
    // is woken and ended here without running its body.
    ~TThread() override;

    // Starts the body. Throws EThread when the thread cannot be resumed.
    void Start();

    bool FreeOnTerminate = false;
    // Called on the user-interface thread after the body, with the thread as Sender.
    TNotifyEvent OnTerminate;

    bool Finished() const noexcept { return finished_; }
    DWORD ThreadID() const noexcept { return threadId_; }
    HANDLE Handle() const noexcept { return handle_.Get(); }

    // Number of worker threads whose body has not yet ended (for checks that
    // no thread is left behind).
    static long Running() noexcept;

protected:
    virtual void Execute() = 0;

private:
    static unsigned __stdcall ThreadProc(void* self) noexcept;
    void Run() noexcept;

    // Held by the thread itself: it may still hand over while the application
    // object goes, and a closed queue lets it go at once.
    std::shared_ptr<TPendingCalls> handOver_;
    UniqueHandle handle_;
    DWORD threadId_ = 0;
    bool started_ = false;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> finished_{false};
};
