#pragma once
// One run of the name helper: a WFX plugin asked for its name in a program of
// its own beside the tool, so that nothing the plugin's code does (fault,
// hang, end its process, damage memory) reaches the tool. The helper and
// whatever it starts belong to a job that ends with the run; past the time
// limit the run is ended. Its end is reported on the user-interface thread
// through the launcher's wait thread and the toolkit's hand-over.
#include "../toolkit/Component.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

// How a run ended.
struct TNameHelperEnd {
    // The helper ended by itself within the time limit; otherwise it was ended.
    bool InTime = false;
    // Its exit code, when it ended in time.
    DWORD ExitCode = 0;
    // What it wrote to its pipe, as bytes.
    std::string Answer;
};

using TNameHelperEndedEvent = TEvent<TObject*, const TNameHelperEnd&>;

class TNameHelperRun : public TComponent {
public:
    // A plugin answers within milliseconds; a big one with many libraries to
    // load from a slow disk that a virus scanner reads first within a second
    // or two. Past this the run is ended, and the user has waited for the
    // name no longer than a glance at the other fields takes.
    static constexpr std::int32_t kLimitSeconds = 5;

    explicit TNameHelperRun(TComponent* owner);
    // A run still going is ended and reports nothing.
    ~TNameHelperRun() override;

    // Starts `helper` (a full path) for the plugin library `pluginPath`; a
    // run still going is ended first and reports nothing. False, with the
    // system's error code, when the helper cannot be started. Throws EThread
    // when no thread can wait for it; the helper is ended then.
    bool Start(const std::string& helper, const std::string& pluginPath, DWORD& error);
    // Ends the run going, if any; it reports nothing.
    void Stop() noexcept;
    bool Running() const noexcept { return static_cast<bool>(run_); }
    // The helper process of the run going; 0 when none goes.
    DWORD ProcessId() const noexcept;

    // Called on the user-interface thread when the helper has ended, or has
    // been ended at the time limit.
    TNameHelperEndedEvent OnEnded;

private:
    struct TRun;
    std::shared_ptr<TRun> run_;
};
