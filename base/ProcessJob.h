#pragma once
// A job object for the programs the tool starts: whatever a program in it
// starts belongs to it too, a fault ends a program at once (no error report
// waits for an answer), and everything in it is ended when the job's last
// handle closes, also when the tool itself ends without closing it.
#include "Handles.h"

#include <windows.h>

class TProcessJob {
public:
    // A job; one that holds nothing where the system allows no job here
    // (inside a job of its own before Windows 8).
    TProcessJob();

    // Puts `process` into the job. False when it cannot: it is then alone.
    bool Add(HANDLE process) noexcept;
    // Puts `process` into the job together with every program it started
    // before it joined, and what those started: a program that was not
    // started suspended joins only once it runs, and what it started in
    // between would escape the job otherwise.
    bool AddWithDescendants(HANDLE process) noexcept;
    // Ends every program in the job; harmless once they have ended.
    void Terminate() noexcept;
    bool Valid() const noexcept { return job_.Valid(); }

private:
    UniqueHandle job_;
};
