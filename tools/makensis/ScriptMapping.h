#pragma once
// Text work of the Linux-host compiler stand-in that needs no Wine: turning
// the tool's script into one the host's NSIS compiler reads, and quoting for
// the shell that runs it.
#include <functional>
#include <string>

// The script as UTF-8 text: a script that starts with a UTF-8 byte-order mark
// is taken as it is (without the mark); any other is read in the system code
// page, as NSIS on Windows reads it.
std::string ScriptTextAsUtf8(const std::string& scriptBytes);

// Replaces every Windows drive path ("X:\..." or "X:/...", where X is a letter
// that starts a word) on the lines of `script` whose instruction takes host
// files (File, LicenseData, LoadLanguageFile, !getdllversion, !include and
// the like, and a !define whose value is one quoted drive path) by
// `toHost(path)`; other lines, such as a Name or a registry value, stay as
// they are. A path that follows a quote character runs to the
// same quote or the end of the line; any other runs to the next blank or the
// end of the line. Line breaks stay as they are.
std::string MapDrivePaths(const std::string& script, const std::function<std::string(const std::string&)>& toHost);

// `text` as one word for a POSIX shell: in single quotes, with each single
// quote written as '\''.
std::string ShellQuote(const std::string& text);
