#include "base/Errors.h"
#include "toolkit/Application.h"

#include <gtest/gtest.h>

TEST(ExceptionDisplayText, AppendsPeriodOnlyAfterCharactersSortingAfterPeriod)
{
    EXPECT_EQ(ExceptionDisplayText(""), "");
    EXPECT_EQ(ExceptionDisplayText("Cannot open"), "Cannot open.");
    EXPECT_EQ(ExceptionDisplayText("Done."), "Done.");
    EXPECT_EQ(ExceptionDisplayText("Failed!"), "Failed!"); // '!' sorts before '.'
    EXPECT_EQ(ExceptionDisplayText("Value -"), "Value -");  // '-' sorts before '.'
    EXPECT_EQ(ExceptionDisplayText("Path /"), "Path /.");   // '/' sorts after '.'
    EXPECT_EQ(ExceptionDisplayText("Code 7"), "Code 7.");
    EXPECT_EQ(ExceptionDisplayText("Accent \xE9"), "Accent \xE9."); // bytes above 127 too
}

TEST(ApplicationTitle, CutsAtFirstDotAndLowerCasesAllButFirst)
{
    EXPECT_EQ(ApplicationTitleFromPath("C:\\x.y\\MyTool.v2.exe"), "Mytool");
    EXPECT_EQ(ApplicationTitleFromPath("C:\\SetupCreator.exe"), "Setupcreator");
    EXPECT_EQ(ApplicationTitleFromPath("D:\\tools\\aBC"), "abc");
}

TEST(SystemErrorText, HasNoTrailingPeriodOrLineBreak)
{
    const std::string text = SystemErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '.');
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), ' ');
}
