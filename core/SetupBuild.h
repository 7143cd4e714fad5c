#pragma once
// One build's files in the tool folder, from the writing of its script until
// its setup has been placed or deleted: the script and what goes with it,
// the compiler that reads them, and the setup it writes. Both programs write
// them, run the compiler, judge its end (CompileJudgement.h) and act.
#include "InstallerDelivery.h"
#include "SetupPlan.h"

#include "base/ChildProcess.h"

#include <string>

struct TBuildFiles {
    // With trailing backslash; the compiler runs there and writes the setup there.
    std::string ToolFolder;
    std::string InstallerName;
    // The plugin folder, a full path with trailing backslash.
    std::string PluginFolder;
    // The script as written.
    std::string Script;
    // What lay at the setup's path before the compiler started.
    TFileStamp SetupBefore;
    // The dated copy of the plugin folder the setup packs; empty when it
    // packs the folder itself.
    std::string Stage;

    std::string CompilerPath() const;
    std::string ScriptPath() const;
    std::string LogPath() const;
    std::string SetupPath() const { return ToolFolder + InstallerName; }

    // Whether the setup's path holds a file this build wrote: an older setup
    // of the same name is not this build's.
    bool SetupWritten() const { return WrittenSince(SetupBefore, SetupPath()); }
    // Deletes what this build wrote of its setup, if anything: a build that
    // failed or was stopped leaves no setup.
    void DeleteWrittenSetup() const;
    // Removes the dated copy of the plugin folder, once nothing compiles it.
    void RemoveStage() const noexcept;
};

// Writes the script of `plan` and what goes with it into `toolFolder` (with
// trailing backslash), right before the compiler is started. Throws
// EFOpenError, EFCreateError, EWriteError or EOSError.
TBuildFiles WriteBuildFiles(const TSetupPlan& plan, const std::string& toolFolder);

// The compiler on the build's script, hidden, its messages read through a
// pipe: the console program's compile, and the window's second compile of a
// rejected script for its messages.
TChildStart HiddenCompile(const TBuildFiles& build);

// Keeps the compiler's messages in the log file beside the script, for the
// user to read all of them; a log that cannot be written is not missed.
void KeepCompilerMessages(const TBuildFiles& build, const std::string& messages) noexcept;

// The facts of a compiler that could not be started, with `error`.
struct TCompileFacts;
TCompileFacts CompilerNotStarted(DWORD error);
