#include "NameHelperProcess.h"

#include "PluginBuilds.h"
#include "PluginScan.h"
#include "ToolFiles.h"

#include "base/Errors.h"
#include "base/TextCodes.h"
#include "namehelper/NameHelperProtocol.h"

void TNameHelperProcess::End() noexcept
{
    job.Terminate();
    if (process)
        TerminateProcess(process.Get(), 1);
}

TNameHelperEnd TNameHelperProcess::Ending(bool inTime) const
{
    TNameHelperEnd end;
    end.InTime = inTime;
    if (!inTime)
        return end;
    GetExitCodeProcess(process.Get(), &end.ExitCode);
    // What the pipe holds, without waiting: the helper has ended, so nothing
    // more comes, and its answer is far smaller than the pipe's buffer.
    DWORD available = 0;
    if (PeekNamedPipe(answer.Get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        end.Answer.assign(available, '\0');
        DWORD read = 0;
        if (!ReadFile(answer.Get(), end.Answer.data(), available, &read, nullptr))
            read = 0;
        end.Answer.resize(read);
    }
    return end;
}

bool StartNameHelper(const std::string& helper, const std::string& pluginPath, TNameHelperProcess& run,
                     DWORD& error)
{
    error = ERROR_SUCCESS;
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0)) {
        error = GetLastError();
        return false;
    }
    run.answer.Reset(readEnd);
    UniqueHandle write(writeEnd);
    // The helper alone gets the write end: it is inheritable only while the
    // helper starts (every program the tool starts is started on one
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
    run.process.Reset(started.hProcess);
    run.processId = started.dwProcessId;
    const UniqueHandle thread(started.hThread);
    run.job.Add(run.process.Get()); // else the helper alone is ended
    ResumeThread(thread.Get());
    return true;
}

std::string PluginNameOf(const TNameHelperEnd& end)
{
    if (end.InTime && end.ExitCode == kNameHelperNamed && end.Answer.size() == kRootNameCapacity)
        return FilterRootName(end.Answer.data(), end.Answer.size());
    return std::string();
}

std::string NameHelperFor(const std::string& pluginPath, const std::string& toolFolder)
{
    switch (LibraryMachineOf(pluginPath)) {
    case TLibraryMachine::X86:
        return toolFolder + kNameHelperFileName;
    case TLibraryMachine::X64:
        return SystemRuns64BitPrograms() ? toolFolder + kNameHelper64FileName : std::string();
    default:
        return std::string();
    }
}

std::string AskPluginName(const std::string& pluginPath, const std::string& toolFolder, std::string& problem)
{
    problem.clear();
    const std::string helper = NameHelperFor(pluginPath, toolFolder);
    if (helper.empty())
        return std::string();
    TNameHelperProcess run;
    DWORD error = ERROR_SUCCESS;
    if (!StartNameHelper(helper, pluginPath, run, error)) {
        problem = "The plugin cannot be asked for its name: \"" + helper + "\" could not be started: " +
                  SystemErrorText(error) + ".";
        return std::string();
    }
    const bool inTime = WaitForSingleObject(run.process.Get(), kNameHelperLimitSeconds * 1000) == WAIT_OBJECT_0;
    return PluginNameOf(run.Ending(inTime));
}
