#include "core/SetupPlan.h"
#include "core/SetupScript.h"

#include <gtest/gtest.h>

namespace {

const std::string kTails = "  Push A\r\n"
                           "  LangDLL::LangDialog \"Language\" \"Please select the language of the installer\"\r\n"
                           "  Pop $LANGUAGE\r\n"
                           "  StrCmp $LANGUAGE \"cancel\" 0 +2\r\n"
                           "    Abort\r\n";

const std::string kTemplate = "Name \"*plugin_name*\"\r\n"
                              "File \"*local_folder**.*\"\r\n"
                              "OutFile \"*main_file*_setup.exe\"\r\n"
                              "Type *plugin_type*\r\n"
                              "*languages*"
                              "[*license*]\r\n"
                              "Function .onInit\r\n*pushlang*FunctionEnd\r\n"
                              "#01  WriteUninstaller \"$INSTDIR\\uninst.exe\"\r\n";

TSetupScriptInputs Inputs(std::vector<std::string> languages)
{
    TSetupScriptInputs inputs;
    inputs.PluginName = "MyPlugin";
    inputs.Folder = "C:\\plug\\";
    inputs.MainFile = "my.wfx";
    inputs.PluginType = "WFX";
    inputs.Languages = std::move(languages);
    return inputs;
}

std::string Expected(const std::string& languages, const std::string& license, const std::string& pushlang,
                     const std::string& marker = "#01")
{
    return "Name \"MyPlugin\"\r\n"
           "File \"C:\\plug\\*.*\"\r\n"
           "OutFile \"my.wfx_setup.exe\"\r\n"
           "Type WFX\r\n" +
           languages + "[" + license + "]\r\n" + "Function .onInit\r\n" + pushlang + "FunctionEnd\r\n" + marker +
           "  WriteUninstaller \"$INSTDIR\\uninst.exe\"\r\n";
}

} // namespace

TEST(SetupScript, LanguageCountsDecideBothBlocks)
{
    EXPECT_EQ(FillSetupScript(kTemplate, Inputs({})), Expected("", "", ""));
    EXPECT_EQ(FillSetupScript(kTemplate, Inputs({"English"})), Expected("", "", ""));
    EXPECT_EQ(FillSetupScript(kTemplate, Inputs({"French"})),
              Expected("  LoadLanguageFile \"languages\\French.nlf\"\r\n", "", ""));
    EXPECT_EQ(FillSetupScript(kTemplate, Inputs({"English", "French"})),
              Expected("  LoadLanguageFile \"languages\\English.nlf\"\r\n"
                       "  LoadLanguageFile \"languages\\French.nlf\"\r\n",
                       "",
                       "Push \"\"\r\n"
                       "  Push ${LANG_ENGLISH}\r\n"
                       "  Push \"English\"\r\n"
                       "  Push ${LANG_FRENCH}\r\n"
                       "  Push \"French\"\r\n" +
                           kTails));
}

TEST(SetupScript, OnlyAnEnglishLoadLineCountsAsEnglish)
{
    // The test is case-sensitive on the whole load line.
    EXPECT_EQ(BuildLanguageBlocks({"english"}).Load, "  LoadLanguageFile \"languages\\english.nlf\"\r\n");
    EXPECT_EQ(BuildLanguageBlocks({"English2"}).Load, "  LoadLanguageFile \"languages\\English2.nlf\"\r\n");
    EXPECT_EQ(BuildLanguageBlocks({"English.nlf.old"}).Load, "");
    // English among others is loaded like any language.
    EXPECT_EQ(BuildLanguageBlocks({"French", "English"}).Load,
              "  LoadLanguageFile \"languages\\French.nlf\"\r\n  LoadLanguageFile \"languages\\English.nlf\"\r\n");
    EXPECT_EQ(BuildLanguageBlocks({"SimpChinese", "PortugueseBR"}).Dialog,
              "Push \"\"\r\n  Push ${LANG_SIMPCHINESE}\r\n  Push \"SimpChinese\"\r\n"
              "  Push ${LANG_PORTUGUESEBR}\r\n  Push \"PortugueseBR\"\r\n" +
                  kTails);
}

