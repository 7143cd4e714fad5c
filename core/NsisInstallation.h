#pragma once
// Where the system has NSIS installed, for telling a user without a compiler
// beside the tool where to copy it from.
#include <string>

// The folder NSIS's installer recorded as the default value of
// HKLM\Software\NSIS, in the registry view of this program or else in the
// 32-bit view, when that folder holds makensis.exe; empty otherwise.
std::string InstalledNsisFolder();
