// Tests of the character control record's allocation from the tracked heap.
#include <gtest/gtest.h>

#include "common/mem.h"
#include "world/character.h"

namespace {

TEST(CharacterControl, IsATaggedZeroedBlockWithItsAiRecord) {
    ASSERT_EQ(MEM_ResetTracker(), 0);
    int aiRecord = 0;
    CharacterControl* control = MEM_AllocCharacterControl(&aiRecord);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->ai, &aiRecord);
    ASSERT_NE(g_MemHead, nullptr);
    EXPECT_EQ(g_MemHead->tag, static_cast<uint32_t>(MEM_TAG_CHARACTER));
    EXPECT_EQ(g_MemHead->size, sizeof(CharacterControl));

    CharacterControl* free = MEM_AllocCharacterControl(nullptr);
    ASSERT_NE(free, nullptr);
    EXPECT_EQ(free->ai, nullptr);

    g_MemEnabled = 0;
    EXPECT_EQ(MEM_AllocCharacterControl(&aiRecord), nullptr);
    g_MemEnabled = 1;
    MEM_FreeAll();
}

}  // namespace
