// SDL scan codes (the USB keyboard usage numbers) to DirectInput scan codes (PC set 1, extended
// keys with 0x80 set), for the keys a game uses. Kept apart from the SDL backend so that it
// builds and is tested without SDL.
#include <algorithm>
#include <array>
#include <iterator>

#include "internal.h"

namespace plat::detail {
namespace {
struct KeyPair {
    uint16_t usb;
    uint8_t dik;
};

// Ordered by usage number.
constexpr KeyPair kKeys[] = {
    {4, 0x1E},   {5, 0x30},   {6, 0x2E},   {7, 0x20},   {8, 0x12},   {9, 0x21},   {10, 0x22},  // A-G
    {11, 0x23},  {12, 0x17},  {13, 0x24},  {14, 0x25},  {15, 0x26},  {16, 0x32},  {17, 0x31},  // H-N
    {18, 0x18},  {19, 0x19},  {20, 0x10},  {21, 0x13},  {22, 0x1F},  {23, 0x14},  {24, 0x16},  // O-U
    {25, 0x2F},  {26, 0x11},  {27, 0x2D},  {28, 0x15},  {29, 0x2C},                            // V-Z
    {30, 0x02},  {31, 0x03},  {32, 0x04},  {33, 0x05},  {34, 0x06},  {35, 0x07},  {36, 0x08},  // 1-7
    {37, 0x09},  {38, 0x0A},  {39, 0x0B},                                                      // 8, 9, 0
    {40, 0x1C},  {41, 0x01},  {42, 0x0E},  {43, 0x0F},  {44, 0x39},  // Return Esc Back Tab Space
    {45, 0x0C},  {46, 0x0D},  {47, 0x1A},  {48, 0x1B},  {49, 0x2B},  // - = [ ] backslash
    {51, 0x27},  {52, 0x28},  {53, 0x29},  {54, 0x33},  {55, 0x34},  {56, 0x35}, // ; ' ` , . /
    {57, 0x3A},                                                                 // Caps Lock
    {58, 0x3B},  {59, 0x3C},  {60, 0x3D},  {61, 0x3E},  {62, 0x3F},  {63, 0x40}, // F1-F6
    {64, 0x41},  {65, 0x42},  {66, 0x43},  {67, 0x44},  {68, 0x57},  {69, 0x58}, // F7-F12
    {71, 0x46},                                                                 // Scroll Lock
    {73, 0xD2},  {74, 0xC7},  {75, 0xC9},  {76, 0xD3},  {77, 0xCF},  {78, 0xD1}, // Ins Home PgUp Del End PgDn
    {79, 0xCD},  {80, 0xCB},  {81, 0xD0},  {82, 0xC8},                         // Right Left Down Up
    {83, 0x45},  {84, 0xB5},  {85, 0x37},  {86, 0x4A},  {87, 0x4E},  {88, 0x9C}, // NumLock KP/ * - + Enter
    {89, 0x4F},  {90, 0x50},  {91, 0x51},  {92, 0x4B},  {93, 0x4C},  {94, 0x4D}, // KP1-KP6
    {95, 0x47},  {96, 0x48},  {97, 0x49},  {98, 0x52},  {99, 0x53},             // KP7-KP9 KP0 KP.
    {224, 0x1D}, {225, 0x2A}, {226, 0x38}, {228, 0x9D}, {229, 0x36}, {230, 0xB8}, // LCtrl LShift LAlt RCtrl RShift RAlt
};

constexpr bool Ordered() {
    for (size_t i = 1; i < std::size(kKeys); ++i)
        if (kKeys[i - 1].usb >= kKeys[i].usb)
            return false;
    return true;
}
static_assert(Ordered(), "the key table must stay ordered for the binary search");
}  // namespace

uint8_t DikFromSdlScancode(int scancode) {
    auto it = std::lower_bound(std::begin(kKeys), std::end(kKeys), scancode,
                               [](const KeyPair& k, int code) { return k.usb < code; });
    return (it != std::end(kKeys) && it->usb == scancode) ? it->dik : 0;
}

}  // namespace plat::detail
