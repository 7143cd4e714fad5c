#include "ConsoleOptions.h"

#include "core/SetupScript.h"

#include <windows.h>

#include <algorithm>

namespace {

bool IsOption(const std::string& argument) { return argument.rfind("--", 0) == 0; }

} // namespace

TConsoleOptions ParseConsoleOptions(const std::vector<std::string>& arguments)
{
    TConsoleOptions options;
    std::vector<std::string> given; // options seen, each may come once (but --language)
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        // The ways Windows programs are asked for their usage.
        if (argument == "-h" || argument == "/?") {
            options.Help = true;
            continue;
        }
        if (!IsOption(argument)) {
            if (!options.PluginFolder.empty())
                throw EConsoleArguments("Only one plugin folder can be given; \"" + options.PluginFolder +
                                        "\" and \"" + argument + "\" were");
            if (argument.empty())
                throw EConsoleArguments("The plugin folder can't be empty");
            options.PluginFolder = argument;
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        if (name == "--help") {
            options.Help = true;
            continue;
        }
        if (name == "--uninstaller") {
            options.Uninstaller = true;
            continue;
        }
        std::string* target = name == "--name"        ? &options.Name
                              : name == "--main-file" ? &options.MainFile
                              : name == "--type"      ? &options.Type
                              : name == "--license"   ? &options.License
                              : name == "--output"    ? &options.Output
                              : name == "--sign"      ? &options.SignCommand
                              : name == "--icon"      ? &options.Icon
                              : name == "--publisher" ? &options.Publisher
                              : name == "--url"       ? &options.Url
                                                      : nullptr;
        if (target == nullptr && name != "--language")
            throw EConsoleArguments("Unknown option \"" + name + "\"; --help lists the options");
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            throw EConsoleArguments(name + " needs a value");
        }
        if (name == "--language") {
            options.Languages.push_back(value);
            continue;
        }
        for (const std::string& seen : given)
            if (seen == name)
                throw EConsoleArguments(name + " can be given once only");
        given.push_back(name);
        *target = value;
    }
    if (options.Help)
        return options;
    if (options.PluginFolder.empty())
        throw EConsoleArguments("No plugin folder given; --help shows how to call this program");
    // No path holds a quote. Windows reads a backslash before a closing quote
    // as part of the text: "C:\plugin\" takes the quote, and what follows,
    // into the path.
    for (const std::string* path : {&options.PluginFolder, &options.Output, &options.License, &options.MainFile, &options.Icon})
        if (path->find('"') != std::string::npos)
            throw EConsoleArguments("\"" + *path + "\" holds a quote: a path that ends in a backslash before its closing "
                                    "quote swallows the quote; leave that backslash out");
    options.NameGiven = std::find(given.begin(), given.end(), "--name") != given.end();
    if (!options.Type.empty()) {
        CharUpperA(options.Type.data());
        if (options.Type != "WFX" && options.Type != "WLX")
            throw EConsoleArguments("--type takes WFX or WLX, not \"" + options.Type + "\"");
    }
    if (options.MainFile.find_first_of("\\/:") != std::string::npos)
        throw EConsoleArguments("--main-file takes the name of a file in the plugin folder, not a path");
    if (!options.SignCommand.empty()) {
        if (const std::string problem = SignCommandProblem(options.SignCommand); !problem.empty())
            throw EConsoleArguments(problem);
    }
    return options;
}

std::string ConsoleUsage()
{
    return "Builds the installer of a Quillon file manager plugin, as the setup creator's window does.\n"
           "\n"
           "  SetupCreatorCli.exe <plugin folder> [options]\n"
           "\n"
           "Options, in any order (a value follows its option, or comes after \"=\"):\n"
           "  --name TEXT        the plugin name (default: the name the plugin gives itself for a WFX\n"
           "                     plugin, the file name for a WLX plugin)\n"
           "  --main-file FILE   the plugin's main file, a name in the folder (default: the plugin file\n"
           "                     the window would select)\n"
           "  --type WFX|WLX     the plugin type (default: by the main file's extension)\n"
           "  --license FILE     a .txt or .rtf licence the installer shows\n"
           "  --language NAME    an installer language, by the name of its file in the languages\n"
           "                     folder without .nlf; repeat it for more (none: English)\n"
           "  --uninstaller      the installer also writes an uninstaller and registers the plugin\n"
           "  --output FOLDER    where the installer goes (default: the current folder); an\n"
           "                     installer of that name there is replaced\n"
           "  --sign COMMAND     signs the installer and its uninstaller: COMMAND is run on each,\n"
           "                     with %1 standing for the file, and must end with exit code 0\n"
           "  --icon FILE        an icon file (.ico) for the installer, its uninstaller and the entry in\n"
           "                     the list of installed programs (default: NSIS's; the entry shows the\n"
           "                     plugin's own icon when its main file has one)\n"
           "  --publisher TEXT   the publisher the entry names (default: the main file's company name)\n"
           "  --url URL          the entry's web address for information and help\n"
           "  --help, -h, /?     shows this text\n"
           "\n"
           "Relative paths are taken from the current folder. Beside the installer goes its SHA-256\n"
           "sum, <installer>.sha256, which \"sha256sum -c\" checks; the sum is printed on a line of its\n"
           "own, and the last line printed is the full path of the installer. With the environment\n"
           "variable SOURCE_DATE_EPOCH set, no time in the installer is later than it.\n"
           "\n"
           "Exit codes: 0 the installer is in the output folder; 1 nothing was built (a wrong\n"
           "argument, a folder with more than one plugin and no --main-file, or what the window would\n"
           "refuse; each problem on a line of its own on standard error, or another build in the\n"
           "tool's folder did not end in time); 2 the build failed (the compiler's messages on\n"
           "standard error; nothing is placed, and an installer of that name in the output folder\n"
           "is kept as it was).";
}
