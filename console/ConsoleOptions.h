#pragma once
// The console program's command line:
//
//   SetupCreatorCli.exe <plugin folder> [options]
//
// with the options in any order, each value as the next argument or after
// "=" ("--name X" or "--name=X").
#include "base/Errors.h"

#include <string>
#include <vector>

// A command line the program cannot take; the message says why.
class EConsoleArguments : public Exception {
public:
    using Exception::Exception;
};

struct TConsoleOptions {
    bool Help = false;
    std::string PluginFolder;
    // Each empty unless given; the build then finds it as the window does.
    std::string Name;
    bool NameGiven = false;
    std::string MainFile;
    std::string Type; // "WFX" or "WLX"
    std::string License;
    std::vector<std::string> Languages; // as given
    bool Uninstaller = false;
    std::string Output; // empty: the current folder
    std::string SignCommand;
    // The author's brand: an icon file (.ico), the publisher, a web address.
    std::string Icon;
    std::string Publisher;
    std::string Url;
};

// The options of `arguments` (the command line without the program's name),
// as text of this program's code page. Throws EConsoleArguments.
TConsoleOptions ParseConsoleOptions(const std::vector<std::string>& arguments);

// What --help prints.
std::string ConsoleUsage();
