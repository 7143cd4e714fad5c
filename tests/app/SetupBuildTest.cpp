// A build's course without any window, in a real tool folder: what the build
// answers to each thing that can happen to it.
#include "app/SetupBuild.h"
#include "app/ToolFiles.h"
#include "tests/support/TestSupport.h"
#include "toolkit/Errors.h"
#include "toolkit/Handles.h"

#include <algorithm>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

namespace {

const char kInstaller[] = "fs.wfx_setup.exe";
const char kRejectedScript[] = "Name \"x\"\r\n  ThisIsNoCommand here\r\nSection\r\n";
const char kRejectionLog[] = "Processing script file: \"temp.nsi\"\n"
                             "Invalid command: \"ThisIsNoCommand\"\n"
                             "Error in script \"temp.nsi\" on line 2 -- aborting creation process\n";

struct Course {
    const char* name;
    // What happens after the start, with the build's last answer.
    std::function<TBuildReply(TSetupBuild&, const TempFolder&)> run;
    TBuildAction action;
    bool running;
    std::vector<std::string> says;
};

} // namespace

TEST(SetupBuild, AnswersEveryWayABuildGoes)
{
    const Course courses[] = {
        {"fresh installer",
         [](TSetupBuild& b, const TempFolder& tool) {
             b.Started(true);
             tool.Write(kInstaller, "MZ");
             return b.CompilerEnded(0);
         },
         TBuildAction::Deliver, false, {}},
        {"compiled, but no installer written",
         [](TSetupBuild& b, const TempFolder&) {
             b.Started(true);
             return b.CompilerEnded(0);
         },
         TBuildAction::Report, false, {"could not be created", "exit code 0", "to see why"}},
        {"rejected: the compiler runs once more for its log",
         [](TSetupBuild& b, const TempFolder&) {
             b.Started(true);
             return b.CompilerEnded(1);
         },
         TBuildAction::RunLog, true, {}},
        {"rejected, and the log tells why",
         [](TSetupBuild& b, const TempFolder& tool) {
             b.Started(true);
             b.CompilerEnded(1);
             tool.Write(kScriptFileName, kRejectedScript);
             tool.Write(kCompilerLogFileName, kRejectionLog);
             return b.LogEnded();
         },
         TBuildAction::ShowLog, false,
         {"could not be created: the compiler ended with exit code 1.\r\n"
          "It stopped at line 2 of temp.nsi, which reads:\r\n    ThisIsNoCommand here\r\n",
          std::string(kCompilerLogFileName) + "\"."}},
        {"rejected, and no log: an earlier run's log is not taken for it",
         [](TSetupBuild& b, const TempFolder& tool) {
             b.Started(true);
             tool.Write(kCompilerLogFileName, kRejectionLog);
             b.CompilerEnded(1);
             return b.LogEnded();
         },
         TBuildAction::Report, false, {"exit code 1", "to see why"}},
        {"the compiler could not be started",
         [](TSetupBuild& b, const TempFolder&) {
             b.SpawnError(ERROR_FILE_NOT_FOUND);
             return b.Started(false);
         },
         TBuildAction::Report, false,
         {"could not be started", SystemErrorText(ERROR_FILE_NOT_FOUND) + ".\r\n", "Install NSIS 3",
          "Stubs, Plugins and Include"}},
        {"started without a process",
         [](TSetupBuild& b, const TempFolder&) { return b.Started(false); }, TBuildAction::Report, false,
         {"no process to wait for."}},
        {"the failed start's wait fails too",
         [](TSetupBuild& b, const TempFolder&) {
             b.Started(false);
             return b.SpawnError(ERROR_INVALID_HANDLE);
         },
         TBuildAction::None, false, {}},
        {"its end cannot be watched",
         [](TSetupBuild& b, const TempFolder&) {
             b.Started(true);
             return b.SpawnError(ERROR_INVALID_HANDLE);
         },
         TBuildAction::Report, false, {"cannot be watched", kInstaller}},
        {"abandoned by a failing handler",
         [](TSetupBuild& b, const TempFolder&) {
             b.Started(true);
             b.Abandon();
             return b.CompilerEnded(0);
         },
         TBuildAction::None, false, {}},
    };
    for (const Course& course : courses) {
        SCOPED_TRACE(course.name);
        TempFolder tool;
        TSetupBuild build;
        build.Start(tool.Path(), kInstaller);
        EXPECT_TRUE(build.Running());
        const TBuildReply reply = course.run(build, tool);
        EXPECT_EQ(reply.Action, course.action);
        EXPECT_EQ(build.Running(), course.running);
        for (const std::string& part : course.says)
            EXPECT_NE(reply.Text.find(part), std::string::npos) << reply.Text;
        if (!reply.Text.empty()) {
            EXPECT_EQ(reply.Text.back(), '.') << reply.Text;
        }
        if (course.action == TBuildAction::ShowLog) {
            EXPECT_EQ(reply.Log, CompilerLogText(kRejectionLog));
        }
    }
}

