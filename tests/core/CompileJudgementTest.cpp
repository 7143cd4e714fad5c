// What a finished compile means, judged from its facts, and the files of a
// build in a real tool folder.
#include "core/CompileJudgement.h"
#include "core/ToolFiles.h"
#include "base/Errors.h"
#include "base/Handles.h"
#include "base/Paths.h"
#include "tests/support/Folders.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

const char kInstaller[] = "fs.wfx_setup.exe";
const char kRejection[] = "Invalid command: \"ThisIsNoCommand\"\n"
                          "Error in script \"temp.nsi\" on line 2 -- aborting creation process\n";

TBuildFiles BuildIn(const std::string& toolFolder)
{
    TBuildFiles build;
    build.ToolFolder = toolFolder;
    build.InstallerName = kInstaller;
    build.Script = "Name \"x\"\r\n  ThisIsNoCommand here\r\n";
    return build;
}

TCompileFacts Exited(DWORD exitCode, bool written = false)
{
    TCompileFacts facts;
    facts.ExitCode = exitCode;
    facts.SetupWritten = written;
    return facts;
}

TCompileFacts WithMessages(TCompileFacts facts, const std::string& messages)
{
    facts.MessagesRead = true;
    facts.Messages = messages;
    return facts;
}

TCompileFacts WaitFailed()
{
    TCompileFacts facts;
    facts.WaitError = ERROR_INVALID_HANDLE;
    return facts;
}

} // namespace

TEST(CompileJudgement, EveryWayACompileEnds)
{
    const struct {
        TCompileFacts facts;
        TCompileVerdict verdict;
        std::vector<std::string> says;
    } cases[] = {
        {Exited(0, true), TCompileVerdict::Deliver, {}},
        // It compiled, but its setup is not there.
        {Exited(0), TCompileVerdict::Failed, {"could not be created", "exit code 0", "to see why"}},
        {Exited(1), TCompileVerdict::ReadMessages, {}},
        {WithMessages(Exited(1), kRejection),
         TCompileVerdict::Failed,
         {"could not be created: the compiler ended with exit code 1.\r\n"
          "It stopped at line 2 of temp.nsi, which reads:\r\n    ThisIsNoCommand here\r\n",
          std::string(kCompilerLogFileName) + "\"."}},
        // A signing command that failed after the setup was written: no setup.
        {WithMessages(Exited(1, true), kRejection), TCompileVerdict::Failed, {"exit code 1"}},
        {WithMessages(Exited(1), " \r\n"), TCompileVerdict::Failed, {"exit code 1", "to see why"}},
        {CompilerNotStarted(ERROR_FILE_NOT_FOUND),
         TCompileVerdict::Failed,
         {"could not be started", SystemErrorText(ERROR_FILE_NOT_FOUND) + ".\r\n", "Stubs, Plugins and Include"}},
        {CompilerNotStarted(ERROR_SUCCESS), TCompileVerdict::Failed, {"no process to wait for."}},
        {WaitFailed(), TCompileVerdict::Failed, {"cannot be watched", kInstaller}},
        // A crash is the compiler's fault, told with its code.
        {Exited(139, true), TCompileVerdict::Failed, {"the compiler crashed (exit code 139)", "not of the script"}},
        {Exited(EXCEPTION_ACCESS_VIOLATION), TCompileVerdict::Failed, {"crashed (exit code 0xC0000005)"}},
    };
    const TBuildFiles build = BuildIn("C:\\tool\\");
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::PrintToString(row.says));
        const TCompileJudgement judgement = JudgeCompile(row.facts, build);
        EXPECT_EQ(judgement.Verdict, row.verdict);
        for (const std::string& part : row.says)
            EXPECT_NE(judgement.Text.find(part), std::string::npos) << judgement.Text;
        EXPECT_TRUE(judgement.Text.empty() || judgement.Text.back() == '.') << judgement.Text;
        const bool shown = row.facts.MessagesRead && row.facts.Messages == kRejection;
        EXPECT_EQ(judgement.Log, shown ? CompilerLogText(kRejection) : "");
    }
}

TEST(CompileJudgement, OnlyASetupTheBuildWroteIsItsOwn)
{
    TempFolder tool;
    const std::string older = tool.Write(kInstaller, "an earlier build's setup");
    TBuildFiles build = BuildIn(tool.Path());
    build.SetupBefore = FileStampOf(build.SetupPath());
    EXPECT_FALSE(build.SetupWritten());
    build.DeleteWrittenSetup();
    EXPECT_TRUE(FileExistsAt(older));
    WriteWholeFile(older, "this build's setup, longer");
    EXPECT_TRUE(build.SetupWritten());
    build.DeleteWrittenSetup();
    EXPECT_FALSE(FileExistsAt(older));
}

TEST(CompileJudgement, AStartFailureNamesTheInstalledNsisFolder)
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
        const std::string text = JudgeCompile(CompilerNotStarted(ERROR_FILE_NOT_FOUND), BuildIn(tool.Path())).Text;
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\NSIS");
        EXPECT_EQ(text.substr(text.rfind("\r\n") + 2), advice);
    }
}

TEST(CompileJudgement, CompilerLogTextIsReadableInAnEditControl)
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
