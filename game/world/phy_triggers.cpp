// Surface triggers: at level load the level's bindings (phy_trigger_table.h) are matched against
// the map's texture names, filling one table of floor handlers and one of wall handlers indexed by
// texture number; the movement calls the handler of the face a character stands on or walks into.
#include <cstddef>

#include "common/game_clock.h"
#include "common/match.h"
#include "engine/lnd.h"
#include "net/net.h"
#include "shell/snd.h"
#include "world/act.h"
#include "world/act_support.h"
#include "world/ai.h"
#include "world/bod.h"
#include "world/bod_record.h"
#include "world/character.h"
#include "world/lvl.h"
#include "world/phy.h"
#include "world/phy_trigger_table.h"
#include "world/wo.h"

namespace {
constexpr int kWaterDamage = 128;
constexpr int kWaterDeath = 8;
constexpr int kCementDeath = 9;
constexpr int kSpikeDamage = 20;
constexpr int kSpikeDeathFront = 3;
constexpr int kSpikeDeathBack = 4;
constexpr uint32_t kSpikeSound = 0x10047;
constexpr int kSpikeVolume = 70;
constexpr float kSpikeRadius = 3000.0f;
constexpr int32_t kSpikeAction = 99;
constexpr int32_t kShockAction = 24;
constexpr int32_t kTankAction = 69;
constexpr int kPoisonDamage = 2;
constexpr int kPoisonDeath = 2;
constexpr int32_t kPoisonIntervalMs = 500;
constexpr uint32_t kDetectedItems = 0x1;
constexpr float kSpinRate = 0.6f;

PhyTrigger g_FloorTriggers[PHY_TRIGGER_TEXTURES];
PhyTrigger g_WallTriggers[PHY_TRIGGER_TEXTURES];
int g_TriggerLevel = 0;

bool Multiplayer() {
    return APP_IsMultiplayerGame() != 0;
}

// Surface damage; the kill follows when it killed.
void Hurt(Bod* bod, int amount, int kind) {
    if (ACT_SurfaceDeath(bod, amount, kind))
        ACT_KillCharacter(bod, nullptr, kind, 1);
}

int DeadlyWater(Bod* bod, CharacterControl*, AICharacter* ai, const PhyContact*) {
    if (Multiplayer())
        AI_OnDamaged(ai, ai, float(kWaterDamage));
    Hurt(bod, kWaterDamage, kWaterDeath);
    return 0;
}

int WetCement(Bod* bod, CharacterControl*, AICharacter* ai, const PhyContact*) {
    if (!LVL_CementIsWet())
        return 1;
    if (Multiplayer())
        AI_OnDamaged(ai, ai, 1.0f);
    Hurt(bod, kWaterDamage, kCementDeath);
    return 0;
}

int Spikes(Bod* bod, CharacterControl* control, AICharacter* ai, const PhyContact* contact) {
    if (Multiplayer())
        AI_OnDamaged(ai, ai, float(kSpikeDamage));
    const Vec3 position = BOD_PositionOf(control);
    const float at[3] = {position.x, position.y, position.z};
    SND_PlayAt(kSpikeSound, at, kSpikeVolume, kSpikeRadius);
    const Vec3 ahead{0.0f, 0.0f, 1.0f};
    Vec3 forward;
    MTH_RotateVector(&forward, &ahead, &control->transform);
    const float facing = forward.x * contact->normal.x + forward.y * contact->normal.y + forward.z * contact->normal.z;
    const bool front = facing <= 0.0f;
    const int kind = front ? kSpikeDeathFront : kSpikeDeathBack;
    if (ACT_SurfaceDeath(bod, kSpikeDamage, kind)) {
        ACT_KillCharacter(bod, nullptr, kind, 1);
        return 1;
    }
    ACT_Play(control, front ? "recoil forward" : "recoil back", 0);
    AI_Release(bod);
    BOD_SetAction(bod, kSpikeAction);
    return 1;
}

int ElectricFence(Bod* bod, CharacterControl*, AICharacter*, const PhyContact*) {
    BOD_SetAction(bod, kShockAction);
    return 1;
}

// What the detector does once it has found something: nothing yet.
void MetalDetected(Bod*) {}

int MetalDetector(Bod* bod, CharacterControl*, AICharacter*, const PhyContact*) {
    if (WO_CountCarried(bod, kDetectedItems) > 0)
        MetalDetected(bod);
    return 0;
}

// The next damage keeps to a 500 ms beat from the first hurt while the character stays on the
// tiles, so that the damage per second does not depend on the frame length; a character that
// steps back on after missing a beat is hurt at once and starts a new beat.
int PoisonedTiles(Bod* bod, CharacterControl*, AICharacter* ai, const PhyContact*) {
    const int32_t now = g_GameClock.nowMs;
    if (now < ai->nextDamageMs)
        return 0;
    const bool beat = ai->nextDamageMs != 0 && now - ai->nextDamageMs < kPoisonIntervalMs;
    ai->nextDamageMs = beat ? ai->nextDamageMs + kPoisonIntervalMs : now + kPoisonIntervalMs;
    Hurt(bod, kPoisonDamage, kPoisonDeath);
    return 0;
}

int XrayFloor(Bod* bod, CharacterControl*, AICharacter*, const PhyContact*) {
    LVL_XrayFloor(bod);
    return 1;
}

int TankBottom(Bod* bod, CharacterControl*, AICharacter*, const PhyContact*) {
    BOD_SetAction(bod, kTankAction);
    return 1;
}

PhyTrigger HandlerOf(PhyTriggerKind kind) {
    switch (kind) {
    case PhyTriggerKind::DeadlyWater: return DeadlyWater;
    case PhyTriggerKind::WetCement: return WetCement;
    case PhyTriggerKind::Spikes: return Spikes;
    case PhyTriggerKind::ElectricFence: return ElectricFence;
    case PhyTriggerKind::MetalDetector: return MetalDetector;
    case PhyTriggerKind::PoisonedTiles: return PoisonedTiles;
    case PhyTriggerKind::XrayFloor: return XrayFloor;
    case PhyTriggerKind::TankBottom: return TankBottom;
    }
    return nullptr;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// The texture's name field equals the binding's name without regard to case; the field is read no
// further than its size, terminated or not.
bool NameMatches(const char (&field)[LND_TEXTURE_NAME_SIZE], const char* name) {
    size_t i = 0;
    for (; i < sizeof(field) && name[i]; ++i)
        if (Lower(field[i]) != Lower(name[i]))
            return false;
    return i < sizeof(field) ? field[i] == '\0' : name[i] == '\0';
}

// The first texture of the map named `name`, 0 when none.
uint32_t FindTexture(const Landscape* l, const char* name) {
    if (!l || !l->textures)
        return 0;
    for (uint32_t t = 1; t <= l->textureCount; ++t)
        if (NameMatches(l->textures[t].fileName, name))
            return t;
    return 0;
}

void Bind(const Landscape* l, std::span<const PhyTriggerBinding> bindings, PhyTrigger* table) {
    for (const PhyTriggerBinding& b : bindings) {
        const uint32_t t = FindTexture(l, b.texture);
        if (t && t < PHY_TRIGGER_TEXTURES)
            table[t] = HandlerOf(b.kind);
    }
}

uint32_t TextureOfSurface(int32_t surface) {
    const Landscape* l = g_Landscape;
    if (!l || !l->surfaces || surface < 1 || surface > l->surfaceCount)
        return 0;
    const uint16_t m = l->surfaces[surface].material;
    return l->materials && m >= 1 && m <= l->materialCount ? l->materials[m].currentTexture : 0;
}
}  // namespace

void PHY_BindSurfaceTriggers(int level) {
    g_TriggerLevel = level;
    for (int t = 0; t < PHY_TRIGGER_TEXTURES; ++t)
        g_FloorTriggers[t] = g_WallTriggers[t] = nullptr;
    const Landscape* l = g_MapLoaded ? g_Landscape : nullptr;
    if (level >= 0 && level < int(kPhyLevelBindings.size())) {
        Bind(l, kPhyLevelBindings[size_t(level)].floor, g_FloorTriggers);
        Bind(l, kPhyLevelBindings[size_t(level)].wall, g_WallTriggers);
    }
    PHY_SelectLevel(level);
    if (l && l->objects && (level == 5 || level == 6))
        for (int32_t o = 1; o <= l->objectCount; ++o)
            if (l->objects[o].spin.y != 0.0f) {
                l->objects[o].angle.y = 0.0f;
                l->objects[o].spin.y = kSpinRate;
            }
    PHY_RebuildObjectLists();
}

PhyTrigger PHY_FloorTrigger(uint32_t texture) {
    return texture < uint32_t(PHY_TRIGGER_TEXTURES) ? g_FloorTriggers[texture] : nullptr;
}

PhyTrigger PHY_WallTrigger(uint32_t texture) {
    return texture < uint32_t(PHY_TRIGGER_TEXTURES) ? g_WallTriggers[texture] : nullptr;
}

int PHY_SurfaceHasFloorTrigger(int32_t surface) {
    return PHY_FloorTrigger(TextureOfSurface(surface)) ? 1 : 0;
}

int PHY_HasFloorTrigger(const Bod* bod) {
    const CharacterControl* control = BOD_CharacterOf(bod);
    return control ? PHY_SurfaceHasFloorTrigger(int32_t(control->surface)) : 0;
}

int PHY_CallWallTrigger(Bod* bod, int32_t surface) {
    CharacterControl* control = BOD_CharacterOf(bod);
    AICharacter* ai = control ? static_cast<AICharacter*>(control->ai) : nullptr;
    const PhyTrigger trigger = PHY_WallTrigger(TextureOfSurface(surface));
    if (!ai || !trigger)
        return 0;
    PhyContact contact{g_Landscape->surfaces[surface].normal, TextureOfSurface(surface), BOD_PositionOf(control), 0};
    return trigger(bod, control, ai, &contact);
}

int PHY_RunFloorTrigger(Bod* bod, CharacterControl* control, AICharacter* ai, const PhyContact* contact) {
    const PhyTrigger trigger = contact ? PHY_FloorTrigger(contact->texture) : nullptr;
    return trigger && control && ai ? trigger(bod, control, ai, contact) : 0;
}

int PHY_RunWallTrigger(Bod* bod, CharacterControl* control, AICharacter* ai, const PhyContact* contact) {
    const PhyTrigger trigger = contact ? PHY_WallTrigger(contact->texture) : nullptr;
    return trigger && control && ai ? trigger(bod, control, ai, contact) : 0;
}
