#include "StSpawn.h"

#include "base/LazyLibrary.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>

// ---------------------------------------------------------------------------
// Event names

namespace {

// Days from 1 January 1970 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

constexpr std::int64_t kDaysFrom1899To1970 = 25569;
constexpr double kMillisecondsPerDay = 86400000.0;

} // namespace

std::string StEventName(const SYSTEMTIME& now, char decimalSeparator)
{
    const double date = static_cast<double>(DaysFromCivil(now.wYear, now.wMonth, now.wDay) + kDaysFrom1899To1970);
    const double time =
        ((now.wHour * 60.0 + now.wMinute) * 60.0 + now.wSecond) * 1000.0 + now.wMilliseconds;
    const double dayCount = date + time / kMillisecondsPerDay;

    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.15G", dayCount);
    std::string name = buffer;
    std::replace(name.begin(), name.end(), '.', decimalSeparator);
    return name;
}

char StUserDecimalSeparator()
{
    char text[8] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, text, sizeof(text)) > 1)
        return text[0];
    return '.';
}

HANDLE StCreateRunEvent(const std::string& name)
{
    std::string candidate = name;
    for (int attempt = 2;; ++attempt) {
        SetLastError(ERROR_SUCCESS);
        HANDLE event = CreateEventA(nullptr, FALSE, FALSE, candidate.c_str());
        if (event == nullptr || GetLastError() != ERROR_ALREADY_EXISTS)
            return event;
        // Another run's event: signalling or closing it would end that run's wait.
        CloseHandle(event);
        if (attempt > 100)
            return CreateEventA(nullptr, FALSE, FALSE, nullptr);
        candidate = name + "_" + std::to_string(attempt);
    }
}

// ---------------------------------------------------------------------------
// The wait thread

namespace {

std::int32_t MillisecondsOf(std::int32_t seconds)
{
    std::int32_t ms = 0;
    if (__builtin_mul_overflow(seconds, 1000, &ms))
        throw EIntOverflow();
    return ms;
}

} // namespace

TStWaitThread::TStWaitThread(HANDLE process, HANDLE event, std::int32_t timeOutSeconds)
    : handles_{process, event}, timeOutMs_(MillisecondsOf(timeOutSeconds))
{
}

void TStWaitThread::Execute()
{
    const DWORD limit = timeOutMs_ > 0 ? static_cast<DWORD>(timeOutMs_) : INFINITE;
    waitResult_ = WaitForMultipleObjects(2, handles_.data(), FALSE, limit);
    if (waitResult_ == WAIT_FAILED)
        waitError_ = GetLastError();
}

// ---------------------------------------------------------------------------
// The launcher

// One watched run. Shared by the launcher and the termination call that its
// wait thread carries, and touched only on the user-interface thread.
struct TStSpawnApplication::TStRun {
    // Null once the launcher is gone: the run then reports to nobody.
    TStSpawnApplication* launcher = nullptr;
    // The run's own event, closed when the run's end has been handled.
    UniqueHandle event;
    // The run's own handle of the process, so that the wait does not depend
    // on the launcher's ProcessHandle, which the next Execute closes.
    UniqueHandle process;
    // Valid until the run's end has been handled; the thread frees itself.
    TStWaitThread* thread = nullptr;
};

TStSpawnApplication::TStSpawnApplication(TComponent* owner) : TStComponent(owner) {}

TStSpawnApplication::~TStSpawnApplication()
{
    for (const auto& run : runs_) {
        run->launcher = nullptr;
        // Nothing is watching any more: end the wait now rather than when the
        // process ends. The thread still hands its end over and frees itself.
        if (run->event)
            SetEvent(run->event.Get());
    }
}

HANDLE TStSpawnApplication::EventHandle() const noexcept
{
    return latest_ != nullptr ? latest_->event.Get() : nullptr;
}

TStWaitThread* TStSpawnApplication::WaitThread() const noexcept
{
    return latest_ != nullptr ? latest_->thread : nullptr;
}

void TStSpawnApplication::SetTimeOut(std::int32_t seconds) noexcept
{
    if (seconds >= 0)
        timeOut_ = seconds;
}

