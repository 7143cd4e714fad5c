#pragma once
// The queue through which worker threads hand calls to the user-interface
// thread. A worker appends a call, wakes the UI thread and blocks until the
// call has run there; the UI thread runs queued calls oldest first.
#include <windows.h>

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

class TPendingCalls {
public:
    using WakeFn = std::function<void()>;
    using FailureFn = std::function<void(std::exception_ptr)>;

    // `wake` tells the UI thread that a call is waiting; `onFailure` receives,
    // on the UI thread, whatever a queued call throws.
    TPendingCalls(WakeFn wake, FailureFn onFailure);

    // Runs `call` on the UI thread and returns when it has run. Called on the
    // UI thread itself it runs the call at once. Never throws what the call
    // throws: that goes to `onFailure`. Once the queue is closed the call is
    // dropped and this returns at once.
    void CallAndWait(std::function<void()> call);

    // Runs every queued call, oldest first, on the calling (UI) thread.
    // Returns true when at least one call ran.
    bool RunPending();

    bool Empty() const;

    // For the end of the UI thread's loop: queued and later calls never run,
    // and every worker waiting for one returns. `wake` is not called again.
    void Close();

private:
    struct Entry {
        std::function<void()> call;
        bool done = false;
    };

    void Run(const std::function<void()>& call) noexcept;

    const DWORD uiThread_;
    WakeFn wake_;
    FailureFn onFailure_;
    mutable std::mutex lock_;
    std::condition_variable finished_;
    std::deque<std::shared_ptr<Entry>> queue_;
    bool closed_ = false;
};
