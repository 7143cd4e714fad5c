// Entry point of the console program: the command line, Ctrl+C, the build.
#include "ConsoleBuild.h"
#include "ConsoleOutput.h"

#include "base/Handles.h"
#include "base/Paths.h"
#include "base/TextCodes.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

namespace {

// Ctrl+C, Ctrl+Break, a closed console or a session that ends: the build
// ends, its compiler with it, and nothing is placed.
BOOL WINAPI ConsoleControl(DWORD) noexcept
{
    StopConsoleBuild();
    return TRUE;
}

// The arguments, from the wide command line: this program's code page may
// lack characters of a path it is given, and then they are refused here.
std::vector<std::string> Arguments()
{
    int count = 0;
    const UniqueLocalMemory list(CommandLineToArgvW(GetCommandLineW(), &count));
    const auto* argv = static_cast<LPWSTR*>(list.Get());
    std::vector<std::string> arguments;
    for (int i = 1; argv != nullptr && i < count; ++i) {
        const std::wstring wide = argv[i];
        arguments.push_back(FromWide(wide, CP_ACP));
        if (ToWide(arguments.back(), CP_ACP) != wide)
            throw EConsoleArguments("\"" + arguments.back() + "\" holds characters that this system cannot give the "
                                    "program (shown as \"?\"); use Windows 10 version 1903 or later");
    }
    return arguments;
}

} // namespace

int main()
{
    try {
        const TConsoleOptions options = ParseConsoleOptions(Arguments());
        if (options.Help) {
            WriteOut(ConsoleUsage());
            return kConsoleBuilt;
        }
        SetConsoleCtrlHandler(ConsoleControl, TRUE);
        return BuildFromConsole(options, FolderOfPath(ModuleFileName()));
    } catch (const EConsoleArguments& e) {
        WriteError(e.Message());
        return kConsoleRefused;
    } catch (const std::exception& e) {
        WriteError(e.what());
        return kConsoleFailed;
    }
}
