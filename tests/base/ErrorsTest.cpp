#include "base/Errors.h"

#include <gtest/gtest.h>

TEST(ExceptionDisplayText, AppendsPeriodOnlyAfterCharactersSortingAfterPeriod)
{
    const std::pair<const char*, const char*> rows[] = {
        {"", ""},
        {"Cannot open", "Cannot open."},
        {"Done.", "Done."},
        {"Failed!", "Failed!"},              // '!' sorts before '.'
        {"Value -", "Value -"},              // '-' sorts before '.'
        {"Path /", "Path /."},               // '/' sorts after '.'
        {"Code 7", "Code 7."},
        {"Accent \xE9", "Accent \xE9."},     // bytes above 127 too
    };
    for (const auto& [message, shown] : rows)
        EXPECT_EQ(ExceptionDisplayText(message), shown) << message;
}

TEST(SystemErrorText, HasNoTrailingPeriodOrLineBreak)
{
    const std::string text = SystemErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find_last_not_of(". \r\n"), text.size() - 1) << text;
}
