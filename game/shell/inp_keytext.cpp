// The texts keys type, by DirectInput scan code, without and with Shift (UK layout): what the
// name entry and the chat line append. Texts are single bytes for the bitmap fonts: the pound
// sign is 0xA3 and the not sign 0xAC. Keys that type no character (modifiers, control and
// navigation keys, function keys, system keys, codes of no known key) give an empty text: the chat
// line and the name entry append the text of every newly pressed key, so a name there would end
// up in what the player types.
#include <array>

#include "shell/inp.h"

namespace {

constexpr int kFirstCode = -1;
constexpr int kLastCode = 221;
constexpr char kNoText[] = "";

struct KeyText {
    int code;
    const char* plain;
    const char* shifted;
};

constexpr KeyText kKeyTexts[] = {
    // The main row.
    {2, "1", "!"}, {3, "2", "\""}, {4, "3", "\xA3"}, {5, "4", "$"}, {6, "5", "%"}, {7, "6", "^"},
    {8, "7", "&"}, {9, "8", "*"}, {10, "9", "("}, {11, "0", ")"}, {12, "-", "_"}, {13, "=", "+"},
    // Letters.
    {16, "q", "Q"}, {17, "w", "W"}, {18, "e", "E"}, {19, "r", "R"}, {20, "t", "T"}, {21, "y", "Y"},
    {22, "u", "U"}, {23, "i", "I"}, {24, "o", "O"}, {25, "p", "P"},
    {30, "a", "A"}, {31, "s", "S"}, {32, "d", "D"}, {33, "f", "F"}, {34, "g", "G"}, {35, "h", "H"},
    {36, "j", "J"}, {37, "k", "K"}, {38, "l", "L"},
    {44, "z", "Z"}, {45, "x", "X"}, {46, "c", "C"}, {47, "v", "V"}, {48, "b", "B"}, {49, "n", "N"},
    {50, "m", "M"},
    // Punctuation.
    {26, "[", "{"}, {27, "]", "}"}, {39, ";", ":"}, {40, "'", "@"}, {41, "` \xAC", ""}, {43, "\\", "|"},
    {51, ",", "<"}, {52, ".", ">"}, {53, "/", "?"},
    // The same with and without Shift.
    {55, "*", "*"}, {57, " ", " "},
    {71, "7", "7"}, {72, "8", "8"}, {73, "9", "9"}, {74, "-", "-"}, {75, "4", "4"}, {76, "5", "5"},
    {77, "6", "6"}, {78, "+", "+"}, {79, "1", "1"}, {80, "2", "2"}, {81, "3", "3"}, {82, "0", "0"},
    {83, ".", "."}, {141, "=", "="}, {181, "/", "/"},
};

using TextTable = std::array<const char*, kLastCode - kFirstCode + 1>;

constexpr TextTable BuildTable(bool shifted) {
    TextTable table{};
    for (const char*& text : table)
        text = kNoText;
    for (const KeyText& k : kKeyTexts)
        table[static_cast<size_t>(k.code - kFirstCode)] = shifted ? k.shifted : k.plain;
    return table;
}

constexpr bool EachCodeOnce() {
    for (size_t i = 0; i < std::size(kKeyTexts); ++i)
        for (size_t j = i + 1; j < std::size(kKeyTexts); ++j)
            if (kKeyTexts[i].code == kKeyTexts[j].code)
                return false;
    return true;
}
static_assert(EachCodeOnce(), "every scan code has one entry");

constexpr TextTable kPlainTexts = BuildTable(false);
constexpr TextTable kShiftedTexts = BuildTable(true);

const char* INP_LookUp(const TextTable& table, int scanCode) {
    if (scanCode < kFirstCode || scanCode > kLastCode)
        return kNoText;
    return table[static_cast<size_t>(scanCode - kFirstCode)];
}

}  // namespace

const char* INP_GetKeyText(int scanCode) {
    return INP_LookUp(kPlainTexts, scanCode);
}

const char* INP_GetShiftedKeyText(int scanCode) {
    return INP_LookUp(kShiftedTexts, scanCode);
}
