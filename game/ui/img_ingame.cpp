// The in-game picture set (window frames, the location map of the level at two design sizes,
// icons, action buttons, radar blips, the eyeball's rotation frames), the world-object icons
// loaded type by type, and the character faces of the out-game set. File names are built from
// the tables below; a picture that is missing leaves its holder empty.
#include <cstdio>

#include "engine/rnd_bitmap.h"
#include "engine/rnd_state.h"
#include "ui/img.h"

ImageHolder g_ImgIngameWindows[IMG_INGAME_WINDOWS];
ImageHolder g_ImgIdbSec;
ImageHolder g_ImgLocationMap[2];
ImageHolder g_ImgSelection;
ImageHolder g_ImgMisc[3];
ImageHolder g_ImgActionButtons[IMG_ACTION_BUTTONS];
ImageHolder g_ImgRadarBlips[IMG_BLIP_COLOURS][IMG_BLIP_FRAMES];
ImageHolder g_ImgEyeball[IMG_EYEBALL_FRAMES];
ImageHolder g_ImgObjectIcons[IMG_ICON_TYPES][2];
ImageHolder g_ImgFaces[IMG_FACE_CHARACTERS][IMG_FACE_VARIANTS];

namespace {

constexpr const char* kWindowNames[IMG_INGAME_WINDOWS] = {"RA", "CBF", "WOB", "CB", "IDB"};
constexpr const char* kMapNames[17] = {"GRAVE",  "TOWN",     "FARM",     "MULTIPLEX", "MALL",     "AIRPORT",
                                       "SPORTS", "HOTEL",    "CAMP",     "HYDRO",     "DOCKS",    "TRAINING",
                                       "HOSPITAL", "LABS",   "SECURITY", "FACTORY",   "ESCAPE"};
constexpr const char* kMiscNames[3] = {"WEAPCNT", "WEAPCNT2", "CHARHI"};
constexpr const char* kActionNames[IMG_ACTION_BUTTONS] = {"NA_MUSIC", "NA_SOUND", "NA_USE",   "NA_DROP",
                                                          "NA_S_MUS", "NA_S_SND", "NA_S_EYE", "NA_S_RDR"};
constexpr const char* kBlipNames[IMG_BLIP_COLOURS] = {"RA_BLIP", "RA_MLIP", "RA_GLIP", "RA_RLIP", "RA_FLIP"};

void Load(ImageHolder* h, const char* format, const char* a = "", int n = 0) {
    char path[160];
    std::snprintf(path, sizeof path, format, a, n);
    IMG_LoadBitmap(h, path);
}

void FreeAll(ImageHolder* first, int count) {
    for (int i = 0; i < count; ++i)
        IMG_FreeBitmap(first + i);
}

}  // namespace

const char* IMG_LocationMapName(int level) {
    return level >= 0 && level < 17 ? kMapNames[level] : nullptr;
}

int IMG_LoadIngameWindows(int level) {
    for (int i = 0; i < IMG_INGAME_WINDOWS; ++i)
        Load(&g_ImgIngameWindows[i], "GRAPHICS\\INTERFACE\\INGAME\\WINDOWS\\%s.BMP", kWindowNames[i]);
    Load(&g_ImgIdbSec, "GRAPHICS\\INTERFACE\\INGAME\\ICONS\\MISC\\IDBSEC.BMP");
    if (const char* map = IMG_LocationMapName(level)) {
        // Once at the display's own size (the radar maps it pixel for pixel), once in design space.
        DSP_SetDesignSize(static_cast<int>(RND_GetScreenWidth()), static_cast<int>(RND_GetScreenHeight()));
        Load(&g_ImgLocationMap[0], "GRAPHICS\\INTERFACE\\INGAME\\MAPS\\%s.BMP", map);
        DSP_SetDesignSize(640, 480);
        Load(&g_ImgLocationMap[1], "GRAPHICS\\INTERFACE\\INGAME\\MAPS\\%s.BMP", map);
    }
    Load(&g_ImgSelection, "GRAPHICS\\INTERFACE\\INGAME\\ICONS\\NORMAL\\SEL.BMP");
    for (int i = 0; i < 3; ++i)
        Load(&g_ImgMisc[i], "GRAPHICS\\INTERFACE\\INGAME\\ICONS\\MISC\\%s.BMP", kMiscNames[i]);
    for (int i = 0; i < IMG_ACTION_BUTTONS; ++i)
        Load(&g_ImgActionButtons[i], "GRAPHICS\\INTERFACE\\INGAME\\ICONS\\ACTOPS\\%s.BMP", kActionNames[i]);
    for (int c = 0; c < IMG_BLIP_COLOURS; ++c)
        for (int f = 0; f < IMG_BLIP_FRAMES; ++f)
            Load(&g_ImgRadarBlips[c][f], "GRAPHICS\\INTERFACE\\INGAME\\ICONS\\RADAR\\%s%d.BMP", kBlipNames[c], f);
    for (int f = 0; f < IMG_EYEBALL_FRAMES; ++f)
        Load(&g_ImgEyeball[f], "GRAPHICS\\INTERFACE\\INGAME\\ROTATES\\EYEBALL\\IBAL%s%04d.BMP", "", f + 1);
    return 1;
}

void IMG_FreeIngameWindows() {
    FreeAll(g_ImgIngameWindows, IMG_INGAME_WINDOWS);
    IMG_FreeBitmap(&g_ImgIdbSec);
    FreeAll(g_ImgLocationMap, 2);
    IMG_FreeBitmap(&g_ImgSelection);
    FreeAll(g_ImgMisc, 3);
    FreeAll(g_ImgActionButtons, IMG_ACTION_BUTTONS);
    FreeAll(&g_ImgRadarBlips[0][0], IMG_BLIP_COLOURS * IMG_BLIP_FRAMES);
    FreeAll(g_ImgEyeball, IMG_EYEBALL_FRAMES);
    FreeAll(&g_ImgObjectIcons[0][0], IMG_ICON_TYPES * 2);
}

int IMG_LoadObjectIcons(int type) {
    // Icons exist for the types 0..149 only.
    if (type < 0 || type >= IMG_ICON_TYPES)
        return 0;
    Load(&g_ImgObjectIcons[type][0], "GRAPHICS\\INTERFACE\\INGAME\\ICONS\\NORMAL\\OBJ%s%03d.BMP", "", type);
    Load(&g_ImgObjectIcons[type][1], "GRAPHICS\\INTERFACE\\INGAME\\ICONS\\NORMAL\\OBJ%s%03dH.BMP", "", type);
    return 1;
}

int IMG_LoadFaces() {
    // Character c's faces are "FACEcc_1.BMP" to "FACEcc_3.BMP".
    for (int c = 0; c < IMG_FACE_CHARACTERS; ++c)
        for (int v = 0; v < IMG_FACE_VARIANTS; ++v) {
            char path[96];
            std::snprintf(path, sizeof path, "GRAPHICS\\INTERFACE\\INGAME\\FACES\\FACE%02d_%d.BMP", c, v + 1);
            IMG_LoadBitmap(&g_ImgFaces[c][v], path);
        }
    return 1;
}

void IMG_FreeFaces() {
    FreeAll(&g_ImgFaces[0][0], IMG_FACE_CHARACTERS * IMG_FACE_VARIANTS);
}

ImageHolder* IMG_Face(int character, int variant) {
    if (character < 0 || character >= IMG_FACE_CHARACTERS || variant < 0 || variant >= IMG_FACE_VARIANTS)
        return nullptr;
    return &g_ImgFaces[character][variant];
}