TEST(SetupBuild, AnOlderInstallerOfTheSameNameIsNoFreshOne)
{
    TempFolder tool;
    tool.Write(kInstaller, "an earlier run's installer");
    TSetupBuild build;
    build.Start(tool.Path(), kInstaller);
    build.Started(true);
    EXPECT_EQ(build.CompilerEnded(0).Action, TBuildAction::Report);
    EXPECT_EQ(ReadWholeFile(tool.Path() + kInstaller), "an earlier run's installer");
}

TEST(SetupBuild, AStartFailureNamesTheInstalledNsisFolder)
{
    // NSIS records its folder where a 32-bit program looks on any Windows.
    const REGSAM view = KEY_WOW64_32KEY;
    HKEY existing = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\NSIS", 0, KEY_READ | view, &existing) == ERROR_SUCCESS) {
        RegCloseKey(existing);
        GTEST_SKIP() << "this system has NSIS installed";
    }
    TempFolder tool, nsis, empty;
    nsis.Write(kCompilerFileName, "NSIS's compiler");
    const struct {
        std::string recorded; // empty: no key
        std::string advice;
    } cases[] = {
        {"", CompilerCopyAdvice(tool.Path(), "")},
        {nsis.Path(), CompilerCopyAdvice(tool.Path(), nsis.Path().substr(0, nsis.Path().size() - 1))},
        {empty.Path(), CompilerCopyAdvice(tool.Path(), "")}, // no compiler there
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.recorded);
        if (!c.recorded.empty()) {
            HKEY created = nullptr;
            ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\NSIS", 0, nullptr, 0, KEY_WRITE | view, nullptr,
                                      &created, nullptr),
                      ERROR_SUCCESS);
            UniqueRegKey key(created);
            RegSetValueExA(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(c.recorded.c_str()),
                           static_cast<DWORD>(c.recorded.size() + 1));
        }
        TSetupBuild build;
        build.Start(tool.Path(), kInstaller);
        build.SpawnError(ERROR_FILE_NOT_FOUND);
        const std::string text = build.Started(false).Text;
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\NSIS"); // this program's view is the 32-bit one
        EXPECT_EQ(text.substr(text.size() - std::min(text.size(), c.advice.size())), c.advice);
    }
    EXPECT_EQ(CompilerCopyAdvice("C:\\Tool\\", "C:\\Program Files\\NSIS"),
              "Copy makensis.exe with its Stubs, Plugins and Include folders from \"C:\\Program Files\\NSIS\" into "
              "\"C:\\Tool\\\".");
}

TEST(SetupBuild, CompilerLogTextIsReadableInAnEditControl)
{
    const std::string longLog = std::string(100000, 'x') + "\nInvalid command\nError in script\n";
    const struct {
        std::string log;
        std::string shown;
    } cases[] = {
        {"a\nb\n", "a\r\nb\r\n"},
        {"a\r\nb", "a\r\nb"},
        {std::string("\xFF\xFE" "a\0\n\0", 6), "a\r\n"},     // UTF-16 with its mark
        {"\xEF\xBB\xBF" "abc\n", "abc\r\n"},                // UTF-8 with its mark
        {"caf\xE9 \xE0 la carte", "caf\xE9 \xE0 la carte"}, // no UTF-8: the system code page
        {longLog, "Invalid command\r\nError in script\r\n"}, // only the end of a long log
    };
    for (const auto& c : cases)
        EXPECT_EQ(CompilerLogText(c.log), c.shown) << c.log.substr(0, 20);
}
