#include "base/Paths.h"

#include <gtest/gtest.h>

TEST(FolderOfPath, IsTheFolderPartWithTrailingBackslash)
{
    EXPECT_EQ(FolderOfPath("C:\\x.y\\MyTool.v2.exe"), "C:\\x.y\\");
    EXPECT_EQ(FolderOfPath("C:\\MyTool.exe"), "C:\\");
    EXPECT_EQ(FolderOfPath("\\\\server\\share\\tool.exe"), "\\\\server\\share\\");
}
