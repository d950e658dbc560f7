// The key configuration screen's working copy of the bound keys and the capture of a new key for
// the selected button, which the front-end frame runs while a capture is pending: the lowest key
// down is taken, the digit row and F1..F10 / F11, F12 are refused, Escape ends without a change,
// and any other key first unbinds the functions of the selected button's conflict list.
#pragma once
#include <cstdint>

// The working copy's entries: the 18 key buttons and the two words without a button.
enum KeyButton : int {
    KEY_PA, KEY_RA, KEY_SW, KEY_SL, KEY_SR, KEY_MS, KEY_OW, KEY_UW, KEY_SU, KEY_SD,
    KEY_ES, KEY_DL, KEY_DR, KEY_DU, KEY_DD, KEY_DF, KEY_DA, KEY_PS, KEY_WORD36, KEY_WORD38,
    KEY_BUTTON_COUNT
};
// The key map word of each entry.
extern const int g_KeyButtonWords[KEY_BUTTON_COUNT];

struct KeyConfigState {
    int32_t values[KEY_BUTTON_COUNT];  // scan code, -1 none
    int32_t selected;                  // the button waiting for its key, -1 none
    int32_t capturePending;            // the next key down goes to the selected button
};
extern KeyConfigState g_KeyConfig;

// One frame of a pending capture (call only while g_KeyConfig.capturePending is set).
void FE_CaptureKey();
