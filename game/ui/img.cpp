// Interface picture holders and the out-game, menu and location-picture sets.
#include "ui/img.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/rnd_bitmap.h"
#include "common/muf.h"
#include "ui/fnt.h"

ImageHolder g_ImgLoading;
ImageHolder g_ImgLoadLevel;
ImageHolder g_ImgPointers[IMG_POINTERS];
ImageHolder g_ImgDeadFace;
ImageHolder g_ImgMenuIcon;
ImageHolder g_ImgMenuBackgrounds[IMG_MENU_BACKGROUNDS];
ImageHolder g_ImgCharSelIcons[2];
ImageHolder g_ImgMenuLocationPictures[IMG_LOCATION_PICTURES];
ImageHolder g_ImgLocationButtons[IMG_LOCATION_PICTURES];
ImageHolder g_ImgLocationPictures[IMG_LOCATION_PICTURES];

namespace {

constexpr const char* kPointerNames[IMG_POINTERS] = {"NOWT", "HAND", "HANDNOF", "HOURGLAS", "HANDAR",
                                                     "HANDRED", "HANDYELL", "HANDBLAC", "HANDBLUE"};
constexpr const char* kBackgroundNames[IMG_MENU_BACKGROUNDS] = {
    "MENUBACK", "MPM", "OM", "CKM", "SLM", "LSGM", "MPGCM", "MPTLM", "MPCSM", "CHARSEL", "ISLAND"};
constexpr const char* kLocationNames[IMG_LOCATION_PICTURES] = {
    "AIRPORT", "GRAVE", "DOCK", "HOTEL", "SPORT", "FARM", "TOWN",
    "WATER", "HOSPITAL", "FACTORY", "LABS", "SECURE", "SHOP", "ESCAPE"};

// The temporary copy that the last extraction wrote ("muftemp.bmp"), empty when none.
std::string g_ExtractedCopy;

void Load(ImageHolder* h, const std::string& path) {
    IMG_LoadBitmap(h, path.c_str());
}

}  // namespace

Bitmap* IMG_LoadBitmap(ImageHolder* holder, const char* path) {
    if (!holder || !path)
        return nullptr;
    const char* disk = MUF_ExtractToTemp(path);  // extracted even when already loaded
    if (disk && disk != path && std::strcmp(disk, path) != 0)
        g_ExtractedCopy = disk;
    if (holder->loaded)
        return holder->bitmap;
    *holder = ImageHolder{};
    if (disk)
        holder->bitmap = DSP_LoadBitmap(disk);
    if (holder->bitmap)
        holder->loaded = 1;
    return holder->bitmap;
}

void IMG_DeleteExtractedPicture() {
    if (!g_ExtractedCopy.empty())
        std::remove(g_ExtractedCopy.c_str());
    g_ExtractedCopy.clear();
}

void IMG_FreeBitmap(ImageHolder* holder) {
    if (!holder || !holder->loaded || !holder->bitmap)
        return;
    DSP_FreeBitmap(holder->bitmap);
    holder->bitmap = nullptr;
    holder->loaded = 0;
}

int IMG_DrawBitmap(ImageHolder* holder, int, int left, int top, int right, int bottom, int mode) {
    if (!holder || !holder->bitmap)
        return 0;
    if (--holder->redraw < 0) {
        holder->redraw = 0;
        return 1;
    }
    DesignPoint at{static_cast<float>(left), static_cast<float>(top)};
    if (mode == IMG_OPAQUE)
        DSP_BlitBitmap(holder->bitmap, &at, right - left, bottom - top);
    else if (mode == IMG_KEYED)
        DSP_BlitBitmapKeyed(holder->bitmap, &at, right - left, bottom - top);
    return 1;
}

int IMG_LoadOutgameBitmaps() {
    Load(&g_ImgLoading, "GRAPHICS\\INTERFACE\\OUTGAME\\BACKGROUNDS\\LOADING.BMP");
    Load(&g_ImgLoadLevel, "GRAPHICS\\INTERFACE\\OUTGAME\\BACKGROUNDS\\LOADLEV.BMP");
    for (int i = 0; i < IMG_POINTERS; ++i)
        Load(&g_ImgPointers[i], std::string("GRAPHICS\\INTERFACE\\POINTERS\\") + kPointerNames[i] + ".BMP");
    FNT_LoadFonts();
    Load(&g_ImgDeadFace, "GRAPHICS\\INTERFACE\\INGAME\\FACES\\DEAD.BMP");
    IMG_LoadFaces();
    return 1;
}

void IMG_FreeOutgameBitmaps() {
    IMG_FreeBitmap(&g_ImgLoading);
    IMG_FreeBitmap(&g_ImgLoadLevel);
    for (ImageHolder& h : g_ImgPointers)
        IMG_FreeBitmap(&h);
    FNT_FreeFonts();
    IMG_FreeBitmap(&g_ImgDeadFace);
    IMG_FreeFaces();
    IMG_FreeIngameWindows();
    IMG_FreeMenuBitmaps();
}

int IMG_LoadMenuBitmaps() {
    Load(&g_ImgMenuIcon, "GRAPHICS\\INTERFACE\\OUTGAME\\ICONS\\CB.BMP");
    for (int i = 0; i < IMG_MENU_BACKGROUNDS; ++i)
        Load(&g_ImgMenuBackgrounds[i],
             std::string("GRAPHICS\\INTERFACE\\OUTGAME\\BACKGROUNDS\\") + kBackgroundNames[i] + ".BMP");
    Load(&g_ImgCharSelIcons[0], "GRAPHICS\\INTERFACE\\OUTGAME\\ICONS\\CHARSEL.BMP");
    Load(&g_ImgCharSelIcons[1], "GRAPHICS\\INTERFACE\\OUTGAME\\ICONS\\CHARSEL2.BMP");
    for (int i = 0; i < IMG_LOCATION_PICTURES; ++i)
        Load(&g_ImgMenuLocationPictures[i],
             std::string("GRAPHICS\\INTERFACE\\OUTGAME\\ICONS\\SPICS\\") + kLocationNames[i] + ".BMP");
    for (int i = 0; i < IMG_LOCATION_PICTURES; ++i) {
        const char* name = i < 13 ? kLocationNames[i] : "DONE";
        Load(&g_ImgLocationButtons[i],
             std::string("GRAPHICS\\INTERFACE\\OUTGAME\\ICONS\\LOCATIONS\\") + name + ".BMP");
    }
    return 1;
}

void IMG_FreeMenuBitmaps() {
    IMG_FreeBitmap(&g_ImgMenuIcon);
    for (ImageHolder& h : g_ImgMenuBackgrounds)
        IMG_FreeBitmap(&h);
    for (ImageHolder& h : g_ImgCharSelIcons)
        IMG_FreeBitmap(&h);
    for (ImageHolder& h : g_ImgMenuLocationPictures)
        IMG_FreeBitmap(&h);
    for (ImageHolder& h : g_ImgLocationButtons)
        IMG_FreeBitmap(&h);
}

int IMG_LoadLocationPictures() {
    for (int i = 0; i < IMG_LOCATION_PICTURES; ++i)
        Load(&g_ImgLocationPictures[i],
             std::string("GRAPHICS\\INTERFACE\\OUTGAME\\ICONS\\SPICS\\") + kLocationNames[i] + ".BMP");
    return 1;
}

void IMG_FreeLocationPictures() {
    for (ImageHolder& h : g_ImgLocationPictures)
        IMG_FreeBitmap(&h);
}
