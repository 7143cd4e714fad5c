#include "app/ReplaceAll.h"
#include "app/SetupScript.h"

#include <gtest/gtest.h>

TEST(ReplaceAll, ReplacesLeftToRightWithoutOverlapsOrRescanning)
{
    EXPECT_EQ(ReplaceAll("abXYcdXY", "XY", "1"), "ab1cd1");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAll("x", "x", "xx"), "xx");
    EXPECT_EQ(ReplaceAll("source", "", "z"), "source");
    EXPECT_EQ(ReplaceAll("#01  WriteUninstaller", "#01", ""), "  WriteUninstaller");
    EXPECT_EQ(ReplaceAll("Abc abc", "abc", "-"), "Abc -"); // case-sensitive
    EXPECT_EQ(ReplaceAll("", "a", "b"), "");
    EXPECT_EQ(ReplaceAll("no match", "zz", "y"), "no match");
    EXPECT_EQ(ReplaceAll("aXa", "a", ""), "X");
}

TEST(ReplaceAll, IsByteExactAcrossNulsAndHighBytes)
{
    const std::string source("a\0b\xE9\r\n\0b", 8);
    EXPECT_EQ(ReplaceAll(source, std::string("\0b", 2), "Z"), std::string("aZ\xE9\r\nZ", 6));
}

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
    inputs.CheckedLanguages = std::move(languages);
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

TEST(SetupScript, ValuesAreInsertedOnceAndNeverSearchedAgain)
{
    auto inputs = Inputs({});
    inputs.PluginName = "A*main_file*B#01";
    inputs.MainFile = "*plugin_name*.wfx";
    inputs.Uninstaller = true;
    const std::string script = FillSetupScript(kTemplate, inputs);
    EXPECT_NE(script.find("Name \"A*main_file*B#01\""), std::string::npos) << script;
    EXPECT_NE(script.find("OutFile \"*plugin_name*.wfx_setup.exe\""), std::string::npos) << script;
    EXPECT_NE(script.find("\r\n  WriteUninstaller"), std::string::npos) << script;
}

