#pragma once
// Names of what lies beside the tool, relative to its own folder.
inline constexpr char kTemplateFileName[] = "plugin.nsi";
// What the template includes: the installers' machinery, copied as it is.
inline constexpr char kTemplateIncludeFileName[] = "PluginSetup.nsh";
inline constexpr char kScriptFileName[] = "temp.nsi";
// A licence text the compiler would misread goes to it converted, as this.
inline constexpr char kLicenseCopyFileName[] = "temp_license.txt";
// The list of the files to install, which the installer and its uninstaller
// carry and read as they run.
inline constexpr char kFileListFileName[] = "temp_files.txt";
// A copy of the plugin folder dated no later than a release's time, which the
// setup packs instead of the folder (BuildTimes.h).
inline constexpr char kStageFolderName[] = "temp_plugin\\";
inline constexpr char kCompilerFileName[] = "makensis.exe";
// Where the compiler's messages go when a failed build is compiled once more
// to tell the user why.
inline constexpr char kCompilerLogFileName[] = "makensis.log";
inline constexpr char kLanguageFilesPattern[] = "languages\\*.nlf";
// The installer's own texts in each language, "<language>.nsh", beside the
// template; English.nsh stands in for the languages without one.
inline constexpr char kTranslationsFolderName[] = "translations\\";
// The programs that ask a WFX plugin for its name: one for 32-bit plugin
// libraries, one for 64-bit ones.
inline constexpr char kNameHelperFileName[] = "PluginNameHelper.exe";
inline constexpr char kNameHelper64FileName[] = "PluginNameHelper64.exe";
// The compiler writes the installer as the main file's name followed by this.
inline constexpr char kInstallerSuffix[] = "_setup.exe";
// Held by the copy of the tool that is building in the folder.
inline constexpr char kBuildLockFileName[] = "build.lock";
