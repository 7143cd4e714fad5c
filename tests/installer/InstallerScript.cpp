#include "InstallerScript.h"

#include "app/VersionResource.h"
#include "base/FolderTree.h"
#include "base/Paths.h"

ProgramRun CompileSetupScript(const ToolFolder& tool, TSetupScriptInputs inputs)
{
    // What "Create setup" reads from the plugin folder.
    inputs.Files = ListFolderTree(WithTrailingBackslash(inputs.Folder));
    const std::string mainFile = WithTrailingBackslash(inputs.Folder) + inputs.MainFile;
    inputs.Publisher = VersionStringOf(mainFile, "CompanyName");
    inputs.Version = FileVersionOf(mainFile);
    WriteSetupScript(ReadWholeFile(tool.Path() + "plugin.nsi"), inputs, tool.Path());
    return RunCompiler(tool.Path(), tool.Path() + "temp.nsi");
}
