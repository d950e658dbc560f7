// The character control record: one per character Bod, allocated zero-filled from the tracked heap
// (tag 10). It begins with the BodControl head and the fields it shares, by name, with the world
// objects (transform, velocity, surface, model instance, heading, timer, pose), followed by the
// character's own: network echo, player commands, melee target, AI link, carried items, the
// player's set-up values, and the state of the interaction, machine and effect actions.
#pragma once
#include <cstdint>

#include "world/bod.h"

struct ModelInstance;
struct SkinTexture;

// Item types: 162 marks an empty carried entry.
constexpr uint32_t ACT_NO_ITEM = 162;
constexpr int ACT_ITEM_SLOTS = 9;  // slot 0 is never used; 1..8 hold carried objects

struct CharacterItem {
    uint32_t itemType;  // ACT_NO_ITEM when empty
    Bod* itemBod;
    uint32_t spare;
};

struct CharacterControl {
    BodControl head;            // first word 0, the ActionTable, the current action 0..100
    // The part shared with the world objects.
    Matrix34 transform;         // rotation about y from the heading, then the position (y up)
    float velocity[3];          // jump and fall velocity, units per second
    uint32_t surface;           // the landscape surface under the character
    ModelInstance* instance;    // the character's skinned model instance
    float heading;              // radians in [0, 2 pi)
    int32_t timer;              // game time (ms) at which the current timed action ends
    Pose pose;                  // bone pose for models with quaternion keys
    // The character's own fields.
    uint32_t netEcho;           // the current action came from the network
    uint32_t busy;              // a scripted or interaction sequence owns the character
    int32_t limbsRestoreAt;     // ms; lost limbs come back once it has passed
    int32_t turnCommand;        // 0 none, 1 left, 2 right
    int32_t moveCommand;        // 0 none, 3 forward, 4 backward
    uint32_t attackCommand;
    uint32_t commandWord;       // the fifth command word of the player status, copied only
    uint32_t useCommand;
    uint32_t pushCommand;
    uint32_t kickCommand;
    Bod* lastHitBod;            // struck by the current swing, kick or push
    void* ai;                   // the AICharacter; null marks a free NPC bod
    uint32_t dead;              // the death animation has ended
    int32_t startHealth;
    float dropHeading;
    float angleStep;
    int32_t holdBone;           // skinned models: the bone "hold_pos"
    int32_t gait;               // 1 walk, 2 run
    uint32_t inReaction;
    uint32_t landed;
    SkinTexture* altSkin;       // humans: the second skin, loaded first and kept
    CharacterItem items[ACT_ITEM_SLOTS];
    uint32_t selectedSlot;      // 0 bare hands, 1..8 an items slot
    WorldObjectControl* weaponObject;
    int32_t playerId;           // -1 none
    uint32_t slotChanged;
    // Fields of the interaction, machine and effect actions that the record above has no room for.
    Vec3 shoveStart;            // being shoved: where the slide began
    Vec3 shoveTarget;           // and where it ends
    int32_t shoveTime;          // ms, when the slide began
    float pullSpeed;            // pulled along by a machine or a current
    int32_t zoneFrames;         // frames spent in a row inside a deadly zone box
    SkinTexture* rememberedSkin;  // the skin worn before an effect skin replaced it
    int32_t effectEndTime;      // ms, when an effect skin or hold ends
    uint32_t remoteAnimHold;    // a network game keeps the animation the host last told
    uint32_t deathFlagA;
    uint32_t deathFlagB;
    Bod* machineBod;            // the machine that holds the character (the grinder)
    uint32_t reactionWord;      // set while a crushing or blast reaction owns the character
};

// A zeroed character control record from the tracked heap (tag MEM_TAG_CHARACTER) holding its AI
// record; null when the heap refuses.
CharacterControl* MEM_AllocCharacterControl(void* aiRecord);
