#include "launcher/StBase.h"
#include "launcher/StSpawn.h"
#include "tests/support/ExpectFailure.h"

#include <gtest/gtest.h>

TEST(StMessages, LastMatchingEntryWinsAndNoMatchIsEmpty)
{
    const TStMessage table[] = {{1, "first"}, {250, "old"}, {7, "seven"}, {250, "new"}, {-3, "negative"}};
    EXPECT_EQ(StLookupMessage(table, 250), "new");
    EXPECT_EQ(StLookupMessage(table, 7), "seven");
    EXPECT_EQ(StLookupMessage(table, -3), "negative");
    EXPECT_EQ(StLookupMessage(table, 2), "");
    EXPECT_EQ(StMessageText(251), "");
}

TEST(StMessages, RaisingByCodeCarriesCodeAndText)
{
    const auto failure = ExpectFailure<EStSpawnError>([] { RaiseStError<EStSpawnError>(250); },
                                                      "FileName cannot be empty when RunParameters is specified");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->ErrorCode, 250);
}

TEST(StSpawnApplication, DefaultsAndWriteRules)
{
    TStSpawnApplication spawn(nullptr);
    EXPECT_EQ(spawn.DefaultDir, "");
    EXPECT_EQ(spawn.FileName, "");
    EXPECT_EQ(spawn.RunParameters, "");
    EXPECT_EQ(spawn.SpawnCommandStr, "");
    EXPECT_TRUE(spawn.NotifyWhenDone);
    EXPECT_EQ(spawn.ShowState, TStShowState::ssNormal);
    EXPECT_EQ(spawn.SpawnCommand, TStSpawnCommand::scOpen);
    EXPECT_EQ(spawn.TimeOut(), 0);
    EXPECT_EQ(spawn.Version(), "4.03");
    EXPECT_EQ(spawn.EventHandle(), nullptr);
    EXPECT_EQ(spawn.ProcessHandle(), nullptr);
    EXPECT_EQ(spawn.WaitThread(), nullptr);
    EXPECT_FALSE(spawn.OnCompleted.Assigned());

    spawn.SetVersion("5.00");
    EXPECT_EQ(spawn.Version(), "4.03");
    spawn.SetTimeOut(30);
    spawn.SetTimeOut(-1);
    EXPECT_EQ(spawn.TimeOut(), 30);
    spawn.SetTimeOut(0);
    EXPECT_EQ(spawn.TimeOut(), 0);

    // The stored enumerations keep their one-byte order.
    EXPECT_EQ(sizeof(TStShowState), 1u);
    EXPECT_EQ(static_cast<int>(TStShowState::ssMinNotActive), 3);
    EXPECT_EQ(static_cast<int>(TStSpawnCommand::scOther), 2);
}
