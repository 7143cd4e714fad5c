#include "core/InstallerDelivery.h"
#include "base/Paths.h"
#include "tests/support/Folders.h"

#include <vector>

#include <gtest/gtest.h>

TEST(InstallerDelivery, OnlyAFileWrittenAfterTheStampCountsAsNew)
{
    TempFolder folder;
    const std::string path = folder.Path() + "plug.wfx_setup.exe";

    const TFileStamp absent = FileStampOf(path);
    EXPECT_FALSE(absent.Exists);
    EXPECT_FALSE(WrittenSince(absent, path)); // nothing written at all

    folder.Write("plug.wfx_setup.exe", "old installer");
    EXPECT_TRUE(WrittenSince(absent, path)); // appeared since

    const TFileStamp old = FileStampOf(path);
    EXPECT_TRUE(old.Exists);
    EXPECT_FALSE(WrittenSince(old, path)); // a stale installer is not fresh

    // Written again: a new time, even with the same size.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ULARGE_INTEGER time{};
    time.LowPart = old.Written.dwLowDateTime;
    time.HighPart = old.Written.dwHighDateTime;
    time.QuadPart += 20000000; // two seconds
    const FILETIME later{time.LowPart, time.HighPart};
    SetFileTime(file, nullptr, nullptr, &later);
    CloseHandle(file);
    EXPECT_TRUE(WrittenSince(old, path));

    // A folder of that name is no installer.
    TempFolder other;
    other.MakeFolder("x_setup.exe");
    EXPECT_FALSE(WrittenSince(absent, other.Path() + "x_setup.exe"));
}

TEST(InstallerDelivery, PlacingReplacesOnlyWhenAskedAndLeavesNothingBesideOnAFailure)
{
    TempFolder tool, destination;
    const std::string source = tool.Write("p.wfx_setup.exe", "new");
    const std::string target = destination.Write("p.wfx_setup.exe", "older");

    EXPECT_EQ(PlaceSetup(source, target, false).Outcome, TPlaceOutcome::TargetExists);
    EXPECT_EQ(ReadWholeFile(source), "new");
    EXPECT_EQ(ReadWholeFile(target), "older");

    // A target that cannot be replaced (a folder of its name): the source
    // stays for another try, and nothing is left beside the target.
    const std::string occupied = destination.MakeFolder("q.wfx_setup.exe");
    const TPlacing refused = PlaceSetup(source, WithoutTrailingBackslash(occupied), true);
    EXPECT_EQ(refused.Outcome, TPlaceOutcome::Failed);
    EXPECT_NE(refused.Error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(ReadWholeFile(source), "new");
    EXPECT_EQ(TreeOf(destination.Path()), (std::vector<std::string>{"p.wfx_setup.exe", "q.wfx_setup.exe\\"}));

    const TPlacing missing = PlaceSetup(source, tool.Path() + "no such folder\\p.wfx_setup.exe", false);
    EXPECT_EQ(missing.Outcome, TPlaceOutcome::Failed);
    EXPECT_EQ(missing.Error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(ReadWholeFile(source), "new");

    EXPECT_EQ(PlaceSetup(source, target, true).Outcome, TPlaceOutcome::Placed);
    EXPECT_FALSE(FileExistsAt(source));
    EXPECT_EQ(ReadWholeFile(target), "new");
    EXPECT_NE(PlacingFailureText(target, ERROR_DISK_FULL, true).find("The earlier setup there was kept"),
              std::string::npos);
}

TEST(InstallerDelivery, TheToolFolderAndThePluginFolderAreNoDestination)
{
    // Folders by any spelling: another letter case, no trailing backslash.
    TempFolder root;
    const std::string tool = root.MakeFolder("Tool"), plugin = root.MakeFolder("Plugin\\Build");
    root.MakeFolder("Plugin\\Build\\language\\more");
    const std::pair<std::string, bool> rows[] = {
        {tool, false},
        {WithoutTrailingBackslash(tool), false},
        {root.Path() + "TOOL", false},
        {plugin, false},
        {root.Path() + "plugin\\build\\language\\more", false},
        {tool + "..\\Plugin\\Build\\", false},
        {root.Path() + "Plugin", true}, // beside the plugin folder
        {root.Path(), true},
    };
    for (const auto& [folder, allowed] : rows)
        EXPECT_EQ(DestinationRefusal(folder, tool, plugin).empty(), allowed) << folder;
    EXPECT_NE(DestinationRefusal(tool, tool, plugin).find("own folder"), std::string::npos);
    EXPECT_NE(DestinationRefusal(plugin, tool, plugin).find("would pack it"), std::string::npos);
}