TEST(SetupScript, LicenseOnlyWhenTheFileExists)
{
    auto inputs = Inputs({});
    inputs.LicensePath = "C:\\docs\\license.txt";
    EXPECT_EQ(FillSetupScript(kTemplate, inputs), Expected("", "", ""));
    inputs.LicenseExists = true;
    EXPECT_EQ(FillSetupScript(kTemplate, inputs),
              Expected("", "  Page license\r\n  LicenseData \"C:\\docs\\license.txt\"", ""));
}

TEST(SetupScript, UninstallerMarkersGoOnlyWhenAsked)
{
    auto inputs = Inputs({});
    EXPECT_EQ(FillSetupScript(kTemplate, inputs), Expected("", "", "", "#01"));
    inputs.Uninstaller = true;
    EXPECT_EQ(FillSetupScript(kTemplate, inputs), Expected("", "", "", ""));
}

TEST(SetupScript, ValuesAreInsertedOnceEachWrittenForItsPlace)
{
    auto inputs = Inputs({"Fr$nch"});
    inputs.PluginName = "A*main_file*B#01 $\"";
    inputs.Folder = "C:\\plug"; // typed without its backslash
    inputs.MainFile = "*plugin_name*$.wfx";
    inputs.Uninstaller = true;
    const std::string script = FillSetupScript(kTemplate, inputs);
    // Runtime strings take "$$" for "$", compile-time paths one "$".
    EXPECT_NE(script.find("Name \"A*main_file*B#01 ${U+24}${U+24}$\\\"\"\r\n"), std::string::npos) << script;
    EXPECT_NE(script.find("File \"C:\\plug\\*.*\""), std::string::npos) << script;
    EXPECT_NE(script.find("OutFile \"*plugin_name*${U+24}.wfx_setup.exe\""), std::string::npos) << script;
    EXPECT_NE(script.find("LoadLanguageFile \"languages\\Fr${U+24}nch.nlf\""), std::string::npos) << script;
    EXPECT_NE(script.find("\r\n  WriteUninstaller"), std::string::npos) << script;
}

