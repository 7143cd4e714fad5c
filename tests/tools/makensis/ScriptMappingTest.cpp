// How the Wine host's makensis.exe turns the tool's script into one the host
// compiler reads.
#include "tools/makensis/HostPaths.h"
#include "tools/makensis/ScriptMapping.h"

#include "tests/support/Folders.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

// Marks each mapped path so the tests see exactly what was taken as a path.
std::string Bracket(const std::string& path) { return "<" + path + ">"; }

} // namespace

TEST(MapDrivePaths, TakesQuotedPathsWholeAndUnquotedOnesUpToABlank)
{
    EXPECT_EQ(MapDrivePaths("  File /r \"C:\\my plugin\\*.*\"\r\n", Bracket), "  File /r \"<C:\\my plugin\\*.*>\"\r\n");
    EXPECT_EQ(MapDrivePaths("LicenseData 'd:/a b/licence.txt' ; note", Bracket),
              "LicenseData '<d:/a b/licence.txt>' ; note");
    EXPECT_EQ(MapDrivePaths("File `Z:\\x \"y\"\\z`", Bracket), "File `<Z:\\x \"y\"\\z>`");
    EXPECT_EQ(MapDrivePaths("File C:\\a\\b.txt /x", Bracket), "File <C:\\a\\b.txt> /x");
    EXPECT_EQ(MapDrivePaths("File /oname=C:\\x.dll C:\\y.dll", Bracket), "File /oname=<C:\\x.dll> <C:\\y.dll>");
    // An unclosed quote ends the path at the line's end, before its break.
    EXPECT_EQ(MapDrivePaths("File \"C:\\a b\r\nName x", Bracket), "File \"<C:\\a b>\r\nName x");
    EXPECT_EQ(MapDrivePaths("File \"C:\\a\"\n  LoadLanguageFile \"E:\\l\\French.nlf\"\n", Bracket),
              "File \"<C:\\a>\"\n  LoadLanguageFile \"<E:\\l\\French.nlf>\"\n");
    EXPECT_EQ(MapDrivePaths("\tfile C:\\at\\end", Bracket), "\tfile <C:\\at\\end>");
    // Only the file of a File with an output name; the version of a library.
    EXPECT_EQ(MapDrivePaths("  File \"/oname=$INSTDIR\\C x\" \"C:\\src\\C x\"", Bracket),
              "  File \"/oname=$INSTDIR\\C x\" \"<C:\\src\\C x>\"");
    EXPECT_EQ(MapDrivePaths("!getdllversion /noerrors \"C:\\p\\a.wfx\" V_", Bracket),
              "!getdllversion /noerrors \"<C:\\p\\a.wfx>\" V_");
}

TEST(MapDrivePaths, LeavesWhatIsNoDrivePathAlone)
{
    const std::string untouched[] = {
        "InstallDir \"$PROGRAMFILES\\Quillon\\plugins\\WFX\\x\"",
        "OutFile \"fs.wfx_setup.exe\"",
        "  LoadLanguageFile \"languages\\English.nlf\"",
        "File \"see http://example.org/a\"", // a letter and colon inside a word
        "File \"ab:\\c\"",
        "StrCmp $LANGUAGE \"cancel\" 0 +2",
        "File \"C:\"", // a drive without a path
        "File 1:\\",
        // Texts the installer shows or writes: only files of the host are mapped.
        "Name \"Cost C:\\x\" \"Cost C:\\x\"",
        "  WriteRegStr HKLM $UninstallKey \"DisplayName\" \"Cost C:\\x\"",
        "VIAddVersionKey ProductName \"Cost C:\\x\"",
        "; File \"C:\\x\"",
        "Filed \"C:\\x\"",
    };
    for (const std::string& line : untouched)
        EXPECT_EQ(MapDrivePaths(line, Bracket), line);
}

TEST(ShellQuote, KeepsEveryCharacterLiteral)
{
    EXPECT_EQ(ShellQuote("/tmp/a b/$x`y`\"z\""), "'/tmp/a b/$x`y`\"z\"'");
    EXPECT_EQ(ShellQuote("it's"), "'it'\\''s'");
    EXPECT_EQ(ShellQuote(""), "''");
}

TEST(ScriptText, SystemCodePageBecomesUtf8AndAMarkedScriptStaysAsItIs)
{
    // Under Wine the system code page of these tests is 1252.
    ASSERT_EQ(GetACP(), 1252u);
    EXPECT_EQ(ScriptTextAsUtf8("Name \"Caf\xE9\"\r\n"), "Name \"Caf\xC3\xA9\"\r\n");
    EXPECT_EQ(ScriptTextAsUtf8("\xEF\xBB\xBFName \"Caf\xC3\xA9\""), "Name \"Caf\xC3\xA9\"");
    EXPECT_EQ(ScriptTextAsUtf8(""), "");
}

TEST(HostPaths, ResolveThroughWineAndKeepWhatDoesNotExistYet)
{
    ASSERT_TRUE(HostPathsAvailable());
    TempFolder folder;
    folder.Write("Sub Folder\\file.txt", "x");
    // The host path of the folder itself, from Wine.
    const std::string host = HostPathOf(folder.Path());
    ASSERT_FALSE(host.empty());
    EXPECT_EQ(host.front(), '/');
    EXPECT_EQ(host.back(), '/'); // the trailing separator stays

    EXPECT_EQ(HostPathOf(folder.Path() + "Sub Folder\\file.txt"), host + "Sub Folder/file.txt");
    // Letter case follows the host's file system.
    EXPECT_EQ(HostPathOf(folder.Path() + "SUB FOLDER\\FILE.TXT"), host + "Sub Folder/file.txt");
    // Wildcards and folders not yet made are carried over as they are.
    EXPECT_EQ(HostPathOf(folder.Path() + "sub folder\\*.*"), host + "Sub Folder/*.*");
    EXPECT_EQ(HostPathOf(folder.Path() + "new\\deeper\\x?.txt"), host + "new/deeper/x?.txt");
    EXPECT_EQ(HostPathOf(folder.Path() + "new\\deeper\\"), host + "new/deeper/");

    // The way back gives the same folder.
    const std::wstring back = WindowsPathOfHost(host + "Sub Folder");
    EXPECT_NE(GetFileAttributesW(back.c_str()), INVALID_FILE_ATTRIBUTES);
}
