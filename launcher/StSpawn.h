#pragma once
// The process launcher: starts a program or document through the shell and,
// when asked to, watches the started process on a wait thread of its own and
// reports its end, a time-out or a failure on the user-interface thread.
#include "StBase.h"

#include "../toolkit/Thread.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class TStSpawnCommand : std::uint8_t { scOpen, scPrint, scOther };
enum class TStShowState : std::uint8_t { ssMinimized, ssMaximized, ssNormal, ssMinNotActive };

using TStSpawnCompletedEvent = TEvent<TObject*>;
using TStSpawnErrorEvent = TEvent<TObject*, std::uint16_t>;
using TStSpawnTimeOutEvent = TEvent<TObject*>;

class TStSpawnApplication : public TStComponent {
public:
    explicit TStSpawnApplication(TComponent* owner);
    ~TStSpawnApplication() override;

    // Starts FileName; returns the started process, or null when the start failed.
    HANDLE Execute();

    HANDLE EventHandle() const noexcept;
    HANDLE ProcessHandle() const noexcept;

    std::string DefaultDir;
    std::string FileName;
    bool NotifyWhenDone = true;
    TStSpawnCompletedEvent OnCompleted;
    TStSpawnErrorEvent OnSpawnError;
    TStSpawnTimeOutEvent OnTimeOut;
    std::string RunParameters;
    TStShowState ShowState = TStShowState::ssNormal;
    TStSpawnCommand SpawnCommand = TStSpawnCommand::scOpen;
    std::string SpawnCommandStr;

    std::int32_t TimeOut() const noexcept { return timeOut_; }
    // A negative value is ignored.
    void SetTimeOut(std::int32_t seconds) noexcept;

    // Exit code of the process whose end was reported last (read it in
    // OnCompleted); STILL_ACTIVE when none has been.
    DWORD LastExitCode() const noexcept;

private:
    std::int32_t timeOut_ = 0;
    struct State;
    std::unique_ptr<State> state_;
};
