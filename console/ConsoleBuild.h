#pragma once
// One build from the command line, with the window's rules: the options
// become what the window's fields would hold (what is not given is found as
// the window finds it), the setup is planned and checked by the same unit,
// the compiler runs hidden and is read as it writes, and the installer goes
// to the output folder.
#include "ConsoleOptions.h"

// Exit codes.
constexpr int kConsoleBuilt = 0;   // the installer is in the output folder
constexpr int kConsoleRefused = 1; // nothing was built
constexpr int kConsoleFailed = 2;  // the build failed; nothing was placed

// Builds the setup `options` ask for, with the tool files of `toolFolder`
// (with trailing backslash), telling what it does on the standard output
// and what went wrong on the standard error; its exit code.
int BuildFromConsole(const TConsoleOptions& options, const std::string& toolFolder);

// Ends a build going, as Ctrl+C or closing the console does: its compiler
// and whatever that started end, and the build ends with kConsoleFailed.
// Callable from any thread.
void StopConsoleBuild() noexcept;
