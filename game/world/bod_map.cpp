// The overview map of the HUD: one blip per shown character or dropped object, with its kind, on
// the map and on the rotated radar, scaled by the level's map parameters.
#include "net/msg.h"
#include "net/net.h"
#include "common/match.h"
#include "world/ai.h"
#include "world/bod.h"
#include "world/bod_record.h"
#include "world/character.h"
#include "world/game_frame.h"

namespace {
constexpr float kKindHuman = 0.0f;
constexpr float kKindZombie = 1.0f;
constexpr float kKindPlayer = 2.0f;
constexpr float kKindObject = 3.0f;
constexpr float kKindOtherPlayer = 4.0f;
constexpr int kGameHumansAgainstZombies = 6;
constexpr int32_t kAiStateHidden = 4;

// The kind of blip a bod shows as, or false when it is not shown.
bool BlipKind(const Bod* bod, float* kind) {
    const CharacterControl* character = BOD_CharacterOf(bod);
    switch (bod->classMask) {
    case BOD_CLASS_PLAYER:
        if (!character || character->dead)
            return false;
        *kind = kKindPlayer;
        if (APP_IsMultiplayerGame() && APP_GetMultiplayerGameType() == kGameHumansAgainstZombies) {
            const bool own = MSG_IsLocalPlayerId(character->playerId) != 0;
            *kind = (NET_IsHost() ? own : !own) ? kKindPlayer : kKindOtherPlayer;
        }
        return true;
    case BOD_CLASS_HUMAN:
        if (!character || character->dead)
            return false;
        *kind = kKindHuman;
        return true;
    case BOD_CLASS_NPC: {
        if (!character || character->dead)
            return false;
        const auto* ai = static_cast<const AICharacter*>(character->ai);
        if (ai && ai->state == kAiStateHidden)
            return false;
        *kind = kKindZombie;
        return true;
    }
    case BOD_CLASS_OBJECT:
        *kind = kKindObject;
        return BOD_ObjectOf(bod) != nullptr;
    default:
        return false;
    }
}
}  // namespace

int BOD_CollectMapBlips(const Matrix34* rotation, float (*positionsOut)[3], float (*mapOut)[3], float scaleX,
                        float scaleZ, const Matrix34* view, int capacity) {
    const float* p = g_LevelMapParams;
    // A level without map parameters has no map to project onto.
    if (!rotation || !positionsOut || !mapOut || !view || p[2] == 0.0f || p[3] == 0.0f || p[4] == 0.0f ||
        p[5] == 0.0f)
        return 0;
    int count = 0;
    for (Bod* bod = g_WorldBods.head; bod && count < capacity; bod = bod->next) {
        float kind = 0.0f;
        if (!(bod->classMask & BOD_MASK_MAP) || !bod->active || !BlipKind(bod, &kind))
            continue;
        Vec3 position{};
        BOD_WithRecord(bod, [&](auto* record) { position = BOD_PositionOf(record); });
        const float mapX = position.x * scaleX / p[4];
        const float mapZ = position.z * scaleZ / p[5];
        mapOut[count][0] = mapX;
        mapOut[count][1] = kind;
        mapOut[count][2] = mapZ;
        const Vec3 offset{mapX - view->m[9], 0.0f, mapZ - view->m[11]};
        Vec3 r;
        MTH_RotateVector(&r, &offset, rotation);
        positionsOut[count][0] = -(p[6] / p[2]) * r.x;
        positionsOut[count][1] = kind;
        positionsOut[count][2] = (p[7] / p[3]) * r.z;
        ++count;
    }
    return count;
}
