// Components destroyed by their owner, and worker threads whose end reaches
// the user-interface thread through the queue of pending calls.
#include "base/Errors.h"
#include "tests/support/Dialogs.h"
#include "tests/support/Polling.h"
#include "toolkit/Application.h"
#include "toolkit/Component.h"
#include "toolkit/Thread.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::vector<std::string> destroyed;

class TTracked : public TComponent {
public:
    TTracked(TComponent* owner, std::string name) : TComponent(owner) { Name = std::move(name); }
    ~TTracked() override { destroyed.push_back(Name); }
};

} // namespace

TEST(Components, OwnerDestroysWhatItOwnsNewestFirst)
{
    destroyed.clear();
    {
        TTracked owner(nullptr, "owner");
        auto* first = new TTracked(&owner, "first");
        new TTracked(first, "grandchild");
        new TTracked(&owner, "second");
        auto* third = new TTracked(&owner, "third");
        ASSERT_EQ(owner.Components().size(), 3u);
        EXPECT_EQ(third->Owner(), &owner);

        // A component deleted early leaves its owner's list.
        delete third;
        EXPECT_EQ(owner.Components().size(), 2u);
        destroyed.clear();
    }
    EXPECT_EQ(destroyed, (std::vector<std::string>{"owner", "second", "first", "grandchild"}));
}

namespace {

std::atomic<int> executions{0};

class TRecordingThread : public TThread {
public:
    std::atomic<DWORD> executedOn{0};
    bool fail = false;
    std::atomic<bool>* deletedFlag = nullptr;

    ~TRecordingThread() override
    {
        if (deletedFlag != nullptr)
            *deletedFlag = true;
    }

protected:
    void Execute() override
    {
        executedOn = GetCurrentThreadId();
        ++executions;
        if (fail)
            throw Exception("Worker failed");
    }
};

} // namespace

TEST(Threads, BodyRunsOnItsOwnThreadAndTerminationOnTheUiThread)
{
    auto thread = std::make_unique<TRecordingThread>();
    DWORD terminatedOn = 0;
    TObject* sender = nullptr;
    bool executedBeforeTerminate = false;
    thread->OnTerminate = TNotifyEvent([&](TObject* s) {
        terminatedOn = GetCurrentThreadId();
        sender = s;
        executedBeforeTerminate = thread->executedOn != 0;
    });
    EXPECT_EQ(thread->executedOn, 0u); // created suspended
    thread->Start();
    ASSERT_TRUE(Eventually([&] { return thread->Finished(); }));
    WaitForSingleObject(thread->Handle(), 5000);
    EXPECT_NE(thread->executedOn, GetCurrentThreadId());
    EXPECT_EQ(thread->executedOn, thread->ThreadID());
    EXPECT_EQ(terminatedOn, GetCurrentThreadId());
    EXPECT_EQ(sender, thread.get());
    EXPECT_TRUE(executedBeforeTerminate);
}

TEST(Threads, FailureInTheBodyReachesTheHandlerAndTheThreadStillEnds)
{
    std::atomic<bool> deleted{false};
    auto* thread = new TRecordingThread();
    thread->fail = true;
    thread->FreeOnTerminate = true;
    thread->deletedFlag = &deleted;
    bool terminated = false;
    thread->OnTerminate = TNotifyEvent([&](TObject*) { terminated = true; });
    EXPECT_EQ(FailureBoxOf([&] { thread->Start(); }), "Worker failed.");
    EXPECT_TRUE(Eventually([&] { return deleted.load(); }));
    EXPECT_TRUE(terminated);
}

TEST(Threads, NeverStartedThreadEndsWithoutRunningItsBody)
{
    const int before = executions;
    auto thread = std::make_unique<TRecordingThread>();
    ASSERT_NE(thread->Handle(), nullptr);
    Sleep(50);
    thread.reset();
    EXPECT_EQ(executions, before);
    EXPECT_EQ(TThread::Running(), 0);
}
