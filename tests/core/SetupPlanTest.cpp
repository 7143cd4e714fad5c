// What the plan of a setup refuses before anything is written, though every
// fact is given: a main file that is no plugin of its kind, a template that
// would leave out what was asked for, names beyond what the system can write.
#include "core/SetupPlan.h"
#include "core/ToolFiles.h"
#include "tests/support/Folders.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

// A file that starts as a Windows program does and whose header points far
// beyond its 64 bytes.
std::string HeaderBeyondTheEnd()
{
    std::string bytes(64, '\0');
    bytes.replace(0, 2, "MZ");
    bytes.replace(0x3C, 4, "\xF0\xFF\xFF\x7F");
    return bytes;
}

void EditTemplate(const std::string& tool, const std::string& from, const std::string& to)
{
    std::string text = ReadWholeFile(tool + kTemplateFileName);
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    WriteWholeFile(tool + kTemplateFileName, text);
}

struct Refusal {
    const char* name;
    // Changes the request for the plugin folder and the tool folder.
    void (*change)(TSetupRequest& request, const std::string& plugin, const std::string& tool);
    const char* line; // the start of the only line
};

void Replace(const std::string& plugin, const std::string& content) { WriteWholeFile(plugin + "fs.wfx", content); }

const Refusal kRefusals[] = {
    {"TextFile", [](TSetupRequest&, const std::string& plugin, const std::string&) { Replace(plugin, "text"); },
     "The plugin main file isn't a Windows library"},
    {"CutShort",
     [](TSetupRequest&, const std::string& plugin, const std::string&) {
         Replace(plugin, ReadWholeFile(TestPlugin("testfs.wfx")).substr(0, 1024));
     },
     "The plugin main file is damaged"},
    {"HeaderBeyondTheEnd",
     [](TSetupRequest&, const std::string& plugin, const std::string&) { Replace(plugin, HeaderBeyondTheEnd()); },
     "The plugin main file is damaged"},
    {"LibraryOfNoPlugin",
     [](TSetupRequest&, const std::string& plugin, const std::string&) {
         Replace(plugin, ReadWholeFile(TestPlugin("libdep.dll")));
     },
     "The plugin main file isn't a WFX plugin: it exports neither FsFindFirst nor FsFindFirstW"},
    {"PluginOfTheOtherType",
     [](TSetupRequest& request, const std::string&, const std::string&) { request.PluginType = "WLX"; },
     "The plugin main file isn't a WLX plugin: it exports neither ListLoad nor ListLoadW"},
    {"TemplateWithoutInstallLines",
     [](TSetupRequest&, const std::string&, const std::string& tool) { EditTemplate(tool, kInstallFilesPlaceholder, ""); },
     "The template \""},
    {"TemplateWithoutLicensePage",
     [](TSetupRequest& request, const std::string& plugin, const std::string& tool) {
         EditTemplate(tool, kLicensePlaceholder, "");
         request.LicensePath = plugin + "readme.txt";
     },
     "The template \""},
    {"TemplateWithoutLanguages",
     [](TSetupRequest& request, const std::string&, const std::string& tool) {
         EditTemplate(tool, kLanguagesPlaceholder, "");
         request.Languages = {"French"};
     },
     "The template \""},
    {"TemplateWritingElsewhere",
     [](TSetupRequest&, const std::string&, const std::string& tool) {
         EditTemplate(tool, "OutFile \"*main_file*_setup.exe\"", "OutFile \"elsewhere.exe\"");
     },
     "The template \""},
    {"IncludeMissing",
     [](TSetupRequest&, const std::string&, const std::string& tool) {
         DeleteFileA((tool + kTemplateIncludeFileName).c_str());
     },
     "The template \""},
    {"TemplateWithoutTexts", [](TSetupRequest&, const std::string&, const std::string& tool) {
         EditTemplate(tool, kTranslationsPlaceholder, ""); }, "The template \""},
    {"IconMissing",
     [](TSetupRequest& request, const std::string& plugin, const std::string&) { request.IconPath = plugin + "p.ico"; },
     "The icon \""},
    {"IconBroken",
     [](TSetupRequest& request, const std::string& plugin, const std::string&) {
         request.IconPath = plugin + "readme.txt";
     },
     "The icon \""},
    {"PublisherBreakingTheDefine",
     [](TSetupRequest& request, const std::string&, const std::string&) { request.Publisher = "Say \"hi\""; },
     "The publisher can't hold"},
    {"InstalledPathTooLong",
     [](TSetupRequest&, const std::string& plugin, const std::string&) {
         WriteWholeFile(plugin + "language\\" + std::string(170, 'n') + ".lng", "x");
     },
     "\"language\\nnnn"},
};

} // namespace

TEST(SetupPlan, RefusesWhatWouldBuildAnotherSetupThanTheOneAskedFor)
{
    for (const Refusal& refusal : kRefusals) {
        SCOPED_TRACE(refusal.name);
        const ToolFolder tool;
        TempFolder parent;
        const std::string plugin = MakePluginFolder(parent, "", {"fs.wfx"});
        TSetupRequest request;
        request.Folder = plugin;
        request.EntriesListed = true;
        request.MainFile = "fs.wfx";
        request.PluginType = "WFX";
        request.PluginName = "Plugin";
        EXPECT_TRUE(PlanSetup(request, tool.Path()).Problems.empty());
        refusal.change(request, plugin, tool.Path());
        const TSetupPlan plan = PlanSetup(request, tool.Path());
        ASSERT_EQ(plan.Problems.size(), 1u) << JoinedLines(plan.Problems);
        EXPECT_EQ(plan.Problems[0].rfind(refusal.line, 0), 0u) << plan.Problems[0];
        EXPECT_FALSE(FileExistsAt(tool.Path() + kScriptFileName));
    }
}
