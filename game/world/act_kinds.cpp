// The character kind tables: the two model files, the six-entry model name table, the character
// records, the human kinds {record, skin A, skin B}, the sixteen zombie looks and the skin bitmap
// names. The first human kinds' skin B indices (54, 55, 56, 57) and the zombie looks are the
// game's own; everything marked "authored" (the further kinds, the records' face directories and
// the skin file names) was chosen for this project.
#include "world/act.h"

#include <array>
#include <cstddef>

const char* const kActModelFiles[2] = {"graphics\\models\\female.qkm", "graphics\\models\\male.qkm"};

// 0 female, 1 male.
const int32_t kActModelNames[ACT_MODEL_NAMES] = {0, 1, 1, 0, 1, 1};

// Authored: the face directories beyond "ace".
const ActCharacterRecord kActCharacterRecords[ACT_CHARACTER_RECORDS] = {
    {0, "graphics\\interface\\ingame\\faces\\ace\\"},
    {1, "graphics\\interface\\ingame\\faces\\bo\\"},
    {2, "graphics\\interface\\ingame\\faces\\cy\\"},
    {3, "graphics\\interface\\ingame\\faces\\di\\"},
    {4, "graphics\\interface\\ingame\\faces\\ed\\"},
    {5, "graphics\\interface\\ingame\\faces\\fox\\"},
};

// Kinds 0..3 are the team; 4..7 (authored) are the further humans of a level or a network game.
const ActHumanKind kActHumanKinds[ACT_HUMAN_KINDS] = {
    {0, 48, 54}, {1, 49, 55}, {2, 50, 56}, {3, 51, 57},
    {4, 52, 58}, {5, 53, 59}, {4, 60, 62}, {5, 61, 63},
};

// Looks 0, 1, 2 and 13 use the female model.
const ActZombieLook kActZombieLooks[ACT_ZOMBIE_LOOKS] = {
    {0, 108}, {0, 109}, {0, 110}, {1, 111}, {1, 112}, {1, 113}, {1, 114}, {1, 115},
    {1, 116}, {1, 117}, {1, 118}, {1, 119}, {1, 120}, {0, 121}, {1, 122}, {1, 123},
};

namespace {
#define HUMAN_SKIN(name) "graphics\\skins\\Human Skins\\" name ".bmp"
constexpr std::array<const char*, ACT_SKINS> MakeSkins() {
    std::array<const char*, ACT_SKINS> s{};
    // Authored file names.
    const char* const humans[16] = {HUMAN_SKIN("ace"),   HUMAN_SKIN("bo"),    HUMAN_SKIN("cy"),    HUMAN_SKIN("di"),
                                    HUMAN_SKIN("ed"),    HUMAN_SKIN("fox"),   HUMAN_SKIN("ace_b"), HUMAN_SKIN("bo_b"),
                                    HUMAN_SKIN("cy_b"),  HUMAN_SKIN("di_b"),  HUMAN_SKIN("ed_b"),  HUMAN_SKIN("fox_b"),
                                    HUMAN_SKIN("guard"), HUMAN_SKIN("nurse"), HUMAN_SKIN("guard_b"),
                                    HUMAN_SKIN("nurse_b")};
    for (int i = 0; i < 16; ++i)
        s[std::size_t(48 + i)] = humans[i];
    const char* const zombies[ACT_ZOMBIE_LOOKS] = {
        HUMAN_SKIN("zombie00"), HUMAN_SKIN("zombie01"), HUMAN_SKIN("zombie02"), HUMAN_SKIN("zombie03"),
        HUMAN_SKIN("zombie04"), HUMAN_SKIN("zombie05"), HUMAN_SKIN("zombie06"), HUMAN_SKIN("zombie07"),
        HUMAN_SKIN("zombie08"), HUMAN_SKIN("zombie09"), HUMAN_SKIN("zombie10"), HUMAN_SKIN("zombie11"),
        HUMAN_SKIN("zombie12"), HUMAN_SKIN("zombie13"), HUMAN_SKIN("zombie14"), HUMAN_SKIN("zombie15")};
    for (int i = 0; i < ACT_ZOMBIE_LOOKS; ++i)
        s[std::size_t(108 + i)] = zombies[i];
    return s;
}
#undef HUMAN_SKIN
const char* SkinFile(int32_t index) {
    return index >= 0 && index < ACT_SKINS ? kActSkinFiles[index] : nullptr;
}

const char* RecordModel(int32_t record) {
    if (record < 0 || record >= ACT_CHARACTER_RECORDS)
        return nullptr;
    const int32_t name = kActCharacterRecords[record].modelName;
    return name >= 0 && name < ACT_MODEL_NAMES ? kActModelFiles[kActModelNames[name]] : nullptr;
}
}  // namespace

const std::array<const char*, ACT_SKINS> kActSkinFiles = MakeSkins();

int ACT_GetKindFiles(int characterId, ActKindFiles* out) {
    if (!out || characterId < 0 || characterId >= ACT_HUMAN_KINDS)
        return 0;
    const ActHumanKind& kind = kActHumanKinds[characterId];
    ActKindFiles files = {RecordModel(kind.record), SkinFile(kind.skinA), SkinFile(kind.skinB)};
    if (!files.model)
        return 0;
    *out = files;
    return 1;
}

int ACT_GetLookFiles(int look, ActKindFiles* out) {
    if (!out || look < 0 || look >= ACT_ZOMBIE_LOOKS)
        return 0;
    const ActZombieLook& entry = kActZombieLooks[look];
    const int32_t selector = entry.modelSelector ? 1 : 0;
    *out = {kActModelFiles[selector], SkinFile(entry.skin), nullptr};
    return 1;
}
