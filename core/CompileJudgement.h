#pragma once
// What a finished compile means, judged once from its facts: whether the
// setup goes to the user, whether the compiler's messages are still to be
// read, or what failed. Both programs gather the facts and act on the
// judgement; nothing here touches a file or a window.
#include "SetupBuild.h"

#include <windows.h>

#include <string>

struct TCompileFacts {
    // The compiler could not be started, with the system's error code
    // (ERROR_SUCCESS when the start gave no reason), and where NSIS is
    // installed on this system, if anywhere, to copy it from.
    bool StartFailed = false;
    DWORD StartError = ERROR_SUCCESS;
    std::string InstalledNsisFolder;
    // The compiler ran, but its end could not be watched: the system's error
    // code; ERROR_SUCCESS otherwise.
    DWORD WaitError = ERROR_SUCCESS;
    DWORD ExitCode = 0;
    // The setup's path holds a file the compiler wrote.
    bool SetupWritten = false;
    // The compiler's messages were read (Messages holds them, as bytes).
    bool MessagesRead = false;
    std::string Messages;
};

enum class TCompileVerdict {
    Deliver,      // the setup goes where the user wants it
    ReadMessages, // the script was rejected: compile again, hidden, to read why
    Failed,       // nothing is delivered; what the build wrote of a setup goes
};

struct TCompileJudgement {
    TCompileVerdict Verdict = TCompileVerdict::Failed;
    // Failed: what the user is told, and the compiler's messages to show
    // with it (empty when there are none).
    std::string Text;
    std::string Log;
};

TCompileJudgement JudgeCompile(const TCompileFacts& facts, const TBuildFiles& build);

// What makensis.exe with its folders is to be copied from, and where to: from
// `nsisFolder` when the system has NSIS installed there (else empty) into
// `toolFolder`.
std::string CompilerCopyAdvice(const std::string& toolFolder, const std::string& nsisFolder);

// The compiler's messages as text of this program's code page for an edit
// control: UTF-16 or UTF-8 (by its byte-order mark, or UTF-8 text without
// one) or text in the system's ANSI code page converted, every line ending
// CR LF, and of a long log only its last part, where the compiler's error
// stands.
std::string CompilerLogText(const std::string& logBytes);
