// The character control record: one per character Bod, allocated zero-filled from the tracked heap
// (tag 10). Only the AI link exists so far; the world simulation completes the record with its
// head, transform, pose, actions and the rest.
#pragma once

struct CharacterControl {
    void* ai;  // the character's AI record; null marks a free NPC Bod
};
