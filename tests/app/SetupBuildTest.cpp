// A build's course without any window, in a real tool folder: what the build
// answers to each thing that can happen to it.
#include "app/SetupBuild.h"
#include "app/ToolFiles.h"
#include "base/Errors.h"
#include "base/Handles.h"
#include "base/Paths.h"
#include "tests/support/Folders.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

const char kInstaller[] = "fs.wfx_setup.exe";
const char kRejectionLog[] = "Invalid command: \"ThisIsNoCommand\"\n"
                             "Error in script \"temp.nsi\" on line 2 -- aborting creation process\n";

enum Event {
    Process, NoProcess, StartError, WaitError, Installer, Exit0, Exit1, Crash, Fault, OldLog, Log, LogRunEnded, Abandon, Stop
};

TBuildReply Happen(Event event, TSetupBuild& build, const TempFolder& tool)
{
    switch (event) {
    case Process:
    case NoProcess:
        return build.Started(event == Process);
    case StartError:
        return build.SpawnError(ERROR_FILE_NOT_FOUND);
    case WaitError:
        return build.SpawnError(ERROR_INVALID_HANDLE);
    case Installer:
        tool.Write(kInstaller, "MZ");
        return {};
    case Exit0:
    case Exit1:
        return build.CompilerEnded(event == Exit0 ? 0 : 1);
    case Crash: // a signal's exit code, as a shell gives it
        return build.CompilerEnded(139);
    case Fault:
        return build.CompilerEnded(EXCEPTION_ACCESS_VIOLATION);
    case OldLog:
    case Log:
        tool.Write(kCompilerLogFileName, kRejectionLog);
        tool.Write(kScriptFileName, "Name \"x\"\r\n  ThisIsNoCommand here\r\n");
        return {};
    case LogRunEnded:
        return build.LogEnded();
    case Abandon:
        build.Abandon();
        return {};
    case Stop:
        build.Stopped();
        return {};
    }
    return {};
}

} // namespace

TEST(SetupBuild, AnswersEveryWayABuildGoes)
{
    const struct {
        std::vector<Event> events; // after the start
        TBuildAction action;       // the last answer
        bool running;
        std::vector<std::string> says;
    } courses[] = {
        {{Process, Installer, Exit0}, TBuildAction::Deliver, false, {}},
        {{Process, Exit0}, TBuildAction::Report, false, {"could not be created", "exit code 0", "to see why"}},
        {{Process, Exit1}, TBuildAction::RunLog, true, {}},
        {{Process, Exit1, Log, LogRunEnded},
         TBuildAction::ShowLog,
         false,
         {"could not be created: the compiler ended with exit code 1.\r\n"
          "It stopped at line 2 of temp.nsi, which reads:\r\n    ThisIsNoCommand here\r\n",
          std::string(kCompilerLogFileName) + "\"."}},
        // An earlier run's log is not taken for this one's.
        {{Process, OldLog, Exit1, LogRunEnded}, TBuildAction::Report, false, {"exit code 1", "to see why"}},
        {{StartError, NoProcess},
         TBuildAction::Report,
         false,
         {"could not be started", SystemErrorText(ERROR_FILE_NOT_FOUND) + ".\r\n", "Stubs, Plugins and Include"}},
        {{NoProcess}, TBuildAction::Report, false, {"no process to wait for."}},
        {{NoProcess, WaitError}, TBuildAction::None, false, {}}, // the failed start's wait: told already
        {{Process, WaitError}, TBuildAction::Report, false, {"cannot be watched", kInstaller}},
        {{Process, WaitError, Exit0}, TBuildAction::None, false, {}},
        {{Process, Abandon, Exit0}, TBuildAction::None, false, {}}, // a handler failed
        // A crash is the compiler's fault, told with its code; what it wrote is no installer.
        {{Process, Installer, Crash}, TBuildAction::Report, false, {"the compiler crashed (exit code 139)", "not of the script"}},
        {{Process, Fault}, TBuildAction::Report, false, {"crashed (exit code 0xC0000005)"}},
        {{Process, Installer, Stop, Exit0}, TBuildAction::None, false, {}},
    };
    for (const auto& course : courses) {
        SCOPED_TRACE(testing::PrintToString(course.events));
        TempFolder tool;
        TSetupBuild build;
        build.Start(tool.Path(), kInstaller, std::string());
        EXPECT_TRUE(build.Running());
        TBuildReply reply;
        for (const Event event : course.events)
            reply = Happen(event, build, tool);
        EXPECT_EQ(reply.Action, course.action);
        EXPECT_EQ(build.Running(), course.running);
        for (const std::string& part : course.says)
            EXPECT_NE(reply.Text.find(part), std::string::npos) << reply.Text;
        EXPECT_TRUE(reply.Text.empty() || reply.Text.back() == '.') << reply.Text;
        EXPECT_EQ(reply.Log, course.action == TBuildAction::ShowLog ? CompilerLogText(kRejectionLog) : "");
        // Only a delivered installer stays; one of a crashed or stopped build goes.
        EXPECT_EQ(FileExistsAt(tool.Path() + kInstaller), course.action == TBuildAction::Deliver);
    }
}

