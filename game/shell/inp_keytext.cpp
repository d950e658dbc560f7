// The texts keys type, by DirectInput scan code, without and with Shift (UK layout): what the
// name entry and key-binding screens show. Texts are single bytes for the bitmap fonts: the pound
// sign is 0xA3 and the not sign 0xAC. The texts of the odd keys are kept as the game shows them.
#include <array>

#include "shell/inp.h"

namespace {

constexpr int kFirstCode = -1;
constexpr int kLastCode = 221;
constexpr char kUnknownKey[] = "ooh, new key";

struct KeyText {
    int code;
    const char* plain;
    const char* shifted;
};

constexpr KeyText kKeyTexts[] = {
    // Keys that type nothing.
    {-1, "", ""}, {1, "", ""}, {14, "", ""}, {15, "", ""}, {28, "", ""}, {29, "", ""}, {42, "", ""},
    {54, "", ""}, {56, "", ""}, {58, "", ""}, {69, "", ""}, {70, "", ""}, {156, "", ""}, {157, "", ""},
    {179, "", ""}, {184, "", ""}, {199, "", ""}, {200, "", ""}, {201, "", ""}, {203, "", ""},
    {205, "", ""}, {207, "", ""}, {208, "", ""}, {209, "", ""}, {210, "", ""}, {211, "", ""},
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
    {59, "f1", "f1"}, {60, "f2", "f2"}, {61, "f3", "f3"}, {62, "f4", "f4"}, {63, "f5", "f5"},
    {64, "f6", "f6"}, {65, "f7", "f7"}, {66, "f8", "f8"}, {67, "f9", "f9"}, {68, "f10", "f10"},
    {87, "f11", "f11"}, {88, "f12", "f12"}, {100, "f13", "f13"}, {101, "f14", "f14"}, {102, "f15", "f15"},
    {71, "7", "7"}, {72, "8", "8"}, {73, "9", "9"}, {74, "-", "-"}, {75, "4", "4"}, {76, "5", "5"},
    {77, "6", "6"}, {78, "+", "+"}, {79, "1", "1"}, {80, "2", "2"}, {81, "3", "3"}, {82, "0", "0"},
    {83, ".", "."}, {141, "=", "="}, {181, "/", "/"},
    {112, "kana (print kanjii)", "kana (print kanjii)"},
    {121, "convert (print kanjii)", "convert (print kanjii)"},
    {123, "noconvert (print kanjii)", "noconvert (print kanjii)"},
    {125, "yen (print kanjii)", "yen (print kanjii)"},
    {144, "circumflex (print kanjii)", "circumflex (print kanjii)"},
    {145, "at (nec keyboard)", "at (nec keyboard)"},
    {146, "colon (nec keyboard)", "colon (nec keyboard)"},
    {147, "underline (nec keyboard)", "underline (nec keyboard)"},
    {148, "kanji (print kanjii)", "kanji (print kanjii)"},
    {149, "stop (nec keyboard)", "stop (nec keyboard)"},
    {150, "ax (print kanjii)", "ax (print kanjii)"},
    {151, "unlabeled (j3100 keyboard)", "unlabeled (j3100 keyboard)"},
    {183, "(3) unknown have to test", "(3) unknown have to test"},
    {219, "left doze key (can't trap, but print anyway)", "left doze key (can't trp, but print anyway)"},
    {220, "right doze key (can't trap, but print anyway)", "right doze key (can't trap, but print anyway)"},
    {221, "app doze key (can't trap, but print anyway", "app doze key (can't trap, but print anyway"},
};

using TextTable = std::array<const char*, kLastCode - kFirstCode + 1>;

constexpr TextTable BuildTable(bool shifted) {
    TextTable table{};
    for (const char*& text : table)
        text = kUnknownKey;
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
        return kUnknownKey;
    return table[static_cast<size_t>(scanCode - kFirstCode)];
}

}  // namespace

const char* INP_GetKeyText(int scanCode) {
    return INP_LookUp(kPlainTexts, scanCode);
}

const char* INP_GetShiftedKeyText(int scanCode) {
    return INP_LookUp(kShiftedTexts, scanCode);
}
