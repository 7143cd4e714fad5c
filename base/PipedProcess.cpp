#include "PipedProcess.h"

bool TPipedProcess::Start(const std::wstring& program, std::wstring commandLine, const std::wstring& folder,
                          DWORD& error)
{
    error = ERROR_SUCCESS;
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        error = GetLastError();
        return false;
    }
    output_.Reset(readEnd);
    UniqueHandle write(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0); // ours alone

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = write.Get();
    startup.hStdError = write.Get();
    PROCESS_INFORMATION started{};
    // Suspended until it belongs to the job, so that nothing it starts escapes.
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, folder.c_str(), &startup, &started)) {
        error = GetLastError();
        return false;
    }
    process_.Reset(started.hProcess);
    const UniqueHandle thread(started.hThread);
    job_.Add(process_.Get());
    ResumeThread(thread.Get());
    // Only the program holds the write end now: the pipe ends when it does.
    write.Reset();
    return true;
}

DWORD TPipedProcess::ReadToTheEnd(const std::function<void(const std::string&)>& output)
{
    char buffer[4096];
    DWORD read = 0;
    // Also a program it started and that inherited the pipe keeps it open;
    // the read ends with the last of them.
    while (ReadFile(output_.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        output(std::string(buffer, read));
    WaitForSingleObject(process_.Get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process_.Get(), &exitCode);
    return exitCode;
}

void TPipedProcess::Terminate() noexcept
{
    job_.Terminate();
    if (process_)
        TerminateProcess(process_.Get(), 1);
}
