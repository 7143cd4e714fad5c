#pragma once
// What every program that builds setups does between a request and the
// compiler's start, without any window: it checks what was asked against
// what the file system, the plugin library and the template hold, walks the
// plugin folder once, reads each input once, and gives the plan of the setup
// as one value: the script's values, or every reason why no setup can be
// built.
#include "LibraryImage.h"
#include "SetupScript.h"

#include <string>
#include <vector>

struct TSetupPlan {
    // Why the setup cannot be built, one line each; empty when it can.
    std::vector<std::string> Problems;
    // What the user is told while the build goes on (files left out of the
    // setup), one line each.
    std::vector<std::string> Notices;
    // The plugin folder as a full path with trailing backslash.
    std::string PluginFolder;
    // The setup the compiler writes into the tool folder.
    std::string InstallerName;
    // The template's text, as UTF-8, and what fills it.
    std::string TemplateText;
    TSetupScriptInputs Inputs;
    // Files of the folder are newer than SOURCE_DATE_EPOCH: the setup packs
    // a copy of the folder dated this time (BuildTimes.h); 0 when it packs
    // the folder as it is.
    unsigned long long StageTime = 0;
};

// Plans the setup of `request` with the template of `toolFolder` (with
// trailing backslash). Throws EFOpenError when nothing else stands in the
// way and the template cannot be read.
TSetupPlan PlanSetup(const TSetupRequest& request, const std::string& toolFolder);

// The line refusing a main file that is no plugin library of `pluginType`,
// as `image` shows it; empty when it is one.
std::string MainFileLine(const TLibraryImage& image, const std::string& pluginType);

// The lines refusing a template (at `templatePath`, its text as UTF-8) that
// lacks a placeholder carrying what `inputs` set, or that writes its setup
// anywhere but where the tool takes it from.
std::vector<std::string> TemplateLines(const std::string& templatePath, const std::string& templateText,
                                       const TSetupScriptInputs& inputs);

// The languages of `languages` whose translation of the installer's own texts
// lies in the translations folder of `toolFolder` (with trailing backslash).
std::vector<std::string> TranslatedLanguages(const std::vector<std::string>& languages, const std::string& toolFolder);

// `items` with `separator` between each two.
std::string Joined(const std::vector<std::string>& items, const char* separator);

// `lines` joined by CR LF, as a message box shows them.
std::string JoinedLines(const std::vector<std::string>& lines);
