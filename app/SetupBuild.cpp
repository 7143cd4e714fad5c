#include "SetupBuild.h"

#include "NsisInstallation.h"
#include "ToolFiles.h"
#include "UnitFiles.h"

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

std::string TSetupBuild::RefusalText()
{
    return "A setup is already being created. Please wait until the compiler has finished.";
}

std::string TSetupBuild::CompilerPath() const { return toolFolder_ + kCompilerFileName; }
std::string TSetupBuild::ScriptPath() const { return toolFolder_ + kScriptFileName; }
std::string TSetupBuild::LogPath() const { return toolFolder_ + kCompilerLogFileName; }

void TSetupBuild::Start(const std::string& toolFolder, const std::string& installerName,
                        const std::string& pluginFolder)
{
    toolFolder_ = toolFolder;
    installerName_ = installerName;
    pluginFolder_ = pluginFolder;
    before_ = FileStampOf(InstallerPath());
    startError_ = ERROR_SUCCESS;
    exitCode_ = 0;
    step_ = TStep::Starting;
}

TBuildReply TSetupBuild::SpawnError(DWORD code)
{
    switch (step_) {
    case TStep::Starting:
        // From within the start: Started reports it.
        startError_ = code;
        return {};
    case TStep::Compiling:
        // The compiler runs, but its end cannot be watched.
        step_ = TStep::Idle;
        return {TBuildAction::Report,
                "The end of the setup compiler cannot be watched: " + SystemErrorText(code) + ".\r\n" +
                    Quoted(installerName_) + " is written into " + Quoted(toolFolder_) + " when it has finished.",
                {}};
    default:
        // After a failed start the launcher's wait fails as well: reported already.
        return {};
    }
}

TBuildReply TSetupBuild::Started(bool withProcess)
{
    if (step_ != TStep::Starting)
        return {};
    if (withProcess) {
        step_ = TStep::Compiling;
        return {};
    }
    step_ = TStep::Idle;
    return {TBuildAction::Report, StartFailureText(), {}};
}

TBuildReply TSetupBuild::CompilerEnded(DWORD exitCode)
{
    if (step_ != TStep::Compiling)
        return {};
    exitCode_ = exitCode;
    // Only an installer this build wrote is offered; an older one of the same
    // name stays untouched.
    if (exitCode == 0 && WrittenSince(before_, InstallerPath())) {
        step_ = TStep::Idle;
        return {TBuildAction::Deliver, {}, {}};
    }
    if (exitCode == 0) {
        // It compiled, but its installer is not there.
        step_ = TStep::Idle;
        return {TBuildAction::Report, ExitCodeText(), {}};
    }
    if (exitCode > 1) {
        // Not an error in the script (that is 1): the compiler crashed or
        // could not run, and what it wrote of an installer is no installer.
        step_ = TStep::Idle;
        RemoveWrittenInstaller();
        return {TBuildAction::Report, CrashText(), {}};
    }
    // The compiler's console window has closed with its messages: compile
    // once more for them, so that an earlier run's log cannot be taken for them.
    DeleteFileA(LogPath().c_str());
    step_ = TStep::Logging;
    return {TBuildAction::RunLog, {}, {}};
}

TBuildReply TSetupBuild::LogEnded()
{
    if (step_ != TStep::Logging)
        return {};
    step_ = TStep::Idle;
    std::string log;
    try {
        log = LoadTextFile(LogPath());
    } catch (const EFOpenError&) {
        // No log: the exit code is all there is to tell.
    }
    return RejectedScript(log);
}

TBuildReply TSetupBuild::CompilerEnded(DWORD exitCode, const std::string& output)
{
    TBuildReply reply = CompilerEnded(exitCode);
    if (reply.Action != TBuildAction::RunLog)
        return reply;
    step_ = TStep::Idle;
    // Kept as a log run would have left it.
    try {
        SaveTextFile(output, LogPath());
    } catch (const Exception&) {
        // The messages are shown all the same.
    }
    return RejectedScript(output);
}

TBuildReply TSetupBuild::RejectedScript(const std::string& logBytes) const
{
    const std::string log = CompilerLogText(logBytes);
    if (log.find_first_not_of(" \r\n") == std::string::npos)
        return {TBuildAction::Report, ExitCodeText(), {}};
    return {TBuildAction::ShowLog,
            "The setup " + Quoted(installerName_) + " could not be created: the compiler ended with exit code " +
                std::to_string(exitCode_) + ".\r\n" + FailingLineText(log) +
                "Its messages follow; all of them are kept in " + Quoted(LogPath()) + ".",
            log};
}

void TSetupBuild::Stopped()
{
    step_ = TStep::Idle;
    RemoveWrittenInstaller();
}

void TSetupBuild::RemoveWrittenInstaller() const
{
    if (WrittenSince(before_, InstallerPath()))
        DeleteFileA(InstallerPath().c_str());
}

std::string TSetupBuild::CrashText() const
{
    char code[16];
    // An exception code reads as such in hexadecimal.
    std::snprintf(code, sizeof(code), exitCode_ >= 0x80000000u ? "0x%08lX" : "%lu", static_cast<unsigned long>(exitCode_));
    return "The setup " + Quoted(installerName_) + " could not be created: the compiler crashed (exit code " + code +
           ").\r\nThis is a fault of the compiler, not of the script. Run " +
           Quoted(std::string(kCompilerFileName) + " " + kScriptFileName) + " in " + Quoted(toolFolder_) +
           " to see it happen.";
}

std::string TSetupBuild::StartFailureText() const
{
    const std::string reason =
        startError_ != ERROR_SUCCESS ? SystemErrorText(startError_) : std::string("It gave no process to wait for");
    return "The setup compiler could not be started: " + Quoted(CompilerPath()) + ".\r\n" + reason + ".\r\n" +
           CompilerCopyAdvice(toolFolder_, InstalledNsisFolder());
}

std::string TSetupBuild::ExitCodeText() const
{
    return "The setup " + Quoted(installerName_) + " could not be created: the compiler ended with exit code " +
           std::to_string(exitCode_) + ".\r\nRun " + Quoted(std::string(kCompilerFileName) + " " + kScriptFileName) +
           " in " + Quoted(toolFolder_) + " to see why.";
}

std::string TSetupBuild::FailingLineText(const std::string& log) const
{
    const int number = FailingLineNumber(log);
    if (number <= 0)
        return std::string();
    std::string line;
    try {
        line = LineOf(TextOfFile(LoadTextFile(ScriptPath())), number);
    } catch (const EFOpenError&) {
        return std::string();
    }
    if (line.empty())
        return std::string();
    return "It stopped at line " + std::to_string(number) + " of " + kScriptFileName + ", which reads:\r\n    " + line +
           "\r\n";
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
