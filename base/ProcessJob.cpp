#include "ProcessJob.h"

#include <tlhelp32.h>

#include <vector>

namespace {

ULONGLONG CreationTimeOf(HANDLE process) noexcept
{
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

} // namespace

TProcessJob::TProcessJob() : job_(CreateJobObjectA(nullptr, nullptr))
{
    if (!job_)
        return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));
}

bool TProcessJob::Add(HANDLE process) noexcept
{
    return job_ && AssignProcessToJobObject(job_.Get(), process);
}

bool TProcessJob::AddWithDescendants(HANDLE process) noexcept
{
    if (!Add(process))
        return false;
    // From now on what a member starts joins by itself; what one started
    // before it joined is in the list of processes, a child of a member,
    // created after it (a process id can be used again). Once a look at
    // the list finds nothing new, nothing can be missing.
    struct TMember {
        DWORD Id;
        ULONGLONG Created;
    };
    std::vector<TMember> members{{GetProcessId(process), CreationTimeOf(process)}};
    for (bool found = true; found;) {
        found = false;
        const UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof(entry);
        for (BOOL more = snapshot && Process32First(snapshot.Get(), &entry); more;
             more = Process32Next(snapshot.Get(), &entry)) {
            bool known = false;
            const TMember* parent = nullptr;
            for (const TMember& member : members) {
                known = known || member.Id == entry.th32ProcessID;
                if (member.Id == entry.th32ParentProcessID)
                    parent = &member;
            }
            if (known || parent == nullptr)
                continue;
            const UniqueHandle child(OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION,
                                                 FALSE, entry.th32ProcessID));
            const ULONGLONG created = child ? CreationTimeOf(child.Get()) : 0;
            if (!child || created < parent->Created)
                continue;
            BOOL inJob = FALSE;
            if (!IsProcessInJob(child.Get(), job_.Get(), &inJob) || !inJob)
                Add(child.Get());
            members.push_back({entry.th32ProcessID, created});
            found = true;
        }
    }
    return true;
}

void TProcessJob::Terminate() noexcept
{
    if (job_)
        TerminateJobObject(job_.Get(), 1);
}
