// Resources of the modules that use the window model: dialog templates and bitmaps. A module
// adds its table when it is loaded and removes it before it is unloaded; dialogs and pictures
// are looked up by id in every table added, the most recent first.
#pragma once
#include <cstddef>
#include <cstdint>

#include "mfc.h"

// One control of a dialog template; positions are in dialog units, which the model keeps as
// its coordinates.
struct AfxDlgItem {
    UINT id;            // control id (0xFFFF for labels and pictures that have none)
    const char* className; // AFX_WC_BUTTON, AFX_WC_COMBOBOX, AFX_WC_EDIT or AFX_WC_STATIC
    const char* text;   // may be null
    DWORD style;        // WS_CHILD and WS_VISIBLE are added by the dialog
    DWORD exStyle;
    int x, y, cx, cy;
    UINT imageId;       // for SS_BITMAP pictures: the bitmap resource shown
};

struct AfxDlgTemplate {
    UINT id;
    const char* caption;
    const char* fontName;
    int fontPoints;
    DWORD style;
    int cx, cy;
    const AfxDlgItem* items;
    std::size_t itemCount;
};

// A bitmap: rows top-down, pixels packed without row padding (3 bytes B, G, R at 24 bits).
struct AfxBitmapResource {
    UINT id;
    int width, height, bitsPerPixel;
    const uint8_t* bits;
};

struct AfxResourceTable {
    const AfxDlgTemplate* dialogs;
    std::size_t dialogCount;
    const AfxBitmapResource* bitmaps;
    std::size_t bitmapCount;
};

MFCAPI void AfxAddResourceTable(const AfxResourceTable* table);
MFCAPI void AfxRemoveResourceTable(const AfxResourceTable* table);
MFCAPI const AfxDlgTemplate* AfxFindDialogTemplate(UINT id);
MFCAPI const AfxBitmapResource* AfxFindBitmap(UINT id);
