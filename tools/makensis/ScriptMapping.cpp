#include "ScriptMapping.h"

#include "base/Errors.h"
#include "base/TextCodes.h"

#include <windows.h>

namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsWordCharacter(char c) { return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_' || c == '$' || c == '.'; }
bool IsQuote(char c) { return c == '"' || c == '\'' || c == '`'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

bool StartsDrivePath(const std::string& text, std::size_t at)
{
    if (at + 2 >= text.size() || !IsAsciiLetter(text[at]) || text[at + 1] != ':')
        return false;
    if (text[at + 2] != '\\' && text[at + 2] != '/')
        return false;
    return at == 0 || !IsWordCharacter(text[at - 1]);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The first word of a line.
std::string InstructionOf(const std::string& line)
{
    std::size_t start = 0;
    while (start < line.size() && IsBlank(line[start]))
        ++start;
    std::size_t end = start;
    while (end < line.size() && !IsBlank(line[end]))
        ++end;
    return line.substr(start, end - start);
}

// Whether the line's instruction is one whose arguments name files of the
// compiling host: only there are drive paths mapped, so that a name or any
// other text the installer shows keeps a "C:\" as it is.
bool TakesHostFiles(const std::string& line)
{
    static const char* const instructions[] = {
        "File",         "ReserveFile",    "OutFile",        "LicenseData",     "LicenseLangString", "LoadLanguageFile",
        "Icon",         "UninstallIcon",  "CheckBitmap",    "ChangeUI",        "!include",          "!addincludedir",
        "!addplugindir", "!cd",           "!getdllversion", "!gettlbversion",  "!packhdr",          "!finalize",
        "!uninstfinalize", "!appendfile", "!delfile",       "!system",         "!execute",          "!makensis",
        "!searchparse",
    };
    const std::string word = InstructionOf(line);
    for (const char* instruction : instructions)
        if (lstrcmpiA(word.c_str(), instruction) == 0)
            return true;
    return false;
}

// Whether the line defines a name as one quoted drive path, such as the
// brand's icon, which a host-file instruction then reads through the define;
// a define of any other text, which the installer may show, stays as it is.
bool DefinesDrivePath(const std::string& line)
{
    if (lstrcmpiA(InstructionOf(line).c_str(), "!define") != 0)
        return false;
    std::size_t end = line.size();
    while (end > 0 && IsBlank(line[end - 1]))
        --end;
    if (end < 2 || !IsQuote(line[end - 1]))
        return false;
    const std::size_t open = line.rfind(line[end - 1], end - 2);
    return open != std::string::npos && StartsDrivePath(line, open + 1);
}

// The drive paths of one line, mapped.
std::string MapLine(const std::string& line, const std::function<std::string(const std::string&)>& toHost)
{
    std::string result;
    result.reserve(line.size());
    std::size_t at = 0;
    while (at < line.size()) {
        if (!StartsDrivePath(line, at)) {
            result += line[at++];
            continue;
        }
        const char opening = at > 0 ? line[at - 1] : '\0';
        std::size_t end = at;
        if (IsQuote(opening)) {
            while (end < line.size() && line[end] != opening)
                ++end;
        } else {
            while (end < line.size() && !IsBlank(line[end]))
                ++end;
        }
        result += toHost(line.substr(at, end - at));
        at = end;
    }
    return result;
}

} // namespace

std::string ScriptTextAsUtf8(const std::string& scriptBytes)
{
    static const std::string utf8Mark = "\xEF\xBB\xBF";
    if (scriptBytes.compare(0, utf8Mark.size(), utf8Mark) == 0)
        return scriptBytes.substr(utf8Mark.size());
    return FromWide(ToWide(scriptBytes, CP_ACP), CP_UTF8);
}

std::string MapDrivePaths(const std::string& script, const std::function<std::string(const std::string&)>& toHost)
{
    std::string result;
    result.reserve(script.size());
    std::size_t at = 0;
    while (at < script.size()) {
        std::size_t end = at;
        while (end < script.size() && !IsLineEnd(script[end]))
            ++end;
        const std::string line = script.substr(at, end - at);
        result += TakesHostFiles(line) || DefinesDrivePath(line) ? MapLine(line, toHost) : line;
        while (end < script.size() && IsLineEnd(script[end]))
            result += script[end++];
        at = end;
    }
    return result;
}

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}
