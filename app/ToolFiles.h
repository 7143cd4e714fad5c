#pragma once
// Names of what lies beside the tool, relative to its own folder.
inline constexpr char kTemplateFileName[] = "plugin.nsi";
inline constexpr char kScriptFileName[] = "temp.nsi";
inline constexpr char kCompilerFileName[] = "makensis.exe";
inline constexpr char kLanguageFilesPattern[] = "languages\\*.nlf";
// The compiler writes the installer as the main file's name followed by this.
inline constexpr char kInstallerSuffix[] = "_setup.exe";
