#include "Thread.h"

#include "Application.h"

#include "base/Errors.h"

#include <process.h>

namespace {
std::atomic<long> runningThreads{0};
}

long TThread::Running() noexcept
{
    return runningThreads;
}

TThread::TThread() : handOver_(Application != nullptr ? Application->PendingCalls() : nullptr)
{
    unsigned id = 0;
    const uintptr_t handle = _beginthreadex(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, &id);
    if (handle == 0)
        throw EThread("Thread creation error: " + SystemErrorText(GetLastError()) + ".");
    handle_.Reset(reinterpret_cast<HANDLE>(handle));
    threadId_ = id;
}

TThread::~TThread()
{
    if (!started_ && handle_) {
        // Never started: let the system thread end without running the body.
        cancelled_ = true;
        ResumeThread(handle_.Get());
        WaitForSingleObject(handle_.Get(), INFINITE);
    }
}

void TThread::Start()
{
    started_ = true;
    ++runningThreads;
    if (ResumeThread(handle_.Get()) == static_cast<DWORD>(-1)) {
        --runningThreads;
        started_ = false;
        throw EThread("Thread error: " + SystemErrorText(GetLastError()) + ".");
    }
}

unsigned __stdcall TThread::ThreadProc(void* self) noexcept
{
    auto* thread = static_cast<TThread*>(self);
    if (thread->cancelled_)
        return 0;
    thread->Run();
    return 0;
}

void TThread::Run() noexcept
{
    // Nothing may unwind out of a thread's entry point: a failure of the body
    // is handed to the user-interface thread like any other.
    try {
        Execute();
    } catch (...) {
        if (handOver_) {
            auto error = std::current_exception();
            handOver_->CallAndWait([error] { std::rethrow_exception(error); });
        }
    }
    if (OnTerminate.Assigned() && handOver_)
        handOver_->CallAndWait([this] { OnTerminate(this); });
    // Once Finished() holds, an owner may delete this object: read what is
    // still needed before saying so.
    const bool freeOnTerminate = FreeOnTerminate;
    --runningThreads;
    if (freeOnTerminate) {
        delete this;
        return;
    }
    finished_ = true;
}
