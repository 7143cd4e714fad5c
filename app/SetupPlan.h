#pragma once
// What "Create setup" does between the press and the compiler's start,
// without any window, for every program that builds setups: it checks what
// was asked against what the file system, the plugin library and the
// template hold, walks the plugin folder once, and gives the script's values
// or every reason why no setup can be built.
#include "SetupScript.h"

#include <string>
#include <vector>

// What the user asks a setup to be made of, as the window's fields (or a
// command line) hold it.
struct TSetupRequest {
    std::string PluginName;
    // The plugin is still being asked for its name, which may replace this one.
    bool NameAsked = false;
    // As typed: a relative folder is taken from the current folder.
    std::string Folder;
    // How many entries are offered as main file, and which one is chosen
    // (-1: none), with its name.
    int MainFileCount = 0;
    int MainFileIndex = -1;
    std::string MainFile;
    std::string PluginType; // "WFX" or "WLX"
    std::vector<std::string> CheckedLanguages; // in list order
    std::string LicensePath;
    bool Uninstaller = false;
    // Replaces the template's signing command; empty keeps it.
    std::string SignCommand;
};

struct TSetupPlan {
    // The validation message, one CR LF-terminated line per problem; empty
    // when the setup can be built.
    std::string Problems;
    // What the user is told while the build goes on (files left out of the
    // setup), in lines like Problems; empty when there is nothing to tell.
    std::string Notice;
    // The plugin folder as a full path with trailing backslash.
    std::string PluginFolder;
    // The installer the compiler writes into the tool folder.
    std::string InstallerName;
    // The template as read, and what fills it.
    std::string TemplateBytes;
    TSetupScriptInputs Inputs;
};

// Plans the setup of `request` with the template of `toolFolder` (with
// trailing backslash). Throws EFOpenError when nothing else stands in the
// way and the template cannot be read.
TSetupPlan PlanSetup(const TSetupRequest& request, const std::string& toolFolder);

// The line refusing a main file that is no plugin library of `pluginType`,
// as `image` shows it; empty when it is one.
struct TLibraryImage;
std::string MainFileLine(const TLibraryImage& image, const std::string& pluginType);

// The lines refusing a template (at `templatePath`, its text as UTF-8) that
// lacks a placeholder carrying what `inputs` set, or that writes its setup
// anywhere but where the tool takes it from.
std::string TemplateLines(const std::string& templatePath, const std::string& templateText,
                          const TSetupScriptInputs& inputs);
