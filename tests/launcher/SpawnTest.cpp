// The launcher with real processes: every run starts the spawnprobe program
// (or a document whose verbs run it) through the shell under Wine.
#include "base/Handles.h"
#include "launcher/StSpawn.h"
#include "tests/support/TestSupport.h"
#include "toolkit/Application.h"
#include "toolkit/Dialogs.h"

#include <shlwapi.h>

#include <atomic>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::string ProbePath()
{
    return TestProgramFolder() + "spawnprobe.exe";
}

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
            dialogOpen = FindProcessDialog() != nullptr;
        });
        spawn.OnSpawnError = TStSpawnErrorEvent([this](TObject*, std::uint16_t error) { errors.push_back(error); });
        spawn.OnTimeOut = TStSpawnTimeOutEvent([this](TObject*) { ++timeOuts; });
    }
    std::atomic<int> completed{0};
    int timeOuts = 0;
    std::vector<DWORD> errors;
    std::vector<DWORD> exitCodes;
    bool senderWasLauncher = false;
    bool onUiThread = false;
    bool eventOpenDuringHandler = false;
    bool dialogOpen = false;
};

class Spawn : public testing::Test {
protected:
    void SetUp() override { threadsBefore_ = TThread::Running(); }
    void TearDown() override
    {
        // No wait thread may outlive its test.
        EXPECT_TRUE(PumpUntil([&] { return ThreadsEnded(); }, 15000));
    }
    bool ThreadsEnded() const { return TThread::Running() == threadsBefore_; }

    // The spawn's process ended; the handle stays valid until the next Execute.
    static bool ProcessEnded(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

    TempFolder folder_;
    long threadsBefore_ = 0;
};

} // namespace

TEST_F(Spawn, CompletesOnceOnTheUiThreadAfterTheProcessEnds)
{
    TStSpawnApplication spawn(nullptr);
    Reports reports(spawn);
    const std::string record = folder_.Path() + "run.rec";
    spawn.FileName = ProbePath();
    spawn.RunParameters = ProbeArgs(400, 7, record) + " \"two words\"";
    spawn.DefaultDir = folder_.Path();

    const ULONGLONG before = LocalNow();
    const HANDLE process = spawn.Execute();
    const ULONGLONG after = LocalNow();
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(process, spawn.ProcessHandle());
    EXPECT_NE(spawn.EventHandle(), nullptr);
    ASSERT_NE(spawn.WaitThread(), nullptr);
    EXPECT_EQ(spawn.WaitThread()->TimeOutMilliseconds(), 0);
    // The run's event carries the name of the moment it was created.
    EXPECT_EQ(OpenRunEvents(before, after), 1);

    ASSERT_TRUE(PumpUntil([&] { return reports.completed > 0; }));
    EXPECT_TRUE(ProcessEnded(process));
    EXPECT_TRUE(reports.onUiThread);
    EXPECT_TRUE(reports.senderWasLauncher);
    EXPECT_TRUE(reports.eventOpenDuringHandler);
    EXPECT_EQ(reports.exitCodes, std::vector<DWORD>{7});
    EXPECT_EQ(spawn.EventHandle(), nullptr);
    EXPECT_EQ(spawn.WaitThread(), nullptr);

    ASSERT_TRUE(PumpUntil([&] { return ThreadsEnded(); }));
    PumpFor(300);
    EXPECT_EQ(reports.completed, 1);
    EXPECT_TRUE(reports.errors.empty());
    EXPECT_EQ(reports.timeOuts, 0);
    EXPECT_EQ(OpenRunEvents(before, after), 0);

    // The program got the parameters and the working folder as given.
    std::string folder = folder_.Path();
    folder.pop_back();
    EXPECT_EQ(ReadWholeFile(record), "show=1\r\nargs=" + std::string("--sleep|400|--exit|7|--record|") + record +
                                         "|two words\r\ndir=" + folder + "\r\n");
}

TEST_F(Spawn, CompletionArrivesWhileAModalMessageBoxIsOpen)
{
    TStSpawnApplication spawn(nullptr);
    Reports reports(spawn);
    spawn.FileName = ProbePath();
    spawn.RunParameters = ProbeArgs(300, 0);
    ASSERT_NE(spawn.Execute(), nullptr);

    // The box stays until the completion has been seen (or long after it was due).
    DialogAnswerer answerer([&](HWND dialog) {
        for (int i = 0; i < 500 && reports.completed == 0; ++i)
            Sleep(20);
        PressDialogButton(dialog, IDOK);
    });
    ShowMessage("Waiting for the run to end");
    answerer.Join();
    EXPECT_TRUE(answerer.Answered());
    EXPECT_EQ(reports.completed, 1);
    EXPECT_TRUE(reports.dialogOpen);
    EXPECT_TRUE(reports.onUiThread);
}

