#include "InstallerScript.h"

#include "app/ScriptFile.h"
#include "app/VersionResource.h"
#include "base/Paths.h"

ProgramRun CompileSetupScript(const ToolFolder& tool, TSetupScriptInputs inputs)
{
    // What "Create setup" reads from the plugin folder.
    inputs.Files = ListFolderTree(WithTrailingBackslash(inputs.Folder));
    inputs.Publisher = VersionStringOf(WithTrailingBackslash(inputs.Folder) + inputs.MainFile, "CompanyName");
    WriteSetupScript(ReadWholeFile(tool.Path() + "plugin.nsi"), inputs, tool.Path());
    return RunCompiler(tool.Path(), tool.Path() + "temp.nsi");
}
