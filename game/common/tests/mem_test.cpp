// Tests of the tracked heap: arming, zero-filled and aligned blocks, the list links after frees
// in any order, the byte count, refusal of foreign pointers and second frees, and the helpers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/mem.h"

namespace {

class MemTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(MEM_ResetTracker(), 0); }
    void TearDown() override {
        g_MemEnabled = 1;
        MEM_FreeAll();
    }
};

// The header in front of a block, found by walking the list (the test does not assume its size).
MemBlockHeader* FindHeader(uint32_t tag) {
    for (MemBlockHeader* h = g_MemHead; h; h = h->older) {
        if (h->tag == tag) return h;
    }
    return nullptr;
}

// Tags of the live blocks from the head (newest) to the oldest, checking every back link.
std::vector<uint32_t> LiveTags() {
    std::vector<uint32_t> tags;
    const MemBlockHeader* newer = nullptr;
    for (const MemBlockHeader* h = g_MemHead; h; h = h->older) {
        EXPECT_EQ(h->newer, newer) << "back link of block with tag " << h->tag;
        tags.push_back(h->tag);
        newer = h;
        if (tags.size() > 100) break;
    }
    return tags;
}

TEST_F(MemTest, NothingIsHandedOutOrFreedWhileUnarmed) {
    void* kept = MEM_Alloc(40, 5);
    ASSERT_NE(kept, nullptr);
    g_MemEnabled = 0;

    EXPECT_EQ(MEM_Alloc(16, 5), nullptr);
    MEM_Free(kept);
    MEM_FreeAll();
    EXPECT_EQ(g_MemBytes, 40u) << "a disarmed tracker must not free";
    EXPECT_EQ(LiveTags(), std::vector<uint32_t>{5});

    // A reset while armed frees every block and stays armed.
    g_MemEnabled = 1;
    ASSERT_NE(MEM_Alloc(8, 6), nullptr);
    EXPECT_EQ(MEM_ResetTracker(), 0);
    EXPECT_EQ(g_MemEnabled, 1u);
    EXPECT_EQ(g_MemHead, nullptr);
    EXPECT_EQ(g_MemBytes, 0u);
    EXPECT_NE(MEM_Alloc(8, 6), nullptr);
}

TEST_F(MemTest, BlocksAreAlignedZeroFilledAndRecordSizeAndTag) {
    // First dirty some heap memory so that a block that is not zero-filled would show it.
    for (uint32_t size : {1u, 15u, 16u, 17u, 200u, 5000u}) {
        void* dirty = MEM_Alloc(size, 99);
        ASSERT_NE(dirty, nullptr);
        std::memset(dirty, 0xAB, size);
        MEM_Free(dirty);
    }
    ASSERT_EQ(g_MemBytes, 0u);

    uint32_t expectedBytes = 0;
    const uint32_t sizes[] = {0, 1, 3, 15, 16, 17, 100, 200, 5000};
    for (uint32_t i = 0; i < std::size(sizes); ++i) {
        SCOPED_TRACE("size " + std::to_string(sizes[i]));
        auto* block = static_cast<unsigned char*>(MEM_Alloc(sizes[i], 100 + i));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
        for (uint32_t b = 0; b < sizes[i]; ++b) ASSERT_EQ(block[b], 0) << "byte " << b;
        // The whole block is the caller's: filling it must not disturb the header.
        std::memset(block, 0xFF, sizes[i]);
        expectedBytes += sizes[i];
        EXPECT_EQ(g_MemBytes, expectedBytes);
        ASSERT_NE(g_MemHead, nullptr);
        EXPECT_EQ(g_MemHead->size, sizes[i]);
        EXPECT_EQ(g_MemHead->tag, 100 + i);
        EXPECT_LT(reinterpret_cast<unsigned char*>(g_MemHead), block);
    }
    MEM_FreeAll();
    EXPECT_EQ(g_MemHead, nullptr);
    EXPECT_EQ(g_MemBytes, 0u);
    EXPECT_EQ(g_MemEnabled, 1u) << "freeing everything keeps the tracker armed";
    EXPECT_NE(MEM_Alloc(4, 1), nullptr);
}

