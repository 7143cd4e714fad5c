// Plugin libraries read as data, never loaded: the real test plugins of
// both builds.
#include "core/LibraryImage.h"
#include "tests/support/Folders.h"

#include <gtest/gtest.h>

TEST(LibraryImage, TellsTheBuildTheEntryPointsAndAnIcon)
{
    const struct {
        const char* file;
        TLibraryMachine machine;
        const char* entry;
        bool icon;
    } rows[] = {
        {"testfs.wfx", TLibraryMachine::X86, "FsFindFirst", false},
        {"testfs64.wfx64", TLibraryMachine::X64, "FsFindFirst", false},
        {"viewer.wlx", TLibraryMachine::X86, "ListLoad", false},
        {"versioned.wfx", TLibraryMachine::X86, "FsFindFirst", true},
    };
    for (const auto& row : rows) {
        const TLibraryImage image = ReadLibraryImage(TestPlugin(row.file));
        EXPECT_EQ(image.Kind, TLibraryKind::Library) << row.file;
        EXPECT_EQ(image.Machine, row.machine) << row.file;
        EXPECT_TRUE(image.HasExport(row.entry)) << row.file;
        EXPECT_EQ(image.HasIcon, row.icon) << row.file;
    }
    EXPECT_EQ(ReadLibraryImage(TestPlugin("no such file.wfx")).Kind, TLibraryKind::NotALibrary);
}