TEST_F(Spawn, TimeOutIsReportedAndTheLaterEndIsNot)
{
    TStSpawnApplication spawn(nullptr);
    Reports reports(spawn);
    spawn.FileName = ProbePath();
    spawn.RunParameters = ProbeArgs(2500, 0);
    spawn.SetTimeOut(1);
    const HANDLE process = spawn.Execute();
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(spawn.WaitThread()->TimeOutMilliseconds(), 1000);

    ASSERT_TRUE(PumpUntil([&] { return reports.timeOuts > 0; }));
    // The process is not stopped by the time-out.
    EXPECT_FALSE(ProcessEnded(process));
    EXPECT_EQ(spawn.EventHandle(), nullptr);

    ASSERT_TRUE(PumpUntil([&] { return ProcessEnded(process); }));
    PumpFor(300);
    EXPECT_EQ(reports.timeOuts, 1);
    EXPECT_EQ(reports.completed, 0);
    EXPECT_TRUE(reports.errors.empty());
}

TEST_F(Spawn, NotifyWhenDoneClearedDuringTheRunStillClosesTheEvent)
{
    TStSpawnApplication spawn(nullptr);
    Reports reports(spawn);
    spawn.FileName = ProbePath();
    spawn.RunParameters = ProbeArgs(400, 0);
    const ULONGLONG before = LocalNow();
    const HANDLE process = spawn.Execute();
    const ULONGLONG after = LocalNow();
    ASSERT_NE(process, nullptr);
    ASSERT_EQ(OpenRunEvents(before, after), 1);
    spawn.NotifyWhenDone = false;

    ASSERT_TRUE(PumpUntil([&] { return ThreadsEnded(); }));
    EXPECT_TRUE(ProcessEnded(process));
    EXPECT_EQ(reports.completed, 0);
    EXPECT_EQ(spawn.EventHandle(), nullptr);
    EXPECT_EQ(OpenRunEvents(before, after), 0);

    // With NotifyWhenDone cleared from the start, nothing is watched at all.
    spawn.RunParameters = ProbeArgs(0, 0);
    ASSERT_NE(spawn.Execute(), nullptr);
    EXPECT_EQ(spawn.EventHandle(), nullptr);
    EXPECT_EQ(spawn.WaitThread(), nullptr);
    EXPECT_TRUE(ThreadsEnded());
}

