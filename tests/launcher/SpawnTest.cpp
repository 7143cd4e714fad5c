// The launcher with real processes: every run starts the spawnprobe program
// (or a document whose verbs run it) through the shell under Wine.
#include "base/Handles.h"
#include "base/Paths.h"
#include "launcher/StSpawn.h"
#include "tests/support/Dialogs.h"
#include "tests/support/ExpectFailure.h"
#include "tests/support/Folders.h"
#include "tests/support/Polling.h"
#include "toolkit/Application.h"
#include "toolkit/Dialogs.h"

#include <shlwapi.h>

#include <atomic>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string ProbeArgs(DWORD sleepMs, DWORD exitCode, const std::string& record = std::string())
{
    std::string args = "--sleep " + std::to_string(sleepMs) + " --exit " + std::to_string(exitCode);
    if (!record.empty())
        args += " --record " + Quoted(record);
    return args;
}

// Local time in 100-nanosecond units, the clock the launcher names its events by.
ULONGLONG LocalNow()
{
    SYSTEMTIME time{};
    GetLocalTime(&time);
    FILETIME file{};
    SystemTimeToFileTime(&time, &file);
    return (static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

// How many events named after a millisecond between `from` and `to` exist now:
// a run's event, while it is open, is found by its name.
int OpenRunEvents(ULONGLONG from, ULONGLONG to)
{
    const char separator = StUserDecimalSeparator();
    int open = 0;
    for (ULONGLONG t = from - from % 10000; t <= to; t += 10000) {
        FILETIME file{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
        SYSTEMTIME time{};
        FileTimeToSystemTime(&file, &time);
        UniqueHandle event(OpenEventA(SYNCHRONIZE, FALSE, StEventName(time, separator).c_str()));
        if (event)
            ++open;
    }
    return open;
}

// What a launcher reported, and where.
struct Reports {
    explicit Reports(TStSpawnApplication& spawn)
    {
        spawn.OnCompleted = TStSpawnCompletedEvent([this, &spawn](TObject* sender) {
            ++completed;
            senderWasLauncher = sender == &spawn;
            onUiThread = GetCurrentThreadId() == Application->MainThreadId();
            exitCodes.push_back(spawn.LastExitCode());
            eventOpenDuringHandler = spawn.EventHandle() != nullptr;
            dialogOpen = FindDialog() != nullptr;
        });
        spawn.OnSpawnError = TStSpawnErrorEvent([this](TObject*, std::uint16_t error) { errors.push_back(error); });
        spawn.OnTimeOut = TStSpawnTimeOutEvent([this](TObject*) { ++timeOuts; });
    }
    std::atomic<int> completed{0};
    int timeOuts = 0;
    std::vector<DWORD> errors, exitCodes;
    bool senderWasLauncher = false, onUiThread = false, eventOpenDuringHandler = false, dialogOpen = false;
};

// A launcher whose reports are collected, and the probe program it starts.
class Spawn : public testing::Test {
protected:
    void SetUp() override { threadsBefore_ = TThread::Running(); }
    void TearDown() override
    {
        // No wait thread may outlive its test.
        EXPECT_TRUE(Eventually([&] { return ThreadsEnded(); }, 15000));
    }
    bool ThreadsEnded() const { return TThread::Running() == threadsBefore_; }

    // The spawn's process ended; the handle stays valid until the next Execute.
    static bool ProcessEnded(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

    // Once every wait has ended and a moment more has passed: how many runs
    // were reported completed and timed out, and that none failed.
    void ExpectReported(int completed, int timeOuts = 0)
    {
        ASSERT_TRUE(Eventually([&] { return ThreadsEnded(); }));
        PumpFor(300);
        EXPECT_EQ(reports_.completed, completed);
        EXPECT_EQ(reports_.timeOuts, timeOuts);
        EXPECT_TRUE(reports_.errors.empty());
    }

    // Starts the probe, which sleeps `sleepMs`, records how it was started
    // into `record` when one is given and exits with `exitCode`.
    HANDLE Run(DWORD sleepMs, DWORD exitCode, const std::string& record = std::string())
    {
        spawn_.FileName = SpawnProbe();
        spawn_.RunParameters = ProbeArgs(sleepMs, exitCode, record);
        return spawn_.Execute();
    }

    TempFolder folder_;
    long threadsBefore_ = 0;
    TStSpawnApplication spawn_{nullptr};
    Reports reports_{spawn_};
};

} // namespace

TEST_F(Spawn, CompletesOnceOnTheUiThreadAfterTheProcessEnds)
{
    const std::string record = folder_.Path() + "run.rec";
    spawn_.FileName = SpawnProbe();
    spawn_.RunParameters = ProbeArgs(400, 7, record) + " \"two words\"";
    spawn_.DefaultDir = folder_.Path();

    const ULONGLONG before = LocalNow();
    const HANDLE process = spawn_.Execute();
    const ULONGLONG after = LocalNow();
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(process, spawn_.ProcessHandle());
    EXPECT_NE(spawn_.EventHandle(), nullptr);
    ASSERT_NE(spawn_.WaitThread(), nullptr);
    EXPECT_EQ(spawn_.WaitThread()->TimeOutMilliseconds(), 0);
    // The run's event carries the name of the moment it was created.
    EXPECT_EQ(OpenRunEvents(before, after), 1);

    ASSERT_TRUE(Eventually([&] { return reports_.completed > 0; }));
    EXPECT_TRUE(ProcessEnded(process));
    EXPECT_TRUE(reports_.onUiThread);
    EXPECT_TRUE(reports_.senderWasLauncher);
    EXPECT_TRUE(reports_.eventOpenDuringHandler);
    EXPECT_EQ(reports_.exitCodes, std::vector<DWORD>{7});
    EXPECT_EQ(spawn_.EventHandle(), nullptr);
    EXPECT_EQ(spawn_.WaitThread(), nullptr);

    ExpectReported(1);
    EXPECT_EQ(OpenRunEvents(before, after), 0);

    // The program got the parameters and the working folder as given.
    EXPECT_EQ(ReadWholeFile(record), "show=1\r\nargs=" + std::string("--sleep|400|--exit|7|--record|") + record +
                                         "|two words\r\ndir=" + WithoutTrailingBackslash(folder_.Path()) + "\r\n");
}

TEST_F(Spawn, CompletionArrivesWhileAModalMessageBoxIsOpen)
{
    ASSERT_NE(Run(300, 0), nullptr);

    // The box stays until the completion has been seen (or long after it was due).
    DialogAnswerer answerer([&](HWND dialog) {
        Eventually([&] { return reports_.completed > 0; });
        PressDialogButton(dialog, IDOK);
    });
    ShowMessage("Waiting for the run to end");
    answerer.Join();
    EXPECT_TRUE(answerer.Answered());
    EXPECT_EQ(reports_.completed, 1);
    EXPECT_TRUE(reports_.dialogOpen);
    EXPECT_TRUE(reports_.onUiThread);
}

TEST_F(Spawn, TimeOutIsReportedAndTheLaterEndIsNot)
{
    spawn_.SetTimeOut(1);
    const HANDLE process = Run(2500, 0);
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(spawn_.WaitThread()->TimeOutMilliseconds(), 1000);

    ASSERT_TRUE(Eventually([&] { return reports_.timeOuts > 0; }));
    // The process is not stopped by the time-out.
    EXPECT_FALSE(ProcessEnded(process));
    EXPECT_EQ(spawn_.EventHandle(), nullptr);

    ASSERT_TRUE(Eventually([&] { return ProcessEnded(process); }));
    ExpectReported(0, 1);
}

TEST_F(Spawn, NotifyWhenDoneClearedDuringTheRunStillClosesTheEvent)
{
    const ULONGLONG before = LocalNow();
    const HANDLE process = Run(400, 0);
    const ULONGLONG after = LocalNow();
    ASSERT_NE(process, nullptr);
    ASSERT_EQ(OpenRunEvents(before, after), 1);
    spawn_.NotifyWhenDone = false;

    ASSERT_TRUE(Eventually([&] { return ThreadsEnded(); }));
    EXPECT_TRUE(ProcessEnded(process));
    EXPECT_EQ(reports_.completed, 0);
    EXPECT_EQ(spawn_.EventHandle(), nullptr);
    EXPECT_EQ(OpenRunEvents(before, after), 0);

    // With NotifyWhenDone cleared from the start, nothing is watched at all.
    ASSERT_NE(Run(0, 0), nullptr);
    EXPECT_EQ(spawn_.EventHandle(), nullptr);
    EXPECT_EQ(spawn_.WaitThread(), nullptr);
    EXPECT_TRUE(ThreadsEnded());
}

TEST_F(Spawn, MissingProgramIsReportedFromExecuteAndFromTheWait)
{
    spawn_.FileName = folder_.Path() + "no such program.exe";
    EXPECT_EQ(spawn_.Execute(), nullptr);
    EXPECT_EQ(spawn_.ProcessHandle(), nullptr);
    // Once from within Execute...
    ASSERT_EQ(reports_.errors.size(), 1u);
    EXPECT_EQ(reports_.errors[0], static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    // ...and once when the wait on no process fails.
    ASSERT_TRUE(Eventually([&] { return reports_.errors.size() == 2; }));
    EXPECT_EQ(reports_.errors[1], static_cast<DWORD>(ERROR_INVALID_HANDLE));
    ASSERT_TRUE(Eventually([&] { return ThreadsEnded(); }));
    EXPECT_EQ(reports_.completed, 0);
    EXPECT_EQ(reports_.timeOuts, 0);
    EXPECT_EQ(spawn_.EventHandle(), nullptr);
    // The shell was told to show no error of its own.
    EXPECT_EQ(FindDialog(), nullptr);

    // Without handlers nothing at all is reported, and the run still ends.
    TStSpawnApplication silent(nullptr);
    silent.FileName = spawn_.FileName;
    EXPECT_EQ(silent.Execute(), nullptr);
    EXPECT_NE(silent.EventHandle(), nullptr);
    ASSERT_TRUE(Eventually([&] { return ThreadsEnded(); }));
    EXPECT_EQ(silent.EventHandle(), nullptr);
    EXPECT_EQ(FindDialog(), nullptr);
}

TEST_F(Spawn, StartWithoutAProcessEndsWithTheWaitsError)
{
    // Wine starts a host program through the shell but hands back no process.
    spawn_.FileName = "Z:\\bin\\true";
    EXPECT_EQ(spawn_.Execute(), nullptr);
    EXPECT_EQ(spawn_.ProcessHandle(), nullptr);
    // The start itself succeeded: nothing is reported from within Execute.
    EXPECT_TRUE(reports_.errors.empty());
    ASSERT_TRUE(Eventually([&] { return ThreadsEnded(); }));
    EXPECT_EQ(reports_.errors, std::vector<DWORD>{ERROR_INVALID_HANDLE});
    EXPECT_EQ(reports_.completed, 0);
}

TEST_F(Spawn, ParametersWithoutFileNameFailBeforeAnythingStarts)
{
    spawn_.NotifyWhenDone = false;
    const HANDLE first = Run(0, 0);
    ASSERT_NE(first, nullptr);
    WaitForSingleObject(first, 5000);

    spawn_.NotifyWhenDone = true;
    spawn_.FileName.clear();
    const auto failure = ExpectFailure<EStSpawnError>([&] { spawn_.Execute(); },
                                                      "FileName cannot be empty when RunParameters is specified");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->ErrorCode, 250);
    // Nothing changed: the last start's process is still the one kept, and
    // no run is watched.
    EXPECT_EQ(spawn_.ProcessHandle(), first);
    EXPECT_EQ(spawn_.EventHandle(), nullptr);
    EXPECT_EQ(spawn_.WaitThread(), nullptr);
    EXPECT_TRUE(ThreadsEnded());
    EXPECT_TRUE(reports_.errors.empty());
}

TEST_F(Spawn, LargestTimeOutWorksAndOneMoreOverflowsAfterTheStart)
{
    spawn_.SetTimeOut(2147483);
    ASSERT_NE(Run(100, 3), nullptr);
    EXPECT_EQ(spawn_.WaitThread()->TimeOutMilliseconds(), 2147483000);
    ASSERT_TRUE(Eventually([&] { return reports_.completed == 1; }));
    EXPECT_EQ(reports_.exitCodes, std::vector<DWORD>{3});
    ASSERT_TRUE(Eventually([&] { return ThreadsEnded(); }));

    const std::string record = folder_.Path() + "overflow.rec";
    spawn_.SetTimeOut(2147484);
    const ULONGLONG before = LocalNow();
    EXPECT_THROW(Run(0, 0, record), EIntOverflow);
    const ULONGLONG after = LocalNow();
    // The program was started, but nothing watches it and its event is gone.
    ASSERT_NE(spawn_.ProcessHandle(), nullptr);
    EXPECT_EQ(WaitForSingleObject(spawn_.ProcessHandle(), 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(FileExistsAt(record));
    EXPECT_EQ(spawn_.EventHandle(), nullptr);
    EXPECT_EQ(spawn_.WaitThread(), nullptr);
    EXPECT_EQ(OpenRunEvents(before, after), 0);
    EXPECT_TRUE(ThreadsEnded());
    PumpFor(200);
    EXPECT_EQ(reports_.completed, 1);
}

TEST_F(Spawn, ShowStatesReachTheStartedProgram)
{
    const std::pair<TStShowState, int> cases[] = {
        {TStShowState::ssMinimized, 6},
        {TStShowState::ssMaximized, 3},
        {TStShowState::ssNormal, 1},
        {TStShowState::ssMinNotActive, 7},
    };
    spawn_.NotifyWhenDone = false;
    for (const auto& [state, show] : cases) {
        const std::string record = folder_.Path() + "show" + std::to_string(show) + ".rec";
        spawn_.ShowState = state;
        const HANDLE process = Run(0, 0, record);
        ASSERT_NE(process, nullptr);
        ASSERT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
        const std::string text = ReadWholeFile(record);
        EXPECT_EQ(text.substr(0, text.find('\r')), "show=" + std::to_string(show));
    }
}

namespace {

const char kDocumentClass[] = "Software\\Classes\\SpawnProbeTest.Document";
const char kExtensionKey[] = "Software\\Classes\\.spawnprobetest";

bool SetDefaultValue(HKEY root, const std::string& key, const std::string& value)
{
    HKEY handle = nullptr;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG set = RegSetValueExA(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
    return set == ERROR_SUCCESS;
}

// A document type whose verbs run the probe, each recording into
// "<verb>.rec" in `folder`. It is registered for the current user; where the
// classes root does not show per-user classes (Wine 8 merges only the
// machine's), it is registered for the machine as well.
class DocumentType {
public:
    explicit DocumentType(const std::string& folder)
    {
        Register(HKEY_CURRENT_USER, folder);
        HKEY visible = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, ".spawnprobetest", 0, KEY_READ, &visible) == ERROR_SUCCESS) {
            RegCloseKey(visible);
        } else {
            machineToo_ = true;
            Register(HKEY_LOCAL_MACHINE, folder);
        }
    }
    ~DocumentType()
    {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            if (root == HKEY_LOCAL_MACHINE && !machineToo_)
                continue;
            SHDeleteKeyA(root, kDocumentClass);
            SHDeleteKeyA(root, kExtensionKey);
        }
    }
    bool Registered() const { return registered_; }

private:
    void Register(HKEY root, const std::string& folder)
    {
        registered_ = SetDefaultValue(root, kExtensionKey, "SpawnProbeTest.Document");
        for (const char* verb : {"open", "print", "tidy up"}) {
            registered_ = registered_ &&
                          SetDefaultValue(root, std::string(kDocumentClass) + "\\shell\\" + verb + "\\command",
                                          Quoted(SpawnProbe()) + " --record " + Quoted(folder + verb + ".rec") +
                                              " \"%1\"");
        }
    }

    bool machineToo_ = false;
    bool registered_ = false;
};

} // namespace

TEST_F(Spawn, VerbsChooseTheDocumentsCommand)
{
    DocumentType type(folder_.Path());
    ASSERT_TRUE(type.Registered());
    const std::string document = folder_.Write("letter.spawnprobetest", "text");
    spawn_.NotifyWhenDone = false;
    spawn_.FileName = document;

    struct Case {
        TStSpawnCommand command;
        const char* text;
        const char* ran;
    };
    // An empty verb is the document's default, which is "open" here.
    const Case cases[] = {
        {TStSpawnCommand::scOpen, "ignored", "open"},
        {TStSpawnCommand::scPrint, "", "print"},
        {TStSpawnCommand::scOther, "tidy up", "tidy up"},
        {TStSpawnCommand::scOther, "", "open"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ran);
        const std::string record = folder_.Path() + c.ran + ".rec";
        DeleteFileA(record.c_str());
        spawn_.SpawnCommand = c.command;
        spawn_.SpawnCommandStr = c.text;
        const HANDLE process = spawn_.Execute();
        ASSERT_NE(process, nullptr);
        ASSERT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
        const std::string text = ReadWholeFile(record);
        EXPECT_NE(text.find("|" + document + "\r\n"), std::string::npos) << text;
    }

    // A verb the document does not have starts nothing.
    spawn_.SpawnCommandStr = "no such verb";
    EXPECT_EQ(spawn_.Execute(), nullptr);
    EXPECT_EQ(reports_.errors.size(), 1u);
}

TEST_F(Spawn, OverlappingRunsEachCompleteOnce)
{
    ASSERT_NE(Run(300, 11), nullptr);
    HANDLE firstEvent = spawn_.EventHandle();
    ASSERT_NE(Run(1500, 22), nullptr);
    const HANDLE secondEvent = spawn_.EventHandle();
    EXPECT_NE(secondEvent, firstEvent);

    ASSERT_TRUE(Eventually([&] { return reports_.completed == 1; }));
    // The first run's end leaves the second run's event and wait alone.
    EXPECT_EQ(reports_.exitCodes, std::vector<DWORD>{11});
    EXPECT_EQ(spawn_.EventHandle(), secondEvent);
    EXPECT_EQ(WaitForSingleObject(secondEvent, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    ASSERT_TRUE(Eventually([&] { return reports_.completed == 2; }));
    EXPECT_EQ(reports_.exitCodes, (std::vector<DWORD>{11, 22}));
    ExpectReported(2);
    EXPECT_EQ(spawn_.EventHandle(), nullptr);
}

TEST_F(Spawn, DestroyedLauncherIsNeverCalledBack)
{
    auto* spawn = new TStSpawnApplication(nullptr);
    Reports reports(*spawn);
    spawn->FileName = SpawnProbe();
    spawn->RunParameters = ProbeArgs(8000, 0);
    ASSERT_NE(spawn->Execute(), nullptr);
    HANDLE own = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), spawn->ProcessHandle(), GetCurrentProcess(), &own, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    UniqueHandle process(own);
    PumpFor(100);
    delete spawn;

    // The wait ends with the launcher, long before the process does.
    ASSERT_TRUE(Eventually([&] { return ThreadsEnded(); }, 4000));
    EXPECT_FALSE(ProcessEnded(process.Get()));
    TerminateProcess(process.Get(), 0);
    WaitForSingleObject(process.Get(), 5000);
    PumpFor(300);
    EXPECT_EQ(reports.completed, 0);
    EXPECT_TRUE(reports.errors.empty());
    EXPECT_EQ(reports.timeOuts, 0);
}

TEST_F(Spawn, FailingHandlerReachesTheApplicationHandler)
{
    int calls = 0;
    spawn_.OnCompleted = TStSpawnCompletedEvent([&](TObject*) {
        ++calls;
        throw Exception("The completion handler failed");
    });
    const ULONGLONG before = LocalNow();
    ASSERT_NE(Run(200, 0), nullptr);
    const ULONGLONG after = LocalNow();

    EXPECT_EQ(FailureBoxOf([] {}), "The completion handler failed.");
    ASSERT_TRUE(Eventually([&] { return ThreadsEnded(); }));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(spawn_.EventHandle(), nullptr);
    EXPECT_EQ(OpenRunEvents(before, after), 0);
}
