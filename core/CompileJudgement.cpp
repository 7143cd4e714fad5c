#include "CompileJudgement.h"

#include "ToolFiles.h"

#include "base/Errors.h"
#include "base/TextCodes.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Enough for every message of a failed build; the start of a longer log,
// which only lists what was processed, is left to the log file.
constexpr std::size_t kShownLogSize = 64 * 1024;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// NSIS on Windows writes its log in the system code page or, by its output
// character set, as UTF-16 or UTF-8 with a mark; NSIS on other systems in
// the host's character set, normally UTF-8 without one. The script is UTF-8,
// with a mark when it holds more than ASCII.
std::string TextOfFile(const std::string& bytes) { return AnsiFromUtf8(Utf8OfTextFile(bytes)); }

std::string WithCrLf(const std::string& text)
{
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            result += '\r';
        result += text[i];
    }
    return result;
}

// The number of the line NSIS names in its closing "Error in script "..." on
// line N -- aborting creation process"; 0 when there is none. An error in an
// included file ends with the line of the main script that includes it.
int FailingLineNumber(const std::string& log)
{
    const std::string marker = " on line ";
    const std::size_t at = log.rfind(marker);
    if (at == std::string::npos)
        return 0;
    return std::atoi(log.c_str() + at + marker.size());
}

// Line `number` (counted from 1) of a text, without its line break and
// leading blanks; empty when the text is shorter.
std::string LineOf(const std::string& text, int number)
{
    std::size_t start = 0;
    for (int line = 1; line < number; ++line) {
        start = text.find('\n', start);
        if (start == std::string::npos)
            return std::string();
        ++start;
    }
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos)
        end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    line.erase(0, line.find_first_not_of(" \t"));
    return line;
}

} // namespace

namespace {

std::string SetupText(const TBuildFiles& build) { return "The setup " + Quoted(build.InstallerName) + " could not be created"; }

std::string RunItText(const TBuildFiles& build, const char* what)
{
    return "Run " + Quoted(std::string(kCompilerFileName) + " " + kScriptFileName) + " in " + Quoted(build.ToolFolder) +
           " to see " + what + ".";
}

std::string ExitCodeText(const TCompileFacts& facts, const TBuildFiles& build)
{
    return SetupText(build) + ": the compiler ended with exit code " + std::to_string(facts.ExitCode) + ".\r\n" +
           RunItText(build, "why");
}

std::string CrashText(const TCompileFacts& facts, const TBuildFiles& build)
{
    char code[16];
    // An exception code reads as such in hexadecimal.
    std::snprintf(code, sizeof(code), facts.ExitCode >= 0x80000000u ? "0x%08lX" : "%lu",
                  static_cast<unsigned long>(facts.ExitCode));
    return SetupText(build) + ": the compiler crashed (exit code " + code +
           ").\r\nThis is a fault of the compiler, not of the script. " + RunItText(build, "it happen");
}

std::string StartFailureText(const TCompileFacts& facts, const TBuildFiles& build)
{
    const std::string reason = facts.StartError != ERROR_SUCCESS ? SystemErrorText(facts.StartError)
                                                                 : std::string("It gave no process to wait for");
    return "The setup compiler could not be started: " + Quoted(build.CompilerPath()) + ".\r\n" + reason + ".\r\n" +
           CompilerCopyAdvice(build.ToolFolder, facts.InstalledNsisFolder);
}

std::string FailingLineText(const std::string& log, const TBuildFiles& build)
{
    const int number = FailingLineNumber(log);
    const std::string line = number > 0 ? LineOf(TextOfFile(build.Script), number) : std::string();
    if (line.empty())
        return std::string();
    return "It stopped at line " + std::to_string(number) + " of " + kScriptFileName + ", which reads:\r\n    " + line +
           "\r\n";
}

TCompileJudgement Failure(std::string text, std::string log = std::string())
{
    return {TCompileVerdict::Failed, std::move(text), std::move(log)};
}

} // namespace

TCompileJudgement JudgeCompile(const TCompileFacts& facts, const TBuildFiles& build)
{
    if (facts.StartFailed)
        return Failure(StartFailureText(facts, build));
    if (facts.WaitError != ERROR_SUCCESS)
        return Failure("The end of the setup compiler cannot be watched: " + SystemErrorText(facts.WaitError) +
                       ".\r\n" + Quoted(build.InstallerName) + " is written into " + Quoted(build.ToolFolder) +
                       " when it has finished.");
    // Only a setup this build wrote is offered; an older one of the same
    // name stays untouched.
    if (facts.ExitCode == 0)
        return facts.SetupWritten ? TCompileJudgement{TCompileVerdict::Deliver, {}, {}}
                                  : Failure(ExitCodeText(facts, build)); // it compiled, but its setup is not there
    // Not an error in the script (that is 1): the compiler crashed or could
    // not run, and what it wrote of a setup is no setup.
    if (facts.ExitCode > 1)
        return Failure(CrashText(facts, build));
    if (!facts.MessagesRead)
        return {TCompileVerdict::ReadMessages, {}, {}};
    const std::string log = CompilerLogText(facts.Messages);
    if (log.find_first_not_of(" \r\n") == std::string::npos)
        return Failure(ExitCodeText(facts, build));
    return Failure(SetupText(build) + ": the compiler ended with exit code " + std::to_string(facts.ExitCode) +
                       ".\r\n" + FailingLineText(log, build) + "Its messages follow; all of them are kept in " +
                       Quoted(build.LogPath()) + ".",
                   log);
}

std::string CompilerCopyAdvice(const std::string& toolFolder, const std::string& nsisFolder)
{
    const std::string what = std::string(kCompilerFileName) + " with its Stubs, Plugins and Include folders";
    if (nsisFolder.empty())
        return "Install NSIS 3, then copy " + what + " from the NSIS folder into " + Quoted(toolFolder) + ".";
    return "Copy " + what + " from " + Quoted(nsisFolder) + " into " + Quoted(toolFolder) + ".";
}

std::string CompilerLogText(const std::string& logBytes)
{
    std::string text = WithCrLf(TextOfFile(logBytes));
    if (text.size() > kShownLogSize) {
        std::size_t start = text.find('\n', text.size() - kShownLogSize);
        start = start == std::string::npos ? text.size() - kShownLogSize : start + 1;
        text.erase(0, start);
    }
    return text;
}
