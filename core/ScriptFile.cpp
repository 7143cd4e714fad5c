#include "ScriptFile.h"

#include "BuildTimes.h"
#include "Checksum.h"
#include "ToolFiles.h"
#include "UnitFiles.h"

#include "base/TextCodes.h"

#include <cstdio>

namespace {

bool StartsWith(const std::string& bytes, const char* head) { return bytes.rfind(head, 0) == 0; }

// The values typed, picked and found, in UTF-8 like the template.
TSetupScriptInputs InUtf8(TSetupScriptInputs inputs)
{
    for (std::string* text : {&inputs.PluginName, &inputs.Folder, &inputs.MainFile, &inputs.PluginType,
                              &inputs.LicensePath, &inputs.Publisher, &inputs.CompanyName, &inputs.IconPath,
                              &inputs.Url})
        *text = Utf8FromAnsi(*text);
    for (std::vector<std::string>* list : {&inputs.Languages, &inputs.Files, &inputs.LeftOut, &inputs.Translated})
        for (std::string& text : *list)
            text = Utf8FromAnsi(text);
    return inputs;
}

// The list of installed files that the installer and its uninstaller carry
// and read as they run, so that the script does not grow with the folder:
// each of `files` (relative to `folder`, text of this program's code page)
// on a line of its own ending with CR LF; a file followed by "|", its size in
// bytes, "|" and its CRC-32 in eight hex digits, by which they tell a file
// the user changed since it was installed ("|" is in no file name). In
// ASCII when every name is, which packs in half the time, and otherwise in
// UTF-16LE after a byte order mark.
std::string InstalledFilesList(const std::string& folder, const std::vector<std::string>& files)
{
    std::string list;
    for (const std::string& entry : files) {
        list += entry;
        if (entry.back() != '\\') {
            const TFileCrc sum = Crc32OfFile(folder + entry);
            char crc[9] = {};
            std::snprintf(crc, sizeof(crc), "%08x", static_cast<unsigned>(sum.Crc));
            list.append("|").append(std::to_string(sum.Size)).append("|").append(crc);
        }
        list += "\r\n";
    }
    if (IsAscii(list))
        return list;
    const std::wstring wide = L"\uFEFF" + ToWide(list, CP_ACP);
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

} // namespace

std::string SetupScriptFile(const std::string& templateText, const TSetupScriptInputs& inputs)
{
    const std::string script = FillSetupScript(templateText, InUtf8(inputs));
    return IsAscii(script) ? script : kUtf8Mark + script;
}

std::string PluginFolderNameOf(const TSetupScriptInputs& inputs)
{
    const TSetupScriptInputs utf8 = InUtf8(inputs);
    return AnsiFromUtf8(PluginFolderName(utf8.PluginType, utf8.PluginName, utf8.MainFile));
}

std::string LicenseForCompiler(const std::string& licensePath, const std::string& copyPath)
{
    const std::string bytes = LoadTextFile(licensePath);
    // An RTF document carries its characters as ASCII escapes. UTF-16
    // without a mark would be read one byte at a time.
    bool bigEndian = false;
    if (!IsUtf16WithoutMark(bytes, bigEndian) && (IsAscii(bytes) || StartsWith(bytes, "{\\rtf") ||
                                                  StartsWith(bytes, kUtf8Mark) || StartsWith(bytes, "\xFF\xFE")))
        return licensePath;
    SaveTextFile(kUtf8Mark + Utf8OfTextFile(bytes), copyPath);
    return copyPath;
}

std::string WriteSetupScript(const std::string& templateText, TSetupScriptInputs inputs, const std::string& toolFolder)
{
    if (!inputs.LicensePath.empty() && inputs.LicenseExists)
        inputs.LicensePath = LicenseForCompiler(inputs.LicensePath, toolFolder + kLicenseCopyFileName);
    SaveTextFile(InstalledFilesList(inputs.Folder, inputs.Files), toolFolder + kFileListFileName);
    // The compiler packs it with its time: the same inputs, the same setup.
    SetLastWriteTime(toolFolder + kFileListFileName, inputs.ListTime);
    std::string script = SetupScriptFile(templateText, inputs);
    SaveTextFile(script, toolFolder + kScriptFileName);
    return script;
}
