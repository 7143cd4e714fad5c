#include "app/AppFolder.h"
#include "base/Paths.h"
#include "tests/support/TestSupport.h"

#include <algorithm>

#include <gtest/gtest.h>

TEST(AppFolder, IsTheFolderPartWithTrailingBackslash)
{
    EXPECT_EQ(FolderOfPath("C:\\x.y\\MyTool.v2.exe"), "C:\\x.y\\");
    EXPECT_EQ(FolderOfPath("C:\\MyTool.exe"), "C:\\");
    EXPECT_EQ(FolderOfPath("\\\\server\\share\\tool.exe"), "\\\\server\\share\\");
}

TEST(LanguageNames, DropOnlyTheLastExtensionInFileSystemOrder)
{
    TempFolder folder;
    folder.Write("languages\\English.nlf");
    folder.Write("languages\\Simp.Chinese.nlf");
    folder.Write("languages\\French.nlf");
    folder.Write("languages\\readme.txt");
    folder.MakeFolder("languages\\Sub.nlf");

    // The order is whatever the file system returns; read it from there.
    std::vector<std::string> expected;
    WIN32_FIND_DATAA entry{};
    HANDLE find = FindFirstFileA((folder.Path() + "languages\\*.nlf").c_str(), &entry);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        std::string name = entry.cFileName;
        expected.push_back(name.substr(0, name.rfind('.')));
    } while (FindNextFileA(find, &entry));
    FindClose(find);

    const auto names = ListLanguageNames(folder.Path() + "languages\\*.nlf");
    EXPECT_EQ(names, expected);
    EXPECT_NE(std::find(names.begin(), names.end(), "Simp.Chinese"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "English"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "Sub"), names.end()); // every attribute admitted
    EXPECT_EQ(names.size(), 4u);
}

TEST(LanguageNames, MissingFolderGivesEmptyList)
{
    TempFolder folder;
    EXPECT_TRUE(ListLanguageNames(folder.Path() + "languages\\*.nlf").empty());
}
