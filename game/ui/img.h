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

int IMG_LoadOutgameBitmaps();
void IMG_FreeOutgameBitmaps();  // also frees the menu set
int IMG_LoadMenuBitmaps();
void IMG_FreeMenuBitmaps();
int IMG_LoadLocationPictures();
void IMG_FreeLocationPictures();

// Loads the two in-game icons of a world-object type; a type outside 0..149 or without a name
// loads nothing. The result is not used.
int IMG_LoadObjectIcons(int type);
