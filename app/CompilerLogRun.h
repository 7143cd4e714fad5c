#pragma once
// The script compiler run once more, hidden, on a script it has rejected, so
// that its messages land in a log file the tool can show. Its end is reported
// on the user-interface thread, through the same hand-over as the launcher's.
#include "../toolkit/Component.h"

#include <windows.h>

#include <memory>
#include <string>

class TCompilerLogRun : public TComponent {
public:
    explicit TCompilerLogRun(TComponent* owner);
    // A run still going is ended: its wait ends and it reports to nobody.
    ~TCompilerLogRun() override;

    // Starts `compiler` "/O<log>" "<script>" in `folder` without a window.
    // False, with the system's error code, when it cannot be started or
    // another run of this object still goes. Throws EThread when no thread
    // can wait for it; the compiler then runs on unwatched.
    bool Start(const std::string& compiler, const std::string& script, const std::string& log,
               const std::string& folder, DWORD& error);
    bool Running() const noexcept { return static_cast<bool>(run_); }
    // Ends the run going, if any, and whatever it started, and waits for its
    // end; it reports nothing.
    void Stop() noexcept;

    // Called on the user-interface thread when the compiler has ended, or
    // has been ended after running five minutes.
    TNotifyEvent OnEnded;

private:
    struct TRun;
    std::shared_ptr<TRun> run_;
};
