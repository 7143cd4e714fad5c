#include "core/AppFolder.h"
#include "tests/support/Folders.h"

#include <algorithm>

#include <gtest/gtest.h>

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
    for (const std::string& file : EntriesOf(folder.Path() + "languages\\*.nlf"))
        expected.push_back(file.substr(0, file.rfind('.')));

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
