// The per-type model and skin tables of the world objects and the spawn and respawn lists (see
// wo_types.h). The weapon models and their skins share a name under graphics\models\weapons\.
// Chosen by us: the skins of the three models outside that folder (beside their model, same
// name) and which types wear the shared metal skins (the two bolts).
#include "world/wo_types.h"

#include "world/wo.h"

namespace {

struct TypeFiles {
    uint32_t type;
    const char* model;
    const char* skin;
};

#define WO_DIR "graphics\\models\\weapons\\"
#define WEAPON(type, name) TypeFiles{type, WO_DIR name ".qmd", WO_DIR name ".bmp"}
#define KEY(type) TypeFiles{type, WO_DIR "key.qmd", WO_DIR "key.bmp"}
#define CARD(type, skin) TypeFiles{type, WO_DIR "swipecard.qmd", WO_DIR skin ".bmp"}
#define LIMB(type, name) TypeFiles{type, WO_DIR name ".qmd", WO_DIR "limb.bmp"}

constexpr TypeFiles kTypeFiles[] = {
    WEAPON(2, "axe"), WEAPON(4, "baseball_bat"), WEAPON(6, "nailbat"), WEAPON(8, "grey_brick"),
    WEAPON(11, "cattleprod"), WEAPON(12, "chain"), WEAPON(13, "chainsaw"), WEAPON(14, "colt_revolver"),
    WEAPON(112, "coltammo"), WEAPON(17, "crowbar"), WEAPON(18, "bomb_detonator"), WEAPON(20, "dynamite"),
    WEAPON(23, "gascan"), WEAPON(25, "golf_club"), WEAPON(27, "grenade"), WEAPON(29, "huntrifl"),
    WEAPON(30, "huntammo"), WEAPON(31, "throwknife"), WEAPON(32, "hunting_knife"), WEAPON(33, "m16"),
    WEAPON(34, "m72"), WEAPON(35, "m72ammo"), WEAPON(37, "machinegun"), WEAPON(38, "machineammo"),
    WEAPON(41, "nailgun"), WEAPON(42, "nailammo"), WEAPON(44, "pickaxe"), WEAPON(45, "bent_pipe"),
    WEAPON(46, "pipe_bomb"), WEAPON(47, "pistol"), WEAPON(48, "pistol_ammo"), WEAPON(50, "pitchfork"),
    WEAPON(51, "nightstick"), WEAPON(52, "pump_action"), WEAPON(53, "pumpammo"), WEAPON(62, "spade"),
    WEAPON(66, "tennis_ball"), WEAPON(67, "tennis_racket"), WEAPON(68, "woodlog"), WEAPON(69, "timebomb"),
    WEAPON(70, "amfootb"), WEAPON(71, "uzi"), WEAPON(72, "uzi_ammo"), WEAPON(78, "screwdriver"),
    KEY(79), KEY(80), KEY(81), KEY(82), KEY(83), KEY(84), KEY(85), KEY(86), KEY(87), KEY(88), KEY(89), KEY(90),
    CARD(93, "cardyell"), CARD(94, "cardwhit"), CARD(95, "cardviol"), CARD(96, "cardred"),
    CARD(97, "cardpink"), CARD(98, "cardblue"), CARD(99, "cardlblu"), CARD(100, "cardgree"),
    CARD(101, "cardgray"), CARD(102, "carddred"), CARD(103, "carddgre"), CARD(104, "cardbrow"),
    WEAPON(111, "hand"), LIMB(132, "Leg"), WEAPON(135, "forcegun"),
    TypeFiles{136, WO_DIR "forcebolt.qmd", WO_DIR "metal1.bmp"},
    WEAPON(138, "laser"),
    TypeFiles{139, WO_DIR "laserbolt.qmd", WO_DIR "metal2.bmp"},
    WEAPON(115, "baskbl"), WEAPON(144, "m72ammo"), WEAPON(147, "serum"), WEAPON(28, "sledge_hammer"),
    WEAPON(149, "enbottle"), LIMB(131, "Arm"), WEAPON(148, "m72rocket"),
    // Models of objects that have no row in the master table.
    WEAPON(105, "crank"), WEAPON(107, "spanner"), WEAPON(108, "iron_post"), WEAPON(113, "plastic"),
    WEAPON(114, "nasat"), WEAPON(121, "padlock"), WEAPON(122, "surgical_saw"), WEAPON(130, "m72ammo"),
    TypeFiles{141, "graphics\\models\\town\\roadrolr.qmd", "graphics\\models\\town\\roadrolr.bmp"},
    TypeFiles{142, "graphics\\models\\farm\\combine3.qkm", "graphics\\models\\farm\\combine3.bmp"},
    TypeFiles{143, "graphics\\models\\cablboat.qmd", "graphics\\models\\cablboat.bmp"},
};

#undef WEAPON
#undef KEY
#undef CARD
#undef LIMB
#undef WO_DIR

// The tables indexed by type, built once from the list above.
struct TypeTables {
    std::array<const char*, WO_TYPE_FILES> model{};
    std::array<const char*, WO_TYPE_FILES> skin{};
};

constexpr TypeTables BuildTables() {
    TypeTables tables;
    for (const TypeFiles& entry : kTypeFiles) {
        tables.model[entry.type] = entry.model;
        tables.skin[entry.type] = entry.skin;
    }
    return tables;
}

constexpr TypeTables kTables = BuildTables();

constexpr bool Listed(const uint32_t* list, uint32_t type) {
    for (; *list != WO_NO_TYPE; ++list)
        if (*list == type)
            return true;
    return false;
}

constexpr uint32_t kNeverSpawnedInNetworkGame[] = {
    18, 19, 20, 46, 69, 78, 79, 80, 81, 82, 83, 84, 85, 86, 87, 88, 89, 90, 93, 94, 95, 96, 97, 98,
    99, 100, 101, 102, 103, 104, 107, 111, 147, 149, WO_NO_TYPE,
};

constexpr uint32_t kReturnsToPlace[] = {
    17, 18, 19, 20, 23, 43, 69, 78, 79, 80, 81, 82, 83, 84, 85, 86, 87, 88, 89, 90, 93, 94, 95, 96,
    97, 98, 99, 100, 101, 102, 103, 104, 105, 113, WO_NO_TYPE,
};

}  // namespace

constexpr std::array<const char*, WO_CARD_COUNT> WO_CARD_SKINS = {
    "cardyell", "cardwhit", "cardviol", "cardred", "cardpink", "cardblue",
    "cardlblu", "cardgree", "cardgray", "carddred", "carddgre", "cardbrow",
};

const char* WO_TypeModelFile(uint32_t type) { return type < WO_TYPE_FILES ? kTables.model[type] : nullptr; }

const char* WO_TypeSkinFile(uint32_t type) { return type < WO_TYPE_FILES ? kTables.skin[type] : nullptr; }

bool WO_NeverSpawnedInNetworkGame(uint32_t type) { return Listed(kNeverSpawnedInNetworkGame, type); }

bool WO_ReturnsToPlace(uint32_t type) { return Listed(kReturnsToPlace, type); }
