#include "NameHelperRun.h"

#include "base/Handles.h"
#include "base/ProcessJob.h"
#include "base/TextCodes.h"
#include "../launcher/StSpawn.h"

// Shared by the object and the termination call its wait thread carries;
// touched only on the user-interface thread.
struct TNameHelperRun::TRun {
    // Null once the run is let go: it then reports to nobody.
    TNameHelperRun* owner = nullptr;
    // Holds the helper and whatever it starts.
    TProcessJob job;
    UniqueHandle process;
    DWORD processId = 0;
    // The read end of the helper's pipe.
    UniqueHandle answer;
    // Signalled to end the wait early.
    UniqueHandle letGo;

    // Ends the helper and everything it started; harmless once they ended.
    void End() noexcept
    {
        job.Terminate();
        if (process)
            TerminateProcess(process.Get(), 1);
    }
    ~TRun() { End(); }
};

namespace {

// What the pipe holds, without waiting: the helper has ended, so nothing more
// comes, and its answer is far smaller than the pipe's buffer.
std::string ReadWaitingBytes(HANDLE pipe)
{
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0)
        return std::string();
    std::string bytes(available, '\0');
    DWORD read = 0;
    if (!ReadFile(pipe, bytes.data(), available, &read, nullptr))
        read = 0;
    bytes.resize(read);
    return bytes;
}

} // namespace

TNameHelperRun::TNameHelperRun(TComponent* owner) : TComponent(owner) {}

TNameHelperRun::~TNameHelperRun() { Stop(); }

DWORD TNameHelperRun::ProcessId() const noexcept { return run_ ? run_->processId : 0; }

void TNameHelperRun::Stop() noexcept
{
    if (!run_)
        return;
    run_->owner = nullptr;
    run_->End();
    SetEvent(run_->letGo.Get());
    // The wait thread's termination call keeps the run until it has run.
    run_.reset();
}

bool TNameHelperRun::Start(const std::string& helper, const std::string& pluginPath, DWORD& error)
{
    Stop();
    error = ERROR_SUCCESS;
    auto run = std::make_shared<TRun>();
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    run->letGo.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!run->letGo || !CreatePipe(&readEnd, &writeEnd, nullptr, 0)) {
        error = GetLastError();
        return false;
    }
    run->answer.Reset(readEnd);
    UniqueHandle write(writeEnd);
    // The helper alone gets the write end: it is inheritable only while the
    // helper starts (every program the tool starts is started on this
    // thread), and this end is closed once the helper has its own.
    SetHandleInformation(write.Get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);

    // Wide, so that any path reaches the helper whatever the code pages.
    const std::wstring program = ToWide(helper, CP_ACP);
    std::wstring commandLine = L"\"" + program + L"\" " +
                               std::to_wstring(reinterpret_cast<std::uintptr_t>(write.Get())) + L" \"" +
                               ToWide(pluginPath, CP_ACP) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    // It shows no window: no busy cursor while it starts.
    startup.dwFlags = STARTF_FORCEOFFFEEDBACK;
    PROCESS_INFORMATION started{};
    // Suspended until it belongs to the job, so that nothing it starts escapes.
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &started)) {
        error = GetLastError();
        return false;
    }
    write.Reset();
    run->process.Reset(started.hProcess);
    run->processId = started.dwProcessId;
    const UniqueHandle thread(started.hThread);
    run->job.Add(run->process.Get()); // else the helper alone is ended
    ResumeThread(thread.Get());

    // The launcher's wait thread, on the process and the let-go event; if it
    // cannot be set up, `run` goes here and ends the helper.
    auto waiter = std::make_unique<TStWaitThread>(run->process.Get(), run->letGo.Get(), kLimitSeconds);
    waiter->FreeOnTerminate = true;
    waiter->OnTerminate = TNotifyEvent([run](TObject* sender) {
        TNameHelperEnd end;
        end.InTime = static_cast<TStWaitThread*>(sender)->WaitResult() == WAIT_OBJECT_0;
        if (end.InTime) {
            GetExitCodeProcess(run->process.Get(), &end.ExitCode);
            end.Answer = ReadWaitingBytes(run->answer.Get());
        }
        // Past the limit it is ended now; in time, whatever it left running.
        run->End();
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
