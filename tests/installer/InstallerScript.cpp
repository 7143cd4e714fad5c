#include "InstallerScript.h"

#include "app/ScriptFile.h"
#include "app/VersionResource.h"
#include "base/Paths.h"
#include "base/TextCodes.h"

ProgramRun CompileSetupScript(const ToolFolder& tool, TSetupScriptInputs inputs)
{
    // What "Create setup" reads from the plugin folder.
    inputs.Files = ListFolderTree(WithTrailingBackslash(inputs.Folder));
    inputs.Publisher = VersionStringOf(WithTrailingBackslash(inputs.Folder) + inputs.MainFile, "CompanyName");
    WriteSetupScript(ReadWholeFile(tool.Path() + "plugin.nsi"), inputs, tool.Path());
    return RunCompiler(tool.Path(), tool.Path() + "temp.nsi");
}

std::string DefaultFolderName(const TSetupScriptInputs& inputs)
{
    // The script, and so the name, is UTF-8.
    return AnsiFromUtf8(PluginFolderName(Utf8FromAnsi(inputs.PluginType), Utf8FromAnsi(inputs.PluginName),
                                         Utf8FromAnsi(inputs.MainFile)));
}
