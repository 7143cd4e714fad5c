#include "InstallerScript.h"

#include "core/SetupPlan.h"
#include "core/VersionResource.h"
#include "base/FolderTree.h"
#include "base/Paths.h"
#include "base/TextCodes.h"

ProgramRun CompileSetupScript(const ToolFolder& tool, TSetupScriptInputs inputs)
{
    // What "Create setup" reads from the plugin folder.
    inputs.Files = ListFolderTree(WithTrailingBackslash(inputs.Folder));
    const std::string mainFile = WithTrailingBackslash(inputs.Folder) + inputs.MainFile;
    const TVersionInfo version = ReadVersionInfo(mainFile);
    inputs.CompanyName = version.CompanyName;
    inputs.Version = version.FileVersion;
    inputs.MainFileIcon = ReadLibraryImage(mainFile).HasIcon;
    inputs.Translated = TranslatedLanguages(inputs.Languages, tool.Path());
    WriteSetupScript(Utf8OfTextFile(ReadWholeFile(tool.Path() + "plugin.nsi")), inputs, tool.Path());
    return RunCompiler(tool.Path(), tool.Path() + "temp.nsi");
}
