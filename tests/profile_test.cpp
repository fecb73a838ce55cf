// read-all and load-all judge their run by its log alone.
#include "app/cli/log_results.h"

#include <gtest/gtest.h>

#include <string>

TEST(ProfileRunLog, EveryOperationIsOneLineEndingInSuccess) {
    const std::string ok = "Getting A...   success.\r\n";
    EXPECT_TRUE(allSucceeded(ok + ok, 2));
    EXPECT_FALSE(allSucceeded(ok + "Getting B...   ack error.\r\n", 2));
    EXPECT_FALSE(allSucceeded(ok, 2));
    EXPECT_FALSE(allSucceeded(ok + ok + "success.\r\n", 3));
    // A sensor record out of range breaks its line with a note of its own.
    EXPECT_FALSE(
        allSucceeded("Getting ble aux data...   \r\n   GAS ANALYZER error.\r\nsuccess.\r\n", 1));
}
