#pragma once
// Paths between the Windows side and the host under Wine, through the
// conversions Wine's kernel32 exports. On Windows itself they do not exist.
#include <string>

// Whether this process runs under Wine with both conversions available.
bool HostPathsAvailable();

// The host path of a Windows path, as UTF-8 text (`windowsPath` is UTF-8 too).
// The longest leading part that Wine can resolve is resolved (so letter case
// and drive links follow the host's file system); the rest, such as a
// wildcard or a folder not yet created, is appended with '/' separators. A
// trailing separator stays. Throws EOSError when not even the drive resolves.
std::string HostPathOf(const std::string& windowsPath);

// The Windows path under which Wine shows a host path (UTF-8).
std::wstring WindowsPathOfHost(const std::string& hostPath);
