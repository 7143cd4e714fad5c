// The times that go into a setup, the sum beside it, and the choice a folder
// with several plugins leaves.
#include "core/BuildTimes.h"
#include "core/Checksum.h"
#include "core/PluginScan.h"
#include "base/Paths.h"
#include "tests/support/Folders.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

unsigned long long WriteTimeOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

} // namespace

TEST(BuildTimes, SourceDateEpochIsASecondCountOrAReasonWhyNot)
{
    const struct {
        const char* value; // null: not set
        bool set;
        unsigned long long latest;
        bool refused;
    } rows[] = {
        {nullptr, false, 0, false},
        {"0", true, 116444736000000000ull, false},
        {"1700000000", true, 116444736000000000ull + 1700000000ull * 10000000ull, false},
        {"17e8", true, 0, true},
        {"-5", true, 0, true},
        {"", false, 0, false},
    };
    for (const auto& row : rows) {
        SetEnvironmentVariableA("SOURCE_DATE_EPOCH", row.value);
        const TSourceDate date = SourceDateEpoch();
        EXPECT_EQ(date.Set, row.set) << (row.value ? row.value : "unset");
        EXPECT_EQ(date.Latest, row.latest);
        EXPECT_EQ(date.Problem.empty(), !row.refused) << date.Problem;
    }
    SetEnvironmentVariableA("SOURCE_DATE_EPOCH", nullptr);
}

TEST(BuildTimes, ACopyDatedAtMostKeepsOlderTimesAndTheTree)
{
    TempFolder source, target;
    const std::string older = source.Write("old.txt", "old"), newer = source.Write("sub\\new.txt", "new");
    const unsigned long long limit = FileTimeOfUnixSeconds(1600000000);
    SetLastWriteTime(older, limit - 10000000);
    const std::string stage = target.Path() + "stage\\";
    CopyDatedAtMost(source.Path(), {"old.txt", "sub\\", "sub\\new.txt"}, stage, limit);
    EXPECT_EQ(TreeOf(stage), (std::vector<std::string>{"old.txt", "sub\\", "sub\\new.txt"}));
    EXPECT_EQ(WriteTimeOf(stage + "old.txt"), limit - 10000000);
    EXPECT_EQ(WriteTimeOf(stage + "sub\\new.txt"), limit);
    EXPECT_GT(WriteTimeOf(newer), limit); // the plugin's own files are never touched
    RemoveFolderTree(stage);
    EXPECT_FALSE(FolderExistsAt(stage));
}

TEST(Checksum, TheSumSha256sumReads)
{
    TempFolder folder;
    // The standard's own example, and an empty file.
    EXPECT_EQ(Sha256OfFile(folder.Write("abc.txt", "abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256OfFile(folder.Write("empty.txt")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(ChecksumLine("ab12", "x.wfx_setup.exe"), "ab12  x.wfx_setup.exe\n");
    // The CRC-32 the uninstaller compares with Windows' own: the standard's
    // check value, and a file read in more than one piece.
    EXPECT_EQ(Crc32OfFile(folder.Write("check.txt", "123456789")).Crc, 0xCBF43926u);
    const TFileCrc big = Crc32OfFile(folder.Write("big.dat", std::string(150000, 'q')));
    EXPECT_EQ(big.Size, 150000u);
    EXPECT_EQ(big.Crc, 0x5BBBB2F6u);
}

TEST(PluginScanRules, TwoBuildsOfOnePluginAreNoChoiceButTwoPluginsAre)
{
    const std::vector<std::string> entries = {"alpha.wfx", "alpha.wfx64", "beta.WFX", "view.wlx", "readme.txt"};
    EXPECT_EQ(PluginsAmong(entries, kPluginTypeWfx), (std::vector<std::string>{"alpha.wfx", "beta.WFX"}));
    EXPECT_EQ(PluginsAmong(entries, kPluginTypeWlx), std::vector<std::string>{"view.wlx"});
    EXPECT_EQ(PluginsAmong(entries, -1).size(), 3u);
    EXPECT_EQ(PluginsAmong({"x.wfx64", "x.wfx"}, -1), std::vector<std::string>{"x.wfx"});
}