TEST_F(Spawn, MissingProgramIsReportedFromExecuteAndFromTheWait)
{
    {
        TStSpawnApplication spawn(nullptr);
        Reports reports(spawn);
        spawn.FileName = folder_.Path() + "no such program.exe";
        EXPECT_EQ(spawn.Execute(), nullptr);
        EXPECT_EQ(spawn.ProcessHandle(), nullptr);
        // Once from within Execute...
        ASSERT_EQ(reports.errors.size(), 1u);
        EXPECT_EQ(reports.errors[0], static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        // ...and once when the wait on no process fails.
        ASSERT_TRUE(PumpUntil([&] { return reports.errors.size() == 2; }));
        EXPECT_EQ(reports.errors[1], static_cast<DWORD>(ERROR_INVALID_HANDLE));
        ASSERT_TRUE(PumpUntil([&] { return ThreadsEnded(); }));
        EXPECT_EQ(reports.completed, 0);
        EXPECT_EQ(reports.timeOuts, 0);
        EXPECT_EQ(spawn.EventHandle(), nullptr);
        // The shell was told to show no error of its own.
        EXPECT_EQ(FindProcessDialog(), nullptr);
    }
    {
        // Without handlers nothing at all is reported, and the run still ends.
        TStSpawnApplication spawn(nullptr);
        spawn.FileName = folder_.Path() + "no such program.exe";
        EXPECT_EQ(spawn.Execute(), nullptr);
        EXPECT_NE(spawn.EventHandle(), nullptr);
        ASSERT_TRUE(PumpUntil([&] { return ThreadsEnded(); }));
        EXPECT_EQ(spawn.EventHandle(), nullptr);
        EXPECT_EQ(FindProcessDialog(), nullptr);
    }
}

TEST_F(Spawn, StartWithoutAProcessEndsWithTheWaitsError)
{
    // Wine starts a host program through the shell but hands back no process.
    TStSpawnApplication spawn(nullptr);
    Reports reports(spawn);
    spawn.FileName = "Z:\\bin\\true";
    EXPECT_EQ(spawn.Execute(), nullptr);
    EXPECT_EQ(spawn.ProcessHandle(), nullptr);
    // The start itself succeeded: nothing is reported from within Execute.
    EXPECT_TRUE(reports.errors.empty());
    ASSERT_TRUE(PumpUntil([&] { return ThreadsEnded(); }));
    EXPECT_EQ(reports.errors, std::vector<DWORD>{ERROR_INVALID_HANDLE});
    EXPECT_EQ(reports.completed, 0);
}

TEST_F(Spawn, ParametersWithoutFileNameFailBeforeAnythingStarts)
{
    TStSpawnApplication spawn(nullptr);
    Reports reports(spawn);
    spawn.NotifyWhenDone = false;
    spawn.FileName = ProbePath();
    spawn.RunParameters = ProbeArgs(0, 0);
    const HANDLE first = spawn.Execute();
    ASSERT_NE(first, nullptr);
    WaitForSingleObject(first, 5000);

    spawn.NotifyWhenDone = true;
    spawn.FileName.clear();
    try {
        spawn.Execute();
        FAIL() << "no error was raised";
    } catch (const EStSpawnError& e) {
        EXPECT_EQ(e.ErrorCode, 250);
        EXPECT_EQ(e.Message(), "FileName cannot be empty when RunParameters is specified");
    }
    // Nothing changed: the last start's process is still the one kept, and
    // no run is watched.
    EXPECT_EQ(spawn.ProcessHandle(), first);
    EXPECT_EQ(spawn.EventHandle(), nullptr);
    EXPECT_EQ(spawn.WaitThread(), nullptr);
    EXPECT_TRUE(ThreadsEnded());
    EXPECT_TRUE(reports.errors.empty());
}

TEST_F(Spawn, LargestTimeOutWorksAndOneMoreOverflowsAfterTheStart)
{
    TStSpawnApplication spawn(nullptr);
    Reports reports(spawn);
    spawn.FileName = ProbePath();
    spawn.RunParameters = ProbeArgs(100, 3);
    spawn.SetTimeOut(2147483);
    ASSERT_NE(spawn.Execute(), nullptr);
    EXPECT_EQ(spawn.WaitThread()->TimeOutMilliseconds(), 2147483000);
    ASSERT_TRUE(PumpUntil([&] { return reports.completed == 1; }));
    EXPECT_EQ(reports.exitCodes, std::vector<DWORD>{3});
    ASSERT_TRUE(PumpUntil([&] { return ThreadsEnded(); }));

    const std::string record = folder_.Path() + "overflow.rec";
    spawn.RunParameters = ProbeArgs(0, 0, record);
    spawn.SetTimeOut(2147484);
    const ULONGLONG before = LocalNow();
    EXPECT_THROW(spawn.Execute(), EIntOverflow);
    const ULONGLONG after = LocalNow();
    // The program was started, but nothing watches it and its event is gone.
    ASSERT_NE(spawn.ProcessHandle(), nullptr);
    EXPECT_EQ(WaitForSingleObject(spawn.ProcessHandle(), 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(FileExists(record));
    EXPECT_EQ(spawn.EventHandle(), nullptr);
    EXPECT_EQ(spawn.WaitThread(), nullptr);
    EXPECT_EQ(OpenRunEvents(before, after), 0);
    EXPECT_TRUE(ThreadsEnded());
    PumpFor(200);
    EXPECT_EQ(reports.completed, 1);
}

TEST_F(Spawn, ShowStatesReachTheStartedProgram)
{
    const std::pair<TStShowState, int> cases[] = {
        {TStShowState::ssMinimized, 6},
        {TStShowState::ssMaximized, 3},
        {TStShowState::ssNormal, 1},
        {TStShowState::ssMinNotActive, 7},
    };
    TStSpawnApplication spawn(nullptr);
    spawn.NotifyWhenDone = false;
    spawn.FileName = ProbePath();
    for (const auto& [state, show] : cases) {
        const std::string record = folder_.Path() + "show" + std::to_string(show) + ".rec";
        spawn.ShowState = state;
        spawn.RunParameters = ProbeArgs(0, 0, record);
        const HANDLE process = spawn.Execute();
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
                                          Quoted(ProbePath()) + " --record " + Quoted(folder + verb + ".rec") +
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
    TStSpawnApplication spawn(nullptr);
    spawn.NotifyWhenDone = false;
    spawn.FileName = document;

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
        spawn.SpawnCommand = c.command;
        spawn.SpawnCommandStr = c.text;
        const HANDLE process = spawn.Execute();
        ASSERT_NE(process, nullptr);
        ASSERT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
        const std::string text = ReadWholeFile(record);
        EXPECT_NE(text.find("|" + document + "\r\n"), std::string::npos) << text;
    }

    // A verb the document does not have starts nothing.
    std::vector<DWORD> errors;
    spawn.OnSpawnError = TStSpawnErrorEvent([&](TObject*, std::uint16_t error) { errors.push_back(error); });
    spawn.SpawnCommandStr = "no such verb";
    EXPECT_EQ(spawn.Execute(), nullptr);
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(Spawn, OverlappingRunsEachCompleteOnce)
{
    TStSpawnApplication spawn(nullptr);
    Reports reports(spawn);
    spawn.FileName = ProbePath();
    spawn.RunParameters = ProbeArgs(300, 11);
    ASSERT_NE(spawn.Execute(), nullptr);
    HANDLE firstEvent = spawn.EventHandle();
    spawn.RunParameters = ProbeArgs(1500, 22);
    ASSERT_NE(spawn.Execute(), nullptr);
    const HANDLE secondEvent = spawn.EventHandle();
    EXPECT_NE(secondEvent, firstEvent);

    ASSERT_TRUE(PumpUntil([&] { return reports.completed == 1; }));
    // The first run's end leaves the second run's event and wait alone.
    EXPECT_EQ(reports.exitCodes, std::vector<DWORD>{11});
    EXPECT_EQ(spawn.EventHandle(), secondEvent);
    EXPECT_EQ(WaitForSingleObject(secondEvent, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    ASSERT_TRUE(PumpUntil([&] { return reports.completed == 2; }));
    EXPECT_EQ(reports.exitCodes, (std::vector<DWORD>{11, 22}));
    ASSERT_TRUE(PumpUntil([&] { return ThreadsEnded(); }));
    PumpFor(300);
    EXPECT_EQ(reports.completed, 2);
    EXPECT_TRUE(reports.errors.empty());
    EXPECT_EQ(spawn.EventHandle(), nullptr);
}

TEST_F(Spawn, DestroyedLauncherIsNeverCalledBack)
{
    auto* spawn = new TStSpawnApplication(nullptr);
    Reports reports(*spawn);
    spawn->FileName = ProbePath();
    spawn->RunParameters = ProbeArgs(8000, 0);
    ASSERT_NE(spawn->Execute(), nullptr);
    HANDLE own = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), spawn->ProcessHandle(), GetCurrentProcess(), &own, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    UniqueHandle process(own);
    PumpFor(100);
    delete spawn;

    // The wait ends with the launcher, long before the process does.
    ASSERT_TRUE(PumpUntil([&] { return ThreadsEnded(); }, 4000));
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
    TStSpawnApplication spawn(nullptr);
    int calls = 0;
    spawn.OnCompleted = TStSpawnCompletedEvent([&](TObject*) {
        ++calls;
        throw Exception("The completion handler failed");
    });
    spawn.FileName = ProbePath();
    spawn.RunParameters = ProbeArgs(200, 0);
    const ULONGLONG before = LocalNow();
    ASSERT_NE(spawn.Execute(), nullptr);
    const ULONGLONG after = LocalNow();

    DialogAnswerer answerer([](HWND dialog) { PressDialogButton(dialog, IDOK); });
    ASSERT_TRUE(PumpUntil([&] { return ThreadsEnded(); }, 20000));
    answerer.Join();
    EXPECT_TRUE(answerer.Answered());
    EXPECT_EQ(answerer.Text(), "The completion handler failed.");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(spawn.EventHandle(), nullptr);
    EXPECT_EQ(OpenRunEvents(before, after), 0);
}