TEST(SetupBuild, AStartFailureNamesTheInstalledNsisFolder)
{
    // Where NSIS records its folder; this 32-bit program's own view.
    const REGSAM view = KEY_WOW64_32KEY;
    HKEY existing = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\NSIS", 0, KEY_READ | view, &existing) == ERROR_SUCCESS) {
        RegCloseKey(existing);
        GTEST_SKIP() << "this system has NSIS installed";
    }
    TempFolder tool, nsis, empty;
    nsis.Write(kCompilerFileName, "NSIS's compiler");
    const std::string nsisFolder = nsis.Path().substr(0, nsis.Path().size() - 1);
    // Nothing recorded, a folder with the compiler, a folder without it.
    const std::pair<std::string, std::string> cases[] = {
        {"", "Install NSIS 3, then copy makensis.exe with its Stubs, Plugins and Include folders from the NSIS "
             "folder into \"" + tool.Path() + "\"."},
        {nsis.Path(), "Copy makensis.exe with its Stubs, Plugins and Include folders from \"" + nsisFolder +
                          "\" into \"" + tool.Path() + "\"."},
        {empty.Path(), CompilerCopyAdvice(tool.Path(), "")},
    };
    for (const auto& [recorded, advice] : cases) {
        if (!recorded.empty()) {
            HKEY created = nullptr;
            ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\NSIS", 0, nullptr, 0, KEY_WRITE | view, nullptr,
                                      &created, nullptr),
                      ERROR_SUCCESS);
            UniqueRegKey key(created);
            RegSetValueExA(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(recorded.c_str()),
                           static_cast<DWORD>(recorded.size() + 1));
        }
        TSetupBuild build;
        build.Start(tool.Path(), kInstaller, std::string());
        const std::string text = build.Started(false).Text;
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\NSIS");
        EXPECT_EQ(text.substr(text.rfind("\r\n") + 2), advice);
    }
}

TEST(SetupBuild, CompilerLogTextIsReadableInAnEditControl)
{
    const std::pair<std::string, std::string> cases[] = {
        {"a\nb\n", "a\r\nb\r\n"},
        {"a\r\nb", "a\r\nb"},
        {std::string("\xFF\xFE" "a\0\n\0", 6), "a\r\n"},     // UTF-16 with its mark
        {"\xEF\xBB\xBF" "abc\n", "abc\r\n"},                // UTF-8 with its mark
        {"caf\xE9 \xE0 la carte", "caf\xE9 \xE0 la carte"}, // no UTF-8: the system code page
        {std::string(100000, 'x') + "\nInvalid command\nError in script\n", "Invalid command\r\nError in script\r\n"},
    };
    for (const auto& [log, shown] : cases)
        EXPECT_EQ(CompilerLogText(log), shown) << log.substr(0, 20);
}