TEST_F(MemTest, FreeingInAnyOrderKeepsBothLinksOfTheNeighbours) {
    struct Case {
        std::vector<int> freeOrder;       // blocks 1, 2, 3 (allocated in that order) to free
        std::vector<uint32_t> remaining;  // tags from the head to the oldest
    };
    const Case cases[] = {
        {{2}, {3, 1}},          // the middle block: three and one now link to each other
        {{3}, {2, 1}},          // the head: the head moves to its older
        {{1}, {3, 2}},          // the oldest
        {{2, 3}, {1}},          // three after two: one becomes the head
        {{3, 2}, {1}},
        {{1, 2}, {3}},
        {{1, 3}, {2}},
        {{2, 1, 3}, {}},
        {{3, 2, 1}, {}},
        {{1, 2, 3}, {}},
    };
    const uint32_t sizes[] = {0, 10, 20, 30};
    for (const Case& c : cases) {
        ASSERT_EQ(MEM_ResetTracker(), 0);
        void* blocks[4] = {};
        for (int i = 1; i <= 3; ++i) blocks[i] = MEM_Alloc(sizes[i], static_cast<uint32_t>(i));
        uint32_t expectedBytes = 60;
        for (int i : c.freeOrder) {
            MEM_Free(blocks[i]);
            expectedBytes -= sizes[i];
        }
        std::string order;
        for (int i : c.freeOrder) order += std::to_string(i) + " ";
        SCOPED_TRACE("freed " + order);
        EXPECT_EQ(LiveTags(), c.remaining);
        EXPECT_EQ(g_MemBytes, expectedBytes);
        if (c.remaining.empty()) {
            EXPECT_EQ(g_MemHead, nullptr);
        }
    }
}

TEST_F(MemTest, ForeignPointersAndSecondFreesAreIgnoredAndReported) {
    void* one = MEM_Alloc(24, 1);
    void* two = MEM_Alloc(24, 2);
    void* three = MEM_Alloc(24, 3);
    ASSERT_TRUE(one && two && three);
    MEM_Free(two);
    static unsigned char staticBuffer[64];
    unsigned char stackBuffer[64] = {};
    std::vector<unsigned char> heapBuffer(64);

    struct Case {
        const char* name;
        void* pointer;
    };
    const Case cases[] = {
        {"a block freed before", two},
        {"a pointer inside a live block", static_cast<unsigned char*>(one) + 16},
        {"a pointer into static storage", staticBuffer + 48},
        {"a pointer into the stack", stackBuffer + 48},
        {"a general-heap block", heapBuffer.data() + 48},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::internal::CaptureStderr();
        MEM_Free(c.pointer);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("MEM_Free"), std::string::npos) << said;
        EXPECT_EQ(LiveTags(), (std::vector<uint32_t>{3, 1}));
        EXPECT_EQ(g_MemBytes, 48u);
    }

    // A header overwritten by a write in front of its block is left alone, not followed.
    MemBlockHeader* header = FindHeader(3);
    ASSERT_NE(header, nullptr);
    const uint32_t magic = header->magic;
    header->magic = 0;
    testing::internal::CaptureStderr();
    MEM_Free(three);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("MEM_Free"), std::string::npos);
    EXPECT_EQ(LiveTags(), (std::vector<uint32_t>{3, 1}));
    header->magic = magic;

    // The real blocks still free normally afterwards.
    MEM_Free(three);
    MEM_Free(one);
    EXPECT_EQ(g_MemHead, nullptr);
    EXPECT_EQ(g_MemBytes, 0u);
    MEM_Free(nullptr);  // harmless
}

TEST(MemByteSum, SumsUnsignedBytes) {
    const unsigned char high[] = {0xFF, 0xFF, 0x80, 0x01};
    struct Case {
        const void* buffer;
        uint32_t length;
        uint32_t sum;
    };
    const Case cases[] = {
        {"abc", 3, 294},
        {"abc", 0, 0},
        {high, 4, 0xFF + 0xFF + 0x80 + 0x01},  // bytes above 127 count as unsigned
        {high, 1, 0xFF},
        {nullptr, 0, 0},
        {nullptr, 10, 0},  // no buffer: nothing to read
    };
    for (const Case& c : cases) EXPECT_EQ(MEM_ByteSum(c.buffer, c.length), c.sum);
}

}  // namespace
