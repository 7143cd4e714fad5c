// The rules of the plugin folder scan that need no window.
#include "core/PluginScan.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

TEST(PluginScanRules, PluginTypeByLowerCasedLastExtension)
{
    EXPECT_EQ(PluginTypeOf("fsplugin.wfx"), kPluginTypeWfx);
    EXPECT_EQ(PluginTypeOf("PLUGIN.WFX"), kPluginTypeWfx);
    EXPECT_EQ(PluginTypeOf("Viewer.WlX"), kPluginTypeWlx);
    EXPECT_EQ(PluginTypeOf("my viewer.v2.wlx"), kPluginTypeWlx);
    EXPECT_EQ(PluginTypeOf(".wfx"), kPluginTypeWfx);
    EXPECT_EQ(PluginTypeOf("wfx"), -1);
    EXPECT_EQ(PluginTypeOf("plugin.wfx.bak"), -1);
    EXPECT_EQ(PluginTypeOf("plugin.wfxx"), -1);
    EXPECT_EQ(PluginTypeOf("plugin.wf"), -1);
    EXPECT_EQ(PluginTypeOf("plugin.zip"), -1);
    EXPECT_EQ(PluginTypeOf("plugin.WFX64"), kPluginTypeWfx);
    EXPECT_EQ(PluginTypeOf("viewer.wlx64"), kPluginTypeWlx);
    EXPECT_EQ(PluginTypeOf("plugin.wfx6"), -1);
    EXPECT_EQ(PluginTypeOf("plugin.wfx32"), -1);
}

TEST(PluginScanRules, MainFileIsTheLast32BitPluginElseTheLast64BitOne)
{
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"a.wfx", "a.wfx64", "readme.txt"}, 0},
        {{"a.wfx64", "b.wlx", "c.wfx64"}, 1},
        {{"a.wfx64", "b.wlx64", "readme.txt"}, 1},
        {{"a.wfx", "b.wlx"}, 1},
        {{"readme.txt"}, -1},
    };
    for (const auto& [entries, expected] : cases)
        EXPECT_EQ(SelectMainFile(entries), expected) << entries.front();
}

TEST(PluginScanRules, NameFilterKeepsZeroToSmallZ)
{
    const char ftp[] = "My FTP-Plugin 2.0";
    EXPECT_EQ(FilterRootName(ftp, sizeof(ftp)), "MyFTPPlugin20");
    // The neighbours of the range: "/" and "{" go, "0" and "z" stay; so do
    // the characters between the capitals and the small letters.
    const char edges[] = "/0z{_[]\\^`(){}|~\x7f\x80\xe9\xff";
    EXPECT_EQ(FilterRootName(edges, sizeof(edges)), "0z_[]\\^`");
    // Up to the first NUL, never past the buffer.
    const char afterNul[] = "ab\0cd";
    EXPECT_EQ(FilterRootName(afterNul, sizeof(afterNul)), "ab");
    const char noNul[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(FilterRootName(noNul, 3), "abc");
}
