#pragma once
// One run of the name helper: a WFX plugin asked for its name in a program of
// its own beside the tool, so that nothing the plugin's code does (fault,
// hang, end its process, damage memory) reaches the tool. The helper and
// whatever it starts belong to a job that ends with the run; past the time
// limit the run is ended. Its end is reported on the user-interface thread
// through the launcher's wait thread and the toolkit's hand-over.
#include "NameHelperProcess.h"

#include "../toolkit/Component.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

using TNameHelperEndedEvent = TEvent<TObject*, const TNameHelperEnd&>;

class TNameHelperRun : public TComponent {
public:
    static constexpr std::int32_t kLimitSeconds = kNameHelperLimitSeconds;

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
