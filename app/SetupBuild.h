#pragma once
// One build of an installer, from the press of "Create setup" until the user
// has been told how it ended, without any window: which installer it writes,
// whether it runs, how it ended and what the compiler said. The main window's
// handlers tell it what happened and do what it answers.
#include "InstallerDelivery.h"

#include <windows.h>

#include <string>

// What the window does next.
enum class TBuildAction {
    None,    // nothing
    Report,  // the build is over without an installer: show Text as a failure
    Deliver, // the build wrote a fresh installer: ask where it goes
    RunLog,  // compile the script once more with the log option, then call LogEnded
    ShowLog, // the build is over without an installer: show Text and the compiler's messages, Log
};

struct TBuildReply {
    TBuildAction Action = TBuildAction::None;
    std::string Text;
    std::string Log;
};

class TSetupBuild {
public:
    // Shown when "Create setup" is pressed while a build runs: a second one
    // would write the same script and installer while the first works on them.
    static std::string RefusalText();

    // From Start until the build's end has been answered.
    bool Running() const noexcept { return step_ != TStep::Idle; }

    // Of the build started last; they stay after it has ended.
    const std::string& InstallerName() const noexcept { return installerName_; }
    std::string InstallerPath() const { return toolFolder_ + installerName_; }
    std::string CompilerPath() const;
    std::string ScriptPath() const;
    std::string LogPath() const;

    // The plugin folder of the build started last (with trailing backslash).
    const std::string& PluginFolder() const noexcept { return pluginFolder_; }

    // The compiler is about to be started in `toolFolder` (with trailing
    // backslash), where it is to write `installerName`, packing `pluginFolder`.
    void Start(const std::string& toolFolder, const std::string& installerName, const std::string& pluginFolder);
    // The launcher reported a system error code: while the compiler is being
    // started, the reason it could not be; once it runs, its end cannot be
    // watched.
    TBuildReply SpawnError(DWORD code);
    // The start has returned, with or without a process to wait for.
    TBuildReply Started(bool withProcess);
    // The compiler's process has ended with `exitCode`.
    TBuildReply CompilerEnded(DWORD exitCode);
    // The compiler's run for its log has ended, or could not be started.
    TBuildReply LogEnded();
    // The compiler, whose output was read as it came, has ended with
    // `exitCode` after writing `output`: as CompilerEnded, but a rejected
    // script is answered with that output at once (ShowLog or Report).
    TBuildReply CompilerEnded(DWORD exitCode, const std::string& output);
    // A handler failed while the build ran: it is over and nothing follows.
    void Abandon() noexcept { step_ = TStep::Idle; }
    // The compiler has been ended before its time: the build is over, and
    // whatever it had written of its installer goes.
    void Stopped();

private:
    enum class TStep { Idle, Starting, Compiling, Logging };

    std::string StartFailureText() const;
    std::string ExitCodeText() const;
    std::string CrashText() const;
    // Deletes the installer when this build has written it.
    void RemoveWrittenInstaller() const;
    std::string FailingLineText(const std::string& log) const;
    // The answer to a rejected script whose compiler wrote `logBytes`.
    TBuildReply RejectedScript(const std::string& logBytes) const;

    TStep step_ = TStep::Idle;
    std::string toolFolder_;
    std::string installerName_;
    std::string pluginFolder_;
    // What the tool folder held under the installer's name before the start.
    TFileStamp before_;
    DWORD startError_ = ERROR_SUCCESS;
    DWORD exitCode_ = 0;
};

// What makensis.exe with its folders is to be copied from, and where to: from
// `nsisFolder` when the system has NSIS installed there (else empty) into
// `toolFolder`.
std::string CompilerCopyAdvice(const std::string& toolFolder, const std::string& nsisFolder);

// The compiler's log as text of this program's code page for an edit
// control: a UTF-16 or UTF-8 log (by its byte-order mark, or UTF-8 text
// without one) or one in the system's ANSI code page converted, every line
// ending CR LF, and of a long log only its last part, where the compiler's
// error stands.
std::string CompilerLogText(const std::string& logBytes);
