// Interface pictures: holders with a loaded flag and a redraw count, loaded in sets (out-game,
// menu, location pictures) from "GRAPHICS\INTERFACE\..." and freed again when the display mode
// changes. A picture that cannot be loaded leaves its holder empty and draws nothing.
#pragma once
#include <cstdint>

struct Bitmap;

struct ImageHolder {
    int32_t loaded;
    int32_t redraw;  // a draw first counts it down and draws only while it stays >= 0
    Bitmap* bitmap;
};

// Image draw modes.
enum : int { IMG_OPAQUE = 0, IMG_KEYED = 1 };

constexpr int IMG_POINTERS = 9;          // 0 the blank that erases the pointer, 1..8 the kinds
constexpr int IMG_MENU_BACKGROUNDS = 11; // MENUBACK, MPM, OM, CKM, SLM, LSGM, MPGCM, MPTLM, MPCSM, CHARSEL, ISLAND
constexpr int IMG_LOCATION_PICTURES = 14;
enum : int { IMG_BACK_MENU = 0 };        // index of MENUBACK.BMP in g_ImgMenuBackgrounds

extern ImageHolder g_ImgLoading;
extern ImageHolder g_ImgLoadLevel;
extern ImageHolder g_ImgPointers[IMG_POINTERS];
extern ImageHolder g_ImgDeadFace;
extern ImageHolder g_ImgMenuIcon;
extern ImageHolder g_ImgMenuBackgrounds[IMG_MENU_BACKGROUNDS];
extern ImageHolder g_ImgCharSelIcons[2];
extern ImageHolder g_ImgMenuLocationPictures[IMG_LOCATION_PICTURES];
extern ImageHolder g_ImgLocationButtons[IMG_LOCATION_PICTURES];  // 13 locations and DONE.BMP
extern ImageHolder g_ImgLocationPictures[IMG_LOCATION_PICTURES];

// Extracts the path and, when the holder is empty, loads it: the bitmap, or null.
Bitmap* IMG_LoadBitmap(ImageHolder* holder, const char* path);
void IMG_FreeBitmap(ImageHolder* holder);
// Draws at (left, top) with the size right - left by bottom - top through the redraw count:
// 0 without a picture, else 1.
int IMG_DrawBitmap(ImageHolder* holder, int ignored, int left, int top, int right, int bottom, int mode);

// Deletes the disk copy that the last picture extracted from an archive left behind.
void IMG_DeleteExtractedPicture();

int IMG_LoadOutgameBitmaps();
void IMG_FreeOutgameBitmaps();  // also frees the in-game and menu sets
int IMG_LoadMenuBitmaps();
void IMG_FreeMenuBitmaps();
int IMG_LoadLocationPictures();
void IMG_FreeLocationPictures();

// The in-game set: window frames, the level's location map (holder 0 at the display's own size,
// holder 1 in the 640 x 480 design space; level ids 0..16, none for another), icons, action
// buttons, 5 x 7 radar blips and the eyeball's 64 rotation frames. Freed with the object icons.
constexpr int IMG_INGAME_WINDOWS = 5;   // RA, CBF, WOB, CB, IDB
constexpr int IMG_ACTION_BUTTONS = 8;
constexpr int IMG_BLIP_COLOURS = 5;
constexpr int IMG_BLIP_FRAMES = 7;
constexpr int IMG_EYEBALL_FRAMES = 64;
constexpr int IMG_ICON_TYPES = 150;     // world-object types with icons
constexpr int IMG_FACE_CHARACTERS = 54;
constexpr int IMG_FACE_VARIANTS = 3;    // face picture = character id x 3 + variant
extern ImageHolder g_ImgIngameWindows[IMG_INGAME_WINDOWS];
extern ImageHolder g_ImgIdbSec;
extern ImageHolder g_ImgLocationMap[2];
extern ImageHolder g_ImgSelection;
extern ImageHolder g_ImgMisc[3];        // WEAPCNT, WEAPCNT2, CHARHI
extern ImageHolder g_ImgActionButtons[IMG_ACTION_BUTTONS];
extern ImageHolder g_ImgRadarBlips[IMG_BLIP_COLOURS][IMG_BLIP_FRAMES];
extern ImageHolder g_ImgEyeball[IMG_EYEBALL_FRAMES];
extern ImageHolder g_ImgObjectIcons[IMG_ICON_TYPES][2];
extern ImageHolder g_ImgFaces[IMG_FACE_CHARACTERS][IMG_FACE_VARIANTS];

// The location map's file name of a level id, null for another value.
const char* IMG_LocationMapName(int level);
int IMG_LoadIngameWindows(int level);
void IMG_FreeIngameWindows();
// Loads the two in-game icons of a world-object type; a type outside 0..149 loads nothing (0).
int IMG_LoadObjectIcons(int type);
// The character faces of the out-game set: three variants for each of the 54 characters.
int IMG_LoadFaces();
void IMG_FreeFaces();
// The face holder of a character 0..53 and variant 0..2; null outside.
ImageHolder* IMG_Face(int character, int variant);
