#include "ChildProcess.h"

#include "Errors.h"
#include "TextCodes.h"

#include <atomic>

namespace {

// Once the program has ended, what it left running is ended and its pipe
// closes; this long at most is waited for what the pipe still holds.
constexpr DWORD kDrainMs = 5000;
// A program that is ended takes this long at most to be gone.
constexpr DWORD kEndMs = 10000;

std::atomic<unsigned> pipeCount{0};

// An inbound pipe whose read end can be waited on, and its write end, which
// the program inherits. An anonymous pipe cannot be read overlapped.
void MakeOutputPipe(UniqueFile& readEnd, UniqueFile& writeEnd)
{
    const std::wstring name = L"\\\\.\\pipe\\SetupCreator-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++pipeCount);
    readEnd.Reset(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                   PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 64 * 1024, 0, nullptr));
    if (!readEnd)
        throw EOSError(GetLastError(), "The pipe for a program's output could not be made: " +
                                           SystemErrorText(GetLastError()));
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    writeEnd.Reset(CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING, 0, nullptr));
    if (!writeEnd)
        throw EOSError(GetLastError(), "The pipe for a program's output could not be made: " +
                                           SystemErrorText(GetLastError()));
}

} // namespace

TChildProcess::TChildProcess(const TChildStart& start)
{
    UniqueFile writeEnd;
    if (start.ReadOutput) {
        MakeOutputPipe(output_, writeEnd);
        readDone_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    }
    // Inheritable only while the program starts: every program the tool
    // starts is started on one thread, so no other inherits it meanwhile.
    if (start.Inherited != nullptr)
        SetHandleInformation(start.Inherited, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    // It shows no window: no busy cursor while it starts.
    startup.dwFlags = STARTF_FORCEOFFFEEDBACK;
    if (writeEnd) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd.Get();
        startup.hStdError = writeEnd.Get();
    }
    std::wstring commandLine = start.CommandLine;
    PROCESS_INFORMATION started{};
    const BOOL created = CreateProcessW(start.Program.c_str(), commandLine.data(), nullptr, nullptr,
                                        writeEnd || start.Inherited != nullptr, CREATE_NO_WINDOW | CREATE_SUSPENDED,
                                        nullptr, start.Folder.empty() ? nullptr : start.Folder.c_str(), &startup,
                                        &started);
    const DWORD error = GetLastError();
    if (start.Inherited != nullptr)
        SetHandleInformation(start.Inherited, HANDLE_FLAG_INHERIT, 0);
    if (!created)
        throw EOSError(error, "\"" + FromWide(start.Program, CP_ACP) + "\" could not be started: " +
                                  SystemErrorText(error));
    process_.Reset(started.hProcess);
    id_ = started.dwProcessId;
    const UniqueHandle thread(started.hThread);
    job_.Add(process_.Get());
    ResumeThread(thread.Get());
    // Only the program holds the write end now: the pipe closes when it and
    // what it started are gone.
}

void TChildProcess::Terminate() noexcept
{
    job_.Terminate();
    if (process_)
        TerminateProcess(process_.Get(), 1);
}

TChildEnd TChildProcess::Wait(DWORD limitMs, HANDLE stop, const std::function<void(const std::string&)>& output)
{
    TChildEnd end;
    // Tick counts wrap around after 49 days; their differences do not.
    DWORD since = GetTickCount();
    DWORD limit = limitMs;
    bool running = true;
    bool pipeOpen = output_.Valid();
    bool pending = false;
    OVERLAPPED overlapped{};
    overlapped.hEvent = readDone_.Get();
    char buffer[4096];
    const auto deliver = [&](DWORD read) {
        if (read > 0 && output)
            output(std::string(buffer, read));
    };

    while (running || pipeOpen) {
        DWORD read = 0;
        if (pipeOpen && !pending) {
            ResetEvent(readDone_.Get());
            if (ReadFile(output_.Get(), buffer, sizeof(buffer), nullptr, &overlapped)) {
                if (GetOverlappedResult(output_.Get(), &overlapped, &read, FALSE))
                    deliver(read);
                continue;
            }
            if (GetLastError() != ERROR_IO_PENDING) {
                pipeOpen = false; // every writer is gone
                continue;
            }
            pending = true;
        }
        HANDLE handles[3];
        DWORD count = 0;
        if (running)
            handles[count++] = process_.Get();
        if (pending)
            handles[count++] = readDone_.Get();
        if (stop != nullptr)
            handles[count++] = stop;
        const DWORD elapsed = GetTickCount() - since;
        const DWORD wait = limit == INFINITE ? INFINITE : elapsed >= limit ? 0 : limit - elapsed;
        const DWORD result = WaitForMultipleObjects(count, handles, FALSE, wait);
        if (result == WAIT_TIMEOUT) {
            if (running)
                end.How = TChildEnding::TimedOut;
            break; // ended, but something it started keeps the pipe open
        }
        if (result == WAIT_FAILED || result >= WAIT_OBJECT_0 + count) {
            end.How = TChildEnding::Stopped;
            break;
        }
        const HANDLE signalled = handles[result - WAIT_OBJECT_0];
        if (signalled == stop) {
            if (running)
                end.How = TChildEnding::Stopped;
            break;
        }
        if (signalled == process_.Get()) {
            running = false;
            // What it left running goes, and the pipe closes with it.
            job_.Terminate();
            const DWORD elapsed = GetTickCount() - since;
            if (limit == INFINITE || limit - elapsed > kDrainMs) {
                since = GetTickCount();
                limit = kDrainMs;
            }
            continue;
        }
        pending = false;
        if (GetOverlappedResult(output_.Get(), &overlapped, &read, FALSE))
            deliver(read);
        else
            pipeOpen = false;
    }
    if (pending) {
        // The buffer is this frame's: the read must be over before it goes.
        DWORD read = 0;
        CancelIo(output_.Get());
        GetOverlappedResult(output_.Get(), &overlapped, &read, TRUE);
    }
    if (end.How != TChildEnding::Ended) {
        Terminate();
        // Gone once its handle is signalled: only then is what it wrote its last.
        WaitForSingleObject(process_.Get(), kEndMs);
    } else {
        GetExitCodeProcess(process_.Get(), &end.ExitCode);
    }
    return end;
}
