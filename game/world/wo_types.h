// Per-type files and lists of the world objects: the model file and skin of every type below
// WO_TYPE_FILES (none where a type has no model: such a type is never spawned or given), the
// twelve swipe-card skins, the types never spawned in a network game and the types that return to
// their place in single player.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

constexpr uint32_t WO_TYPE_FILES = 150;    // types with an entry in the model and skin tables

constexpr uint32_t WO_FIRST_CARD = 93;     // the twelve swipe cards are types 93..104
constexpr size_t WO_CARD_COUNT = 12;
extern const std::array<const char*, WO_CARD_COUNT> WO_CARD_SKINS;

// A network game never spawns these types (the spawner's list).
bool WO_NeverSpawnedInNetworkGame(uint32_t type);
// In single player these types go back to their place after being thrown or exploding.
bool WO_ReturnsToPlace(uint32_t type);
