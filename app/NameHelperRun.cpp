#include "NameHelperRun.h"

#include "base/Handles.h"
#include "../launcher/StSpawn.h"

// Shared by the object and the termination call its wait thread carries;
// touched only on the user-interface thread.
struct TNameHelperRun::TRun {
    // Null once the run is let go: it then reports to nobody.
    TNameHelperRun* owner = nullptr;
    TNameHelperProcess helper;
    // Signalled to end the wait early.
    UniqueHandle letGo;
};

TNameHelperRun::TNameHelperRun(TComponent* owner) : TComponent(owner) {}

TNameHelperRun::~TNameHelperRun() { Stop(); }

DWORD TNameHelperRun::ProcessId() const noexcept { return run_ ? run_->helper.processId : 0; }

void TNameHelperRun::Stop() noexcept
{
    if (!run_)
        return;
    run_->owner = nullptr;
    run_->helper.End();
    SetEvent(run_->letGo.Get());
    // The wait thread's termination call keeps the run until it has run.
    run_.reset();
}

bool TNameHelperRun::Start(const std::string& helper, const std::string& pluginPath, DWORD& error)
{
    Stop();
    error = ERROR_SUCCESS;
    auto run = std::make_shared<TRun>();
    run->letGo.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!run->letGo) {
        error = GetLastError();
        return false;
    }
    if (!StartNameHelper(helper, pluginPath, run->helper, error))
        return false;

    // The launcher's wait thread, on the process and the let-go event; if it
    // cannot be set up, `run` goes here and ends the helper.
    auto waiter = std::make_unique<TStWaitThread>(run->helper.process.Get(), run->letGo.Get(), kLimitSeconds);
    waiter->FreeOnTerminate = true;
    waiter->OnTerminate = TNotifyEvent([run](TObject* sender) {
        const TNameHelperEnd end =
            run->helper.Ending(static_cast<TStWaitThread*>(sender)->WaitResult() == WAIT_OBJECT_0);
        // Past the limit it is ended now; in time, whatever it left running.
        run->helper.End();
        TNameHelperRun* owner = run->owner;
        if (owner == nullptr)
            return;
        run->owner = nullptr;
        owner->run_.reset();
        owner->OnEnded(owner, end);
    });
    waiter->Start();
    waiter.release(); // frees itself once its end has been handled
    run->owner = this;
    run_ = std::move(run);
    return true;
}