TEST(SetupScript, ValuesAreWrittenForRuntimeStringsOrCompileTimeText)
{
    struct Row {
        std::string value, runtime, compileTime;
    };
    const Row rows[] = {
        {"Cost 100% 'Pro' & `x`;#", "Cost 100% 'Pro' & `x`;#", "Cost 100% 'Pro' & `x`;#"},
        {"$WINDIR", "${U+24}${U+24}WINDIR", "${U+24}WINDIR"},
        {"${X}$%TEMP%$\\n$$", "${U+24}${U+24}{X}${U+24}${U+24}%TEMP%${U+24}${U+24}\\n${U+24}${U+24}${U+24}${U+24}",
         "${U+24}{X}${U+24}%TEMP%${U+24}\\n${U+24}${U+24}"},
        {"say \"hi\"\\", "say $\\\"hi$\\\"\\", "say $\\\"hi$\\\"\\"},
        {"a\tb\r\nc", "a$\\tb$\\r$\\nc", "a$\\tb$\\r$\\nc"},
        {"caf\xE9", "caf\xE9", "caf\xE9"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(RuntimeString(row.value), row.runtime) << row.value;
        EXPECT_EQ(CompileTimeText(row.value), row.compileTime) << row.value;
    }
    // Language files and the licence are read by the compiler; the language
    // names shown by the installer are runtime strings.
    const TLanguageBlocks blocks = BuildLanguageBlocks({"Fr$nch", "English"});
    EXPECT_EQ(blocks.Load, "  LoadLanguageFile \"languages\\Fr${U+24}nch.nlf\"\r\n"
                           "  LoadLanguageFile \"languages\\English.nlf\"\r\n");
    EXPECT_NE(blocks.Dialog.find("  Push ${LANG_FR$NCH}\r\n  Push \"Fr${U+24}${U+24}nch\"\r\n"), std::string::npos);
    EXPECT_EQ(LicenseBlock("C:\\$%TEMP%\\l.txt"), "  Page license\r\n  LicenseData \"C:\\${U+24}%TEMP%\\l.txt\"");
}

TEST(SetupScript, FolderSafeNamesNeverLeaveTheirFolder)
{
    const std::pair<std::string, std::string> rows[] = {
        {"My Plugin 2.0", "My Plugin 2.0"},
        {".", "_"},
        {"..", "__"},
        {" Name. .", " Name___"},
        {"a\\b/c:d*e?f\"g<h>i|j\tk", "a_b_c_d_e_f_g_h_i_j_k"},
        {"$WINDIR%&'", "$WINDIR%&'"},
        {"con", "con_"},
        {"Lpt1.txt", "Lpt1_.txt"},
        {"NUL .x", "NUL _.x"},
        {"COM0", "COM0"},
        {"CONSOLE", "CONSOLE"},
        {"", "_"},
    };
    for (const auto& [name, safe] : rows)
        EXPECT_EQ(FolderSafeName(name), safe) << name;
    EXPECT_EQ(DoubledAmpersands("A & B && C"), "A && B &&&& C");
}

TEST(SetupScript, InstalledFilesComeFromTheListingAndOnlyFilesAreDeleted)
{
    const std::vector<std::string> entries = {"fs.wfx", "lang\\", "lang\\de$x.lng", "lang\\empty\\"};
    EXPECT_EQ(InstallFilesBlock("C:\\p$\\", entries),
              "  File \"/oname=$INSTDIR\\fs.wfx\" \"C:\\p${U+24}\\fs.wfx\"\r\n"
              "  Push \"$INSTDIR\\lang\"\r\n"
              "  Call CreateFolder\r\n"
              "  File \"/oname=$INSTDIR\\lang\\de${U+24}${U+24}x.lng\" \"C:\\p${U+24}\\lang\\de${U+24}x.lng\"\r\n"
              "  Push \"$INSTDIR\\lang\\empty\"\r\n"
              "  Call CreateFolder\r\n");
    EXPECT_EQ(UninstallFilesBlock(entries),
              "  Delete \"$INSTDIR\\fs.wfx\"\r\n  Delete \"$INSTDIR\\lang\\de${U+24}${U+24}x.lng\"\r\n");

    // The uninstall lines only with an uninstaller; the folder gets its
    // backslash when typed without one.
    auto inputs = Inputs({});
    inputs.Folder = "C:\\plug";
    inputs.Files = {"my.wfx"};
    const std::string lines = "[*install_files*|*uninstall_files*|*local_folder*]";
    EXPECT_EQ(FillSetupScript(lines, inputs), "[  File \"/oname=$INSTDIR\\my.wfx\" \"C:\\plug\\my.wfx\"\r\n||C:\\plug\\]");
    inputs.Uninstaller = true;
    EXPECT_EQ(FillSetupScript(lines, inputs), "[  File \"/oname=$INSTDIR\\my.wfx\" \"C:\\plug\\my.wfx\"\r\n|"
                                             "  Delete \"$INSTDIR\\my.wfx\"\r\n|C:\\plug\\]");
}

TEST(SetupScript, ValidationListsEveryProblemInOrder)
{
    EXPECT_EQ(ValidateSetupInputs("", "", 0, -1), "You must specify a plugin name\r\nYou must specify a folder\r\n");
    EXPECT_EQ(ValidateSetupInputs("Name", "C:\\p\\", 0, -1), "The folder doesn't contains any file\r\n");
    EXPECT_EQ(ValidateSetupInputs("Name", "C:\\p\\", 3, -1), "You must specify the plugin main file\r\n");
    EXPECT_EQ(ValidateSetupInputs("", "C:\\p\\", 3, -1),
              "You must specify a plugin name\r\nYou must specify the plugin main file\r\n");
    EXPECT_EQ(ValidateSetupInputs(" ", "C:\\p\\", 3, 1), ""); // blanks are not empty
}
