// The plug-in's resources: dialog 106, "Ghoulden Game Options", and its picture, bitmap 139
// (620 x 360 at 24 bits, drawn here: a night sky over a graveyard). They are added to the window
// model's resources when the library is loaded and removed when it is unloaded.
#include <cstdint>
#include <iterator>
#include <vector>

#include "mfc_resources.h"
#include "options_dialog.h"

namespace {

constexpr UINT kPictureId = 139;
constexpr int kPictureWidth = 620, kPictureHeight = 360;
constexpr UINT kNoId = 0xFFFF;
constexpr DWORD kLimitBox = ES_READONLY | ES_NUMBER | ES_CENTER | WS_BORDER;

const AfxDlgItem kOptionsItems[] = {
    {UINT(IDOK), AFX_WC_BUTTON, "&OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 320, 245, 40, 30, 0},
    {UINT(IDCANCEL), AFX_WC_BUTTON, "&Cancel", BS_PUSHBUTTON | WS_TABSTOP, 0, 370, 245, 40, 30, 0},
    {IDC_GAME_TYPE, AFX_WC_COMBOBOX, nullptr, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, WS_EX_STATICEDGE, 55, 5,
     165, 35, 0},
    {kNoId, AFX_WC_STATIC, "Game Type", 0, 0, 10, 5, 40, 10, 0},
    {IDC_LEVEL, AFX_WC_COMBOBOX, nullptr, CBS_DROPDOWNLIST | WS_VSCROLL | WS_GROUP | WS_TABSTOP, 0, 260, 5, 150,
     150, 0},
    {kNoId, AFX_WC_STATIC, "Level", 0, 0, 230, 5, 25, 8, 0},
    {IDC_FRAG_LIMIT, AFX_WC_EDIT, nullptr, kLimitBox, 0, 40, 255, 40, 15, 0},
    {kNoId, AFX_WC_STATIC, "FRAG Limit", 0, 0, 25, 245, 65, 8, 0},
    {IDC_TIME_LIMIT, AFX_WC_EDIT, nullptr, kLimitBox, 0, 120, 255, 40, 15, 0},
    {kNoId, AFX_WC_STATIC, "Time Limit (minutes)", 0, 0, 105, 245, 65, 8, 0},
    {IDC_TRAPS, AFX_WC_BUTTON, "Traps ON", BS_CHECKBOX | WS_TABSTOP, 0, 185, 255, 45, 15, 0},
    {IDC_FRAG_DOWN, AFX_WC_BUTTON, "<", BS_PUSHBUTTON, 0, 25, 255, 15, 15, 0},
    {IDC_FRAG_UP, AFX_WC_BUTTON, ">", BS_PUSHBUTTON, 0, 80, 255, 15, 15, 0},
    {IDC_TIME_DOWN, AFX_WC_BUTTON, "<", BS_PUSHBUTTON, 0, 105, 255, 15, 15, 0},
    {IDC_TIME_UP, AFX_WC_BUTTON, ">", BS_PUSHBUTTON, 0, 160, 255, 15, 15, 0},
    {kNoId, AFX_WC_STATIC, nullptr, SS_BITMAP | SS_CENTERIMAGE | SS_SUNKEN, 0, 5, 20, 413, 222, kPictureId},
};

const AfxDlgTemplate kDialogs[] = {
    {CGameOptionsDlg::IDD, "Ghoulden Game Options", "MS Sans Serif", 8,
     DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 422, 276, kOptionsItems,
     std::size(kOptionsItems)},
};

// A dusk gradient, a moon, and a row of grey headstones on dark ground.
std::vector<uint8_t> DrawPicture() {
    std::vector<uint8_t> bits(std::size_t(kPictureWidth) * kPictureHeight * 3);
    constexpr int kGround = 290;
    for (int y = 0; y < kPictureHeight; ++y)
        for (int x = 0; x < kPictureWidth; ++x) {
            int r, g, b;
            if (y >= kGround) {
                r = 20, g = 28, b = 16;
            } else {
                r = 60 - y * 50 / kGround;
                g = 20 - y * 15 / kGround;
                b = 90 - y * 60 / kGround;
            }
            int dx = x - 480, dy = y - 80;
            if (dx * dx + dy * dy < 40 * 40)
                r = 220, g = 220, b = 190;
            int stone = x % 90;
            if (stone >= 30 && stone < 60 && y >= kGround - 40 && y < kGround + 10) {
                int cx = stone - 45, cy = y - (kGround - 25);
                if (cy >= 0 || cx * cx + cy * cy < 15 * 15)
                    r = g = b = 105;
            }
            uint8_t* p = &bits[(std::size_t(y) * kPictureWidth + x) * 3];
            p[0] = uint8_t(b);
            p[1] = uint8_t(g);
            p[2] = uint8_t(r);
        }
    return bits;
}

struct OptionsResources {
    std::vector<uint8_t> picture = DrawPicture();
    AfxBitmapResource bitmaps[1] = {{kPictureId, kPictureWidth, kPictureHeight, 24, picture.data()}};
    AfxResourceTable table{kDialogs, std::size(kDialogs), bitmaps, std::size(bitmaps)};

    OptionsResources() { AfxAddResourceTable(&table); }
    ~OptionsResources() { AfxRemoveResourceTable(&table); }
    OptionsResources(const OptionsResources&) = delete;
    OptionsResources& operator=(const OptionsResources&) = delete;
};

OptionsResources g_Resources;

} // namespace
