#include "link/command_index.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(CommandIndex, CodesAndNamesAreUniqueAndTextsEndInThreeBlanks) {
    std::set<CommandCode> codes;
    std::set<std::string> names;
    for (const CommandEntry& entry : commandIndex()) {
        SCOPED_TRACE(entry.name);
        EXPECT_TRUE(codes.insert(entry.code).second);
        EXPECT_TRUE(names.insert(entry.name).second);
        ASSERT_NE(entry.actionTexts[0], nullptr);
        for (const char* text : entry.actionTexts) {
            if (text != nullptr) {
                EXPECT_TRUE(std::string(text).ends_with("...   ")) << text;
            }
        }
        EXPECT_GT(entry.timeoutMs, 0u);
    }
    EXPECT_EQ(codes.size(), 70u);
}

TEST(CommandIndex, GetCodeIsSetCodePlusOneWhereBothExist) {
    for (const CommandEntry& entry : commandIndex()) {
        const std::string name = entry.name;
        if (name.rfind("set-", 0) != 0) {
            continue;
        }
        SCOPED_TRACE(name);
        const CommandEntry* get = findCommandByName(("get-" + name.substr(4)).c_str());
        if (get != nullptr) {
            EXPECT_EQ(get->code, entry.code + 1);
        }
    }
}

TEST(CommandIndex, LooksUpTextsAndTimeouts) {
    struct Row {
        CommandCode code;
        std::size_t use;
        const char* text;
        std::uint32_t timeoutMs;
    };
    const Row rows[] = {
        {0x0009, 0, "Getting Master flag...   ", 600}, {0x0801, 2, "Getting SIZ_3...   ", 600},
        {0x0002, 5, "Get XNB version...   ", 1000},    {0x0805, 0, "Getting bracelet...   ", 1000},
        {0x0A00, 1, "Setting token data...   ", 2000}, {0x0809, 0, "Getting BLE period...   ", 600},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_STREQ(actionText(row.code, row.use), row.text);
        EXPECT_EQ(findCommand(row.code)->timeoutMs, row.timeoutMs);
    }
    EXPECT_EQ(findCommand(0x0A01)->furtherReplyTimeoutMs, 10000u);
    EXPECT_EQ(findCommand(0x0000)->furtherReplyTimeoutMs, 60000u);
    EXPECT_EQ(findCommand(0x0202), nullptr);
    EXPECT_EQ(actionText(0x0009, 1), nullptr);
}
