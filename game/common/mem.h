// The tracked heap: every game block carries a header that links it into one list, so the whole
// game state can be freed in one call at shutdown. Blocks are zero-filled. Nothing is handed out
// until MEM_ResetTracker has armed the tracker.
#pragma once
#include <cstddef>
#include <cstdint>


// In front of every block. Pointer-sized links: the record never leaves the process.
struct MemBlockHeader {
    MemBlockHeader* newer;  // allocated after this one (toward the head), null for the head
    MemBlockHeader* older;  // allocated before this one, null for the oldest
    uint32_t size;          // requested size without the header
    uint32_t tag;           // the caller's purpose code, never interpreted
    uint32_t magic;         // marks a live block, catches foreign pointers and double frees
    uint32_t pad;
};

// Tags in use.
enum : uint32_t {
    MEM_TAG_FILE = 1,          // a whole file loaded by MUF_LoadFile
    MEM_TAG_TEXT = 3,          // text buffers and the save-game image
    MEM_TAG_MODEL = 5,         // models, model instances, skins and the model scratch
    MEM_TAG_NET = 7,           // network strings and receive buffers
    MEM_TAG_BOD = 9,           // Bod
    MEM_TAG_CHARACTER = 10,    // a character control record
    MEM_TAG_WORLD_OBJECT = 14, // WorldObjectControl
};

extern MemBlockHeader* g_MemHead;
extern uint32_t g_MemBytes;
extern uint32_t g_MemEnabled;

void* MEM_Alloc(uint32_t size, uint32_t tag);
void MEM_Free(void* block);
void MEM_FreeAll();
int MEM_ResetTracker();
uint32_t MEM_ByteSum(const void* buffer, uint32_t length);
