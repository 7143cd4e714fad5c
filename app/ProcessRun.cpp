#include "ProcessRun.h"

#include "../toolkit/Thread.h"

// Shared by the object and the worker thread, which keeps it until its end
// has been handed over.
struct TProcessRun::TRun {
    TRun(const TChildStart& start, DWORD limit)
        : child(start), limitMs(limit), letGo(CreateEventA(nullptr, TRUE, FALSE, nullptr))
    {
    }
    TChildProcess child;
    DWORD limitMs;
    // Signalled to end the wait early: the run is let go.
    UniqueHandle letGo;
    TProcessRunEnd end;
    // Null once the run is let go: it then reports to nobody. Touched only
    // on the user-interface thread.
    TProcessRun* owner = nullptr;
};

namespace {

class TWaitThread : public TThread {
public:
    explicit TWaitThread(std::shared_ptr<TProcessRun::TRun> run) : run_(std::move(run)) {}

protected:
    void Execute() override
    {
        run_->end.End = run_->child.Wait(run_->limitMs, run_->letGo.Get(),
                                          [this](const std::string& bytes) { run_->end.Output += bytes; });
    }

private:
    std::shared_ptr<TProcessRun::TRun> run_;
};

} // namespace

TProcessRun::TProcessRun(TComponent* owner) : TComponent(owner) {}

TProcessRun::~TProcessRun() { Stop(); }

DWORD TProcessRun::ProcessId() const noexcept { return run_ ? run_->child.Id() : 0; }

void TProcessRun::Stop() noexcept
{
    if (!run_)
        return;
    run_->owner = nullptr;
    run_->child.Terminate();
    // Gone once its handle is signalled: only then is what it wrote its last.
    WaitForSingleObject(run_->child.Process(), 10000);
    SetEvent(run_->letGo.Get());
    // The worker's termination call keeps the run until it has run.
    run_.reset();
}

void TProcessRun::Start(const TChildStart& start, DWORD limitMs)
{
    Stop();
    auto run = std::make_shared<TRun>(start, limitMs);
    // If the thread cannot be set up, `run` goes here and ends the program.
    auto waiter = std::make_unique<TWaitThread>(run);
    waiter->FreeOnTerminate = true;
    waiter->OnTerminate = TNotifyEvent([run](TObject*) {
        TProcessRun* owner = run->owner;
        if (owner == nullptr)
            return;
        run->owner = nullptr;
        owner->run_.reset();
        owner->OnEnded(owner, run->end);
    });
    waiter->Start();
    waiter.release(); // frees itself once its end has been handled
    run->owner = this;
    run_ = std::move(run);
}
