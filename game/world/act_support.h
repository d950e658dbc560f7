// What the character actions share: the character's AI record and health, the network tests
// (local character, zombie-player mode), turning by the player's commands, playing animations and
// the end of a play-once animation, and the selected object.
#pragma once
#include <cstdint>

#include "world/ai.h"
#include "world/bod.h"
#include "world/character.h"

struct ModelInstance;

// Sound ids and volumes of the actions.
constexpr uint32_t ACT_SOUND_FOOTSTEP = 0x1000b;
constexpr uint32_t ACT_SOUND_SHOCK = 0x10018;
constexpr float ACT_SOUND_RADIUS = 1500.0f;

// The eating mark of a bone's state word.
constexpr uint32_t ACT_BONE_EATING = 0x100000;

// Turning speeds in radians per second.
constexpr float ACT_TURN_RATE = 3.14159265f;
constexpr float ACT_STEER_RATE = 2.0f * 3.14159265f / 3.0f;

// The type of a selected key card, the time bomb.
constexpr uint32_t ACT_FIRST_KEY_CARD = 93;
constexpr uint32_t ACT_LAST_KEY_CARD = 104;
constexpr uint32_t ACT_TIME_BOMB = 69;

AICharacter* ACT_AiOf(const CharacterControl* control);
// The AI record's health; a character without one counts as alive (64).
float ACT_Health(const CharacterControl* control);
bool ACT_IsNetworkGame();
// In a network game, this machine owns the character.
bool ACT_IsLocal(const CharacterControl* control);
// A network game of type 6, on the host, for a local character: the player walks and attacks
// like a zombie.
bool ACT_ZombiePlayerMode(const CharacterControl* control);
// In a network game, a character whose health is below 1 keeps its animation.
bool ACT_KeepsAnimation(const CharacterControl* control);
// Sets the AI-drives flag when the character has an AI record.
void ACT_SetAiDrives(CharacterControl* control, int32_t drives);
// The turn command turns the active slot's player: 1 left (negative), 2 right.
void ACT_TurnByCommand(const CharacterControl* control, float rate);

void ACT_Play(CharacterControl* control, const char* animation, int32_t loop);
// The current animation is the named one (without regard to case).
bool ACT_IsPlaying(const CharacterControl* control, const char* animation);
// A play-once animation has reached its last frame.
bool ACT_AnimationEnded(const CharacterControl* control);
void ACT_SetFrameMs(CharacterControl* control, int32_t ms);
// The index of the named animation of the character's model, -1 when it has none.
int ACT_FindAnimation(const CharacterControl* control, const char* animation);
// The number of frames from the current animation's first frame to its last.
int32_t ACT_LastFrameOffset(const CharacterControl* control);
// Installs callback (with the bod as its word) on the frame `offset` frames into the current
// animation, when the animation has that frame.
void ACT_SetCallbackAt(Bod* bod, CharacterControl* control, int32_t offset, int32_t (*callback)(uintptr_t));

// The item type of the selected slot (ACT_NO_ITEM for bare hands).
uint32_t ACT_SelectedType(const CharacterControl* control);
// A real object is selected: a slot whose entry holds an object.
bool ACT_HasSelectedObject(const CharacterControl* control);
