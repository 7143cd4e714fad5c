// This program declares no code page: the system's (1252 here) lacks Cyrillic and CJK.
#include "core/ReachableNames.h"
#include "base/TextCodes.h"
#include "tests/support/Folders.h"

#include <gtest/gtest.h>

TEST(ReachableNames, TheFirstNameOutsideTheCodePageIsRefused)
{
    const std::string lost = ": its name holds characters that this system cannot give the tool (shown as \"?\"); "
                             "rename it, or create the setup on Windows 10 version 1903 or later.";
    const struct {
        std::vector<std::wstring> entries; // created in this order; a folder ends with a backslash
        std::string license, line;
    } rows[] = {
        {{L"caf\u00E9.txt", L"sub\\", L"sub\\r\u00E9sum\u00E9.dat"}, "", ""},
        {{L"sub\\", L"sub\\\u0416", L"\u65E5.txt"}, "", "\"sub\\?\" in the plugin folder cannot be packed" + lost},
        {{}, "C:\\?\\l.txt", "The license \"C:\\?\\l.txt\" cannot be used" + lost},
    };
    for (const auto& row : rows) {
        TempFolder folder;
        const std::wstring wide = ToWide(folder.Path(), CP_ACP);
        for (const std::wstring& entry : row.entries)
            entry.back() == L'\\' ? CreateDirectoryW((wide + entry).c_str(), nullptr)
                                  : CloseHandle(CreateFileW((wide + entry).c_str(), GENERIC_WRITE, 0, nullptr,
                                                            CREATE_NEW, 0, nullptr));
        EXPECT_EQ(UnreachableNameLine(folder.Path(), WalkFolderTree(folder.Path()), row.license), row.line);
        for (auto entry = row.entries.rbegin(); entry != row.entries.rend(); ++entry) // this program cannot name them
            entry->back() == L'\\' ? RemoveDirectoryW((wide + *entry).c_str()) : DeleteFileW((wide + *entry).c_str());
    }
    EXPECT_EQ(UnreachableNameLine("C:\\?\\plugin\\", TFolderTree(), ""), "The folder \"C:\\?\\plugin\\\" cannot be used" + lost);
}
