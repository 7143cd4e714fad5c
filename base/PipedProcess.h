#pragma once
// A console program run without a window, in a job of its own (see
// ProcessJob.h), whose standard output and error are read through one pipe as
// the program writes them.
#include "Handles.h"
#include "ProcessJob.h"

#include <windows.h>

#include <functional>
#include <string>

class TPipedProcess {
public:
    // Starts `program` (a full path) with the whole `commandLine`, in
    // `folder`. False, with the system's error code, when it cannot start.
    bool Start(const std::wstring& program, std::wstring commandLine, const std::wstring& folder, DWORD& error);

    // Hands what the program writes to `output` as it comes, until the
    // program has ended and its pipe is empty; the program's exit code.
    DWORD ReadToTheEnd(const std::function<void(const std::string&)>& output);

    // Ends the program and whatever it started; harmless once they ended.
    void Terminate() noexcept;
    HANDLE Process() const noexcept { return process_.Get(); }

private:
    TProcessJob job_;
    UniqueHandle process_;
    UniqueHandle output_; // the pipe's read end
};
