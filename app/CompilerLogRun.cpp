#include "CompilerLogRun.h"

#include "base/Handles.h"
#include "base/ProcessJob.h"
#include "../launcher/StSpawn.h"

namespace {

// A hidden compiler can be neither seen nor closed by the user, and the build
// waits for it: past this it is ended, and its log is shown as far as it got.
constexpr std::int32_t kLimitSeconds = 300;

} // namespace

// Shared by the object and the termination call its wait thread carries;
// touched only on the user-interface thread.
struct TCompilerLogRun::TRun {
    // Null once the object is gone.
    TCompilerLogRun* owner = nullptr;
    UniqueHandle process;
    // Holds the compiler and whatever it starts.
    TProcessJob job;
    // Signalled when the object goes, to end the wait early.
    UniqueHandle letGo;
};

TCompilerLogRun::TCompilerLogRun(TComponent* owner) : TComponent(owner) {}

TCompilerLogRun::~TCompilerLogRun() { Stop(); }

void TCompilerLogRun::Stop() noexcept
{
    if (!run_)
        return;
    run_->owner = nullptr;
    run_->job.Terminate();
    TerminateProcess(run_->process.Get(), 1); // nobody would see it end
    WaitForSingleObject(run_->process.Get(), 10000);
    SetEvent(run_->letGo.Get());
    run_.reset();
}

bool TCompilerLogRun::Start(const std::string& compiler, const std::string& script, const std::string& log,
                            const std::string& folder, DWORD& error)
{
    error = ERROR_SUCCESS;
    if (run_) {
        error = ERROR_BUSY;
        return false;
    }
    auto run = std::make_shared<TRun>();
    run->letGo.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!run->letGo) {
        error = GetLastError();
        return false;
    }

    // NSIS takes its log option before the script; a console program needs
    // CREATE_NO_WINDOW, a window of its own SW_HIDE.
    std::string commandLine = "\"" + compiler + "\" \"/O" + log + "\" \"" + script + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started{};
    // Suspended until it belongs to the job, so that nothing it starts escapes.
    if (!CreateProcessA(compiler.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, folder.c_str(), &startup, &started)) {
        error = GetLastError();
        return false;
    }
    run->process.Reset(started.hProcess);
    UniqueHandle thread(started.hThread);
    run->job.Add(run->process.Get());
    ResumeThread(thread.Get());

    // The launcher's wait thread, on the process and the let-go event.
    auto waiter = std::make_unique<TStWaitThread>(run->process.Get(), run->letGo.Get(), kLimitSeconds);
    waiter->FreeOnTerminate = true;
    waiter->OnTerminate = TNotifyEvent([run](TObject*) {
        TerminateProcess(run->process.Get(), 1); // past the limit; fails harmlessly once it has ended
        TCompilerLogRun* owner = run->owner;
        if (owner == nullptr)
            return;
        run->owner = nullptr;
        owner->run_.reset();
        owner->OnEnded(owner);
    });
    waiter->Start();
    waiter.release(); // frees itself once its end has been handled
    run->owner = this;
    run_ = std::move(run);
    return true;
}
