#include "ProcessJob.h"

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

void TProcessJob::Terminate() noexcept
{
    if (job_)
        TerminateJobObject(job_.Get(), 1);
}