HANDLE TStSpawnApplication::Execute()
{
    if (FileName.empty() && !RunParameters.empty())
        RaiseStError<EStSpawnError>(stscNoFileNameWithParams);

    std::string verb;
    switch (SpawnCommand) {
    case TStSpawnCommand::scOpen:
        verb = "open";
        break;
    case TStSpawnCommand::scPrint:
        verb = "print";
        break;
    case TStSpawnCommand::scOther:
        verb = SpawnCommandStr;
        break;
    }

    int show = SW_SHOWNORMAL;
    switch (ShowState) {
    case TStShowState::ssMinimized:
        show = SW_MINIMIZE;
        break;
    case TStShowState::ssMaximized:
        show = SW_SHOWMAXIMIZED;
        break;
    case TStShowState::ssNormal:
        show = SW_SHOWNORMAL;
        break;
    case TStShowState::ssMinNotActive:
        show = SW_SHOWMINNOACTIVE;
        break;
    }

    // The previous start's handle is the launcher's own: a run still being
    // watched waits on a handle of its own.
    processHandle_.Reset();

    static_assert(sizeof(SHELLEXECUTEINFOA) == 60, "the shell expects the 32-bit record");
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    // An empty verb is passed as an empty text, never as an absent one.
    info.lpVerb = verb.c_str();
    info.lpFile = FileName.empty() ? nullptr : FileName.c_str();
    info.lpParameters = RunParameters.empty() ? nullptr : RunParameters.c_str();
    info.lpDirectory = DefaultDir.empty() ? nullptr : DefaultDir.c_str();
    info.nShow = show;
    info.hInstApp = nullptr;

    const BOOL started = LazyFunction<decltype(&ShellExecuteExA)>("shell32.dll", "ShellExecuteExA")(&info);
    const DWORD error = started ? ERROR_SUCCESS : GetLastError();
    processHandle_.Reset(info.hProcess);

    HANDLE result = nullptr;
    if (started) {
        result = processHandle_.Get();
    } else if (OnSpawnError.Assigned()) {
        if (error > 0xFFFF)
            throw ERangeError();
        OnSpawnError(this, static_cast<std::uint16_t>(error));
    }

    if (NotifyWhenDone)
        Watch();
    return result;
}

void TStSpawnApplication::Watch()
{
    auto run = std::make_shared<TStRun>();
    run->launcher = this;

    SYSTEMTIME now{};
    GetLocalTime(&now);
    run->event.Reset(StCreateRunEvent(StEventName(now, StUserDecimalSeparator())));

    if (processHandle_) {
        HANDLE own = nullptr;
        if (DuplicateHandle(GetCurrentProcess(), processHandle_.Get(), GetCurrentProcess(), &own, 0, FALSE,
                            DUPLICATE_SAME_ACCESS))
            run->process.Reset(own);
    }

    // A null process or event makes the wait fail at once; the run then ends
    // with OnSpawnError from the termination handler.
    // If the thread cannot be set up, `run` and with it the event go here.
    auto thread = std::make_unique<TStWaitThread>(run->process.Get(), run->event.Get(), timeOut_);
    thread->FreeOnTerminate = true;
    thread->OnTerminate = TNotifyEvent([run](TObject* sender) {
        RunTerminated(run, *static_cast<TStWaitThread*>(sender));
    });
    thread->Start();
    // Started: the thread frees itself once its end has been handled, which
    // cannot happen before this returns to the message loop.
    run->thread = thread.release();

    runs_.push_back(run);
    latest_ = run.get();
}

void TStSpawnApplication::RunTerminated(const std::shared_ptr<TStRun>& run, TStWaitThread& thread)
{
    // Whatever an event handler does (throw, destroy the launcher, start
    // another run), the run is taken off the launcher and its handles closed.
    struct Finish {
        TStRun& run;
        ~Finish()
        {
            if (TStSpawnApplication* launcher = run.launcher) {
                if (launcher->latest_ == &run)
                    launcher->latest_ = nullptr;
                auto& runs = launcher->runs_;
                runs.erase(std::remove_if(runs.begin(), runs.end(),
                                          [this](const std::shared_ptr<TStRun>& r) { return r.get() == &run; }),
                           runs.end());
                run.launcher = nullptr;
            }
            if (run.event) {
                SetEvent(run.event.Get());
                run.event.Reset();
            }
            run.process.Reset();
            run.thread = nullptr;
        }
    } finish{*run};

    if (run->launcher != nullptr)
        run->launcher->Report(*run, thread);
}

void TStSpawnApplication::Report(TStRun& run, const TStWaitThread& thread)
{
    switch (thread.WaitResult()) {
    case WAIT_FAILED:
        if (OnSpawnError.Assigned()) {
            // The event cannot carry it; report the same range error as a
            // failed start would, through the application-wide handler.
            if (thread.WaitError() > 0xFFFF)
                throw ERangeError();
            OnSpawnError(this, static_cast<std::uint16_t>(thread.WaitError()));
        }
        break;
    case WAIT_OBJECT_0:
    case WAIT_OBJECT_0 + 1:
        if (NotifyWhenDone && OnCompleted.Assigned()) {
            DWORD code = STILL_ACTIVE;
            if (!run.process || !GetExitCodeProcess(run.process.Get(), &code))
                code = STILL_ACTIVE;
            lastExitCode_ = code;
            OnCompleted(this);
        }
        break;
    case WAIT_TIMEOUT:
        OnTimeOut(this);
        break;
    default:
        break;
    }
}
