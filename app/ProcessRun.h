#pragma once
// A program the window waits for without waiting: it starts as every program
// of the tool does (base/ChildProcess.h), a worker thread waits for it and
// reads what it writes, and its end is handed to the user-interface thread
// through the toolkit's queue of pending calls. The name helper and the
// hidden compile of a rejected script run this way.
#include "base/ChildProcess.h"
#include "../toolkit/Component.h"

#include <windows.h>

#include <memory>
#include <string>

// How a run ended, and what it wrote when its output was read.
struct TProcessRunEnd {
    TChildEnd End;
    std::string Output;
};

using TProcessRunEndedEvent = TEvent<TObject*, const TProcessRunEnd&>;

class TProcessRun : public TComponent {
public:
    explicit TProcessRun(TComponent* owner);
    // A run still going is ended and reports nothing.
    ~TProcessRun() override;

    // Starts `start` and waits for it at most `limitMs`; a run still going
    // is ended first and reports nothing. Throws EOSError when the program
    // cannot be started, EThread when no thread can wait for it (the
    // program is ended then).
    void Start(const TChildStart& start, DWORD limitMs);
    // Ends the run going, if any, and whatever it started, and waits until
    // they are gone; it reports nothing.
    void Stop() noexcept;
    bool Running() const noexcept { return static_cast<bool>(run_); }
    // The program of the run going; 0 when none goes.
    DWORD ProcessId() const noexcept;

    // Called on the user-interface thread when the program has ended, or
    // has been ended at the limit.
    TProcessRunEndedEvent OnEnded;

    // The run going, shared with the worker thread that waits for it.
    struct TRun;

private:
    std::shared_ptr<TRun> run_;
};
