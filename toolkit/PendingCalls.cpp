#include "PendingCalls.h"

TPendingCalls::TPendingCalls(WakeFn wake, FailureFn onFailure)
    : uiThread_(GetCurrentThreadId()), wake_(std::move(wake)), onFailure_(std::move(onFailure))
{
}

void TPendingCalls::Run(const std::function<void()>& call) noexcept
{
    try {
        call();
    } catch (...) {
        if (onFailure_)
            onFailure_(std::current_exception());
    }
}

void TPendingCalls::CallAndWait(std::function<void()> call)
{
    if (GetCurrentThreadId() == uiThread_) {
        Run(call);
        return;
    }
    auto entry = std::make_shared<Entry>();
    entry->call = std::move(call);
    std::unique_lock<std::mutex> guard(lock_);
    if (closed_)
        return;
    queue_.push_back(entry);
    // Woken under the lock: Close cannot pass in between, so the owner of
    // what `wake` touches is still there.
    wake_();
    finished_.wait(guard, [&] { return entry->done; });
}

bool TPendingCalls::RunPending()
{
    bool ran = false;
    for (;;) {
        std::shared_ptr<Entry> entry;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (queue_.empty())
                break;
            entry = queue_.front();
            queue_.pop_front();
        }
        // A call may open a modal dialog whose loop runs this again; the entry
        // is already off the queue, so nested runs take only later calls.
        Run(entry->call);
        ran = true;
        {
            std::lock_guard<std::mutex> guard(lock_);
            entry->done = true;
        }
        finished_.notify_all();
    }
    return ran;
}

bool TPendingCalls::Empty() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return queue_.empty();
}

void TPendingCalls::Close()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        closed_ = true;
        for (const auto& entry : queue_)
            entry->done = true;
        queue_.clear();
    }
    finished_.notify_all();
}
