// The one way the tool starts a program, with the launcher tests' probe: its
// output read as it comes, its limit, its stop, and no program it started
// left behind.
#include "base/ChildProcess.h"
#include "base/Errors.h"
#include "base/Paths.h"
#include "base/TextCodes.h"
#include "tests/support/Folders.h"
#include "tests/support/Polling.h"
#include "tests/support/Programs.h"

#include <gtest/gtest.h>

namespace {

TChildStart Probe(const std::string& arguments, bool readOutput = true)
{
    TChildStart start;
    start.Program = ToWide(SpawnProbe(), CP_ACP);
    start.CommandLine = L"\"" + start.Program + L"\" " + ToWide(arguments, CP_ACP);
    start.ReadOutput = readOutput;
    return start;
}

} // namespace

TEST(ChildProcess, EndsWithItsExitCodeAndEverythingItWrote)
{
    // More than a pipe holds: it is read while the program writes.
    for (const unsigned long bytes : {0ul, 5ul, 300000ul}) {
        TChildProcess probe(Probe("--print " + std::to_string(bytes) + " --exit 3"));
        std::string output;
        const TChildEnd end = probe.Wait(30000, nullptr, [&](const std::string& part) { output += part; });
        EXPECT_EQ(end.How, TChildEnding::Ended);
        EXPECT_EQ(end.ExitCode, 3u);
        EXPECT_EQ(output.size(), bytes);
    }
}

TEST(ChildProcess, TheLimitOrTheStopEventEndsItAndWhatItStarted)
{
    TempFolder folder;
    const UniqueHandle stop(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    for (const bool stopped : {false, true}) {
        const std::string idFile = folder.Path() + (stopped ? "stopped.id" : "limited.id");
        TChildProcess probe(Probe("--spawn \"" + idFile + "\" --sleep 600000"));
        const DWORD child = SpawnedProcessId(idFile);
        if (stopped)
            SetEvent(stop.Get());
        const TChildEnd end = probe.Wait(stopped ? INFINITE : 500, stop.Get());
        EXPECT_EQ(end.How, stopped ? TChildEnding::Stopped : TChildEnding::TimedOut);
        EXPECT_EQ(WaitForSingleObject(probe.Process(), 0), WAIT_OBJECT_0);
        EXPECT_TRUE(ProcessGone(child));
    }
    // What a program that ended by itself left running goes too.
    const std::string idFile = folder.Path() + "left.id";
    TChildProcess probe(Probe("--spawn \"" + idFile + "\"", false));
    EXPECT_EQ(probe.Wait(30000, nullptr).How, TChildEnding::Ended);
    EXPECT_TRUE(ProcessGone(SpawnedProcessId(idFile)));
}

TEST(ChildProcess, AProgramThatCannotStartIsAFailureWithTheSystemsReason)
{
    TChildStart start = Probe("");
    start.Program = L"C:\\no such folder\\program.exe";
    start.CommandLine = L"\"" + start.Program + L"\"";
    try {
        TChildProcess missing(start);
        ADD_FAILURE() << "it started";
    } catch (const EOSError& e) {
        EXPECT_NE(e.ErrorCode(), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(e.Message(), "\"C:\\no such folder\\program.exe\" could not be started: " +
                                   SystemErrorText(e.ErrorCode()));
    }
}

TEST(ProcessJob, AProgramStartedOutsideTakesWhatItStartedMeanwhileIntoTheJob)
{
    // As the shell starts the compiler: running at once, joining only later.
    TempFolder folder;
    const std::string idFile = folder.Path() + "child.id";
    std::string command = "\"";
    command += SpawnProbe() + "\" --spawn \"" + idFile + "\" --sleep 600000";
    const StartedProgram parent(command);
    const DWORD child = SpawnedProcessId(idFile);
    TProcessJob job;
    ASSERT_TRUE(job.AddWithDescendants(parent.Handle()));
    job.Terminate();
    EXPECT_TRUE(parent.WaitFor(5000));
    EXPECT_TRUE(ProcessGone(child));
}
