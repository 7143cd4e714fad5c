#include "launcher/StSpawn.h"

#include <gtest/gtest.h>

namespace {

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0, WORD ms = 0)
{
    SYSTEMTIME time{};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    time.wMilliseconds = ms;
    return time;
}

} // namespace

TEST(EventName, WholeDaysHaveNoSeparator)
{
    EXPECT_EQ(StEventName(At(1899, 12, 30), '.'), "0");
    EXPECT_EQ(StEventName(At(1900, 1, 1), '.'), "2");
    EXPECT_EQ(StEventName(At(2000, 1, 1), ','), "36526");
    EXPECT_EQ(StEventName(At(2000, 3, 1), '.'), "36586"); // after a leap day of a century leap year
    EXPECT_EQ(StEventName(At(2100, 3, 1), '.'), "73110"); // 2100 is no leap year
}

TEST(EventName, FractionOfTheDayToFifteenDigits)
{
    EXPECT_EQ(StEventName(At(2000, 1, 1, 6), '.'), "36526.25");
    EXPECT_EQ(StEventName(At(2000, 1, 1, 12), ','), "36526,5");
    EXPECT_EQ(StEventName(At(1899, 12, 31, 18), '.'), "1.75");
    // One millisecond: 1/86400000 of a day, rounded to 15 significant digits.
    EXPECT_EQ(StEventName(At(2000, 1, 1, 0, 0, 0, 1), '.'), "36526.0000000116");
    EXPECT_EQ(StEventName(At(2000, 1, 1, 23, 59, 59, 999), ','), "36526,9999999884");
    // 10:30:00.000 is 0.4375 exactly; trailing zeros are dropped.
    EXPECT_EQ(StEventName(At(2026, 12, 7, 10, 30), '.'), "46363.4375");
    // Two milliseconds apart give two names.
    EXPECT_NE(StEventName(At(2026, 12, 7, 10, 30, 0, 1), '.'), StEventName(At(2026, 12, 7, 10, 30, 0, 2), '.'));
}

TEST(EventName, UserSeparatorComesFromTheLocale)
{
    char text[8] = {};
    ASSERT_GT(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, text, sizeof(text)), 1);
    EXPECT_EQ(StUserDecimalSeparator(), text[0]);
}

TEST(EventName, SameNameTwiceGivesTwoEvents)
{
    const std::string name = "SpawnTestEvent" + std::to_string(GetCurrentProcessId());
    UniqueHandle first(StCreateRunEvent(name));
    ASSERT_TRUE(first);
    UniqueHandle second(StCreateRunEvent(name));
    ASSERT_TRUE(second);
    // Signalling one must leave the other unsignalled: they are separate objects.
    ASSERT_TRUE(SetEvent(second.Get()));
    EXPECT_EQ(WaitForSingleObject(first.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(second.Get(), 0), WAIT_OBJECT_0);
    // Auto-reset: the wait consumed the signal.
    EXPECT_EQ(WaitForSingleObject(second.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    // The first keeps the plain name.
    UniqueHandle opened(OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str()));
    ASSERT_TRUE(opened);
    SetEvent(opened.Get());
    EXPECT_EQ(WaitForSingleObject(first.Get(), 0), WAIT_OBJECT_0);
}