TEST(SetupScript, PlaceholdersAreFoundWhereverTheyStand)
{
    auto inputs = Inputs({});
    inputs.PluginName = "N&M";
    inputs.Uninstaller = true;
    const struct {
        std::string Template, Filled;
    } cases[] = {
        {"", ""},
        {"*", "*"},
        {"#", "#"},
        {"*plugin_name*", "N&M"},
        {"*plugin_name", "*plugin_name"},
        {"**plugin_type*", "*WFX"},
        {"#0#01", "#0"},
        {"*plugin_type**plugin_name_doubled_ampersands*", "WFXN&&M"},
        {"*plugin_folder_name*#01*main_file*.", "N&M (my)my.wfx."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FillSetupScript(c.Template, inputs), c.Filled) << c.Template;
    // At every place relative to the blocks the text is searched in.
    for (std::size_t offset = 0; offset < 40; ++offset) {
        const std::string before(offset, '*'), after = " *plugin_type*#01*";
        EXPECT_EQ(FillSetupScript(before + "*plugin_name**plugin_type*#01" + after, inputs),
                  before + "N&MWFX WFX*") << offset;
    }
}

TEST(SetupScript, FolderSafeNamesStayInTheirFolder)
{
    const std::pair<std::string, std::string> rows[] = {
        {"My Plugin 2.0", "My Plugin 2.0"}, {".", "_"},           {"..", "__"},         {" A. .", " A___"},
        {"a\\b/c:d*e?f\"g<h>i|j\tk", "a_b_c_d_e_f_g_h_i_j_k"}, {"con", "con_"}, {"Lpt1.x", "Lpt1_.x"},
        {"COM0", "COM0"},                   {"CONSOLE", "CONSOLE"},
    };
    for (const auto& [name, safe] : rows)
        EXPECT_EQ(FolderSafeName(name), safe) << name;
}

TEST(SetupScript, PluginFolderNamesTellPluginsApartAndFit)
{
    // Names that read back as one plugin stay as they are, and so do the
    // names earlier setups gave.
    const std::string readable[][5] = {
        {"WLX", "viewer", "Viewer.WLX", "viewer", "viewer"},
        {"WFX", "Vault", "crash.wfx", "Vault (crash)", "Vault (crash)"},
        {"WFX", "TestFS64", "testfs64.wfx64", "TestFS64 (testfs64.wfx64)", "TestFS64"},
    };
    for (const auto& [type, name, mainFile, folder, earlier] : readable) {
        EXPECT_EQ(PluginFolderName(type, name, mainFile), folder) << name;
        EXPECT_EQ(EarlierFolderName(name, mainFile), earlier) << name;
    }
    // Plugins that differ only where brackets or folder-safe characters make
    // them look alike, or in the main file's extension, get names of their
    // own; one that differs only in letter case is the same plugin.
    const std::string pairs[][4] = {
        {"Net (ftp)", "Net (ftp).wfx", "Net", "ftp.wfx"},
        {"a:b", "x.wfx", "a?b", "x.wfx"},
        {"A", "b (c).wfx", "A (b", "c).wfx"},
        {"fs", "fs.wfx", "fs", "fs.wfx64"},
        {"N", "x.wfx64.wfx", "N", "x.wfx64"},
    };
    for (const auto& [name, mainFile, otherName, otherMainFile] : pairs)
        EXPECT_NE(PluginFolderName("WFX", name, mainFile), PluginFolderName("WFX", otherName, otherMainFile)) << name;
    EXPECT_EQ(PluginFolderName("WFX", "Net (ftp)", "Net (ftp).wfx").substr(0, 10), "Net (ftp)~");
    const std::string lower = PluginFolderName("WFX", "Caf\xC3\xA9 (1)", "x.wfx");
    const std::string upper = PluginFolderName("WFX", "CAF\xC3\x89 (1)", "X.WFX");
    EXPECT_EQ(lower.substr(lower.size() - 9), upper.substr(upper.size() - 9));
    // Longer than 64 bytes: cut, never inside a character ("\xD0\x96" is one),
    // and told apart by a hash of the whole.
    const std::string name = std::string(54, 'x') + "\xD0\x96" + std::string(200, 'y');
    const std::string folder = PluginFolderName("WFX", name, "x.wfx");
    EXPECT_EQ(folder.substr(0, 55), std::string(54, 'x') + "~");
    EXPECT_EQ(folder.size(), 63u);
    EXPECT_NE(folder, PluginFolderName("WFX", name + "y", "x.wfx"));
}

TEST(SetupScript, EachFolderIsPackedByOneCommandLeavingOutWhatIsNotPacked)
{
    const std::vector<std::string> entries = {"a.txt",   "sub\\",         "sub\\b$.txt",
                                              "empty\\", "sub\\deep\\", "sub\\deep\\c.txt"};
    EXPECT_EQ(InstallFilesBlock("C:\\p$\\", entries, {"fs.wfx_setup.exe", "sub\\old $X.exe", "sub\\old2.exe"}),
              "  SetOutPath \"$INSTDIR\"\r\n"
              "  File \"/x\" \"fs.wfx_setup.exe\" \"C:\\p${U+24}\\*\"\r\n"
              "  SetOutPath \"$INSTDIR\\sub\"\r\n"
              "  File \"/x\" \"old ${U+24}X.exe\" \"/x\" \"old2.exe\" \"C:\\p${U+24}\\sub\\*\"\r\n"
              "  SetOutPath \"$INSTDIR\\sub\\deep\"\r\n"
              "  File \"C:\\p${U+24}\\sub\\deep\\*\"\r\n");
    // The folder of backups never takes a name the plugin has at its top.
    const std::pair<std::vector<std::string>, std::string> backups[] = {
        {{}, "~setup"},
        {{"~Setup1.txt"}, "~setup~"},
        {{"~SETUP~\\", "~setup"}, "~setup~~"},
        {{"sub\\~setup"}, "~setup"},
    };
    for (const auto& [files, name] : backups)
        EXPECT_EQ(BackupFolderName(files), name);
}

TEST(SetupScript, ValidationListsEveryProblemInOrder)
{
    using K = TEntryKind;
    const struct {
        const char* name;
        const char* folder;
        bool listed;
        const char* mainFileName;
        bool folderExists;
        TEntryKind mainFile;
        const char* license;
        TEntryKind licenseKind;
        const char* problems;
    } cases[] = {
        {"", "", false, "", false, K::None, "", K::None, "You must specify a plugin name\r\nYou must specify a folder"},
        {"Name", "C:\\p\\", false, "", true, K::None, "", K::None, "The folder doesn't contains any file"},
        {"Name", "C:\\p\\", true, "", true, K::None, "", K::None, "You must specify the plugin main file"},
        {"", "C:\\p\\", true, "", true, K::None, "", K::None,
         "You must specify a plugin name\r\nYou must specify the plugin main file"},
        {"Name", "C:\\p\\", true, "fs.wfx", true, K::File, "C:\\l.txt", K::File, ""},
        {"   ", "C:\\p\\", true, "fs.wfx", true, K::File, "", K::None, "The plugin name can't be made of blanks only"},
        {"Two\r\nlines\t", "C:\\p\\", true, "fs.wfx", true, K::File, "", K::None,
         "The plugin name can't hold control characters, such as a line break"},
        // A half-typed folder, with the list an earlier folder left behind.
        {"Name", "C:\\pl", true, "fs.wfx", false, K::None, "", K::None, "The folder doesn't exist"},
        {"", "C:\\pl", false, "", false, K::None, "", K::None,
         "You must specify a plugin name\r\nThe folder doesn't contains any file\r\nThe folder doesn't exist"},
        // A folder that lacks the selected main file (a drive root that listed nothing).
        {"Name", "D:\\", true, "fs.wfx", true, K::None, "", K::None, "The plugin main file isn't in the folder"},
        // ".", ".." or a subfolder as main file; a licence that is no file.
        {"Name", "C:\\p\\", true, ".", true, K::Folder, "C:\\p\\", K::Folder,
         "The plugin main file must be a file, not a folder\r\nThe license file doesn't exist"},
        {"", "C:\\p\\", true, "fs.wfx", true, K::None, "C:\\gone.txt", K::None,
         "You must specify a plugin name\r\nThe plugin main file isn't in the folder\r\nThe license file doesn't exist"},
    };
    for (const auto& c : cases) {
        TSetupRequest request;
        request.PluginName = c.name;
        request.Folder = c.folder;
        request.EntriesListed = c.listed;
        request.MainFile = c.mainFileName;
        request.LicensePath = c.license;
        const TRequestPaths paths{c.folderExists, c.mainFile, c.licenseKind};
        EXPECT_EQ(JoinedLines(ValidateSetupInputs(request, paths)), c.problems) << c.name << "|" << c.folder;
    }
    // While the plugin is asked, the name field may still change.
    TSetupRequest asked;
    asked.NameAsked = true;
    asked.Folder = "C:\\p\\";
    asked.EntriesListed = true;
    asked.MainFile = "fs.wfx";
    EXPECT_EQ(JoinedLines(ValidateSetupInputs(asked, {true, K::File, K::None})), "The plugin is still being asked for its name: try again in a moment");
}

TEST(SetupScript, BrandAndTranslationsReachTheTemplateAsItsDefinesAndIncludes)
{
    TSetupScriptInputs inputs;
    EXPECT_EQ(BrandBlock(inputs), "");
    inputs.IconPath = "C:\\art\\plugin.ico";
    inputs.Url = "https://example.com/p?a=1&b=2";
    inputs.MainFileIcon = true;
    EXPECT_EQ(BrandBlock(inputs), "!define /redef BRAND_ICON \"C:\\art\\plugin.ico\"\r\n"
                                  "!define /redef BRAND_URL \"https://example.com/p?a=1&b=2\"\r\n"
                                  "!define /redef MAIN_FILE_ICON\r\n");
    EXPECT_EQ(TranslationsBlock({}, {}), "!define /redef SETUP_TEXTS_LANGUAGE 1033\r\n"
                                         "!include \"translations\\English.nsh\"\r\n");
    // A language without its own file speaks English.
    EXPECT_EQ(TranslationsBlock({"German", "Klingon"}, {"German"}),
              "!define /redef SETUP_TEXTS_LANGUAGE ${LANG_GERMAN}\r\n!include \"translations\\German.nsh\"\r\n"
              "!define /redef SETUP_TEXTS_LANGUAGE ${LANG_KLINGON}\r\n!include \"translations\\English.nsh\"\r\n");
    for (const char* refused : {"a\"b", "a$b", "a`b", "a\nb"})
        EXPECT_FALSE(BrandValueProblem("The publisher", refused).empty()) << refused;
    EXPECT_EQ(BrandValueProblem("The publisher", "Ex & Co. (\u00E9)"), "");
}
