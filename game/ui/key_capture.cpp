// The capture of a key for the key configuration screen's selected button.
#include "ui/key_capture.h"

#include "shell/inp.h"

KeyConfigState g_KeyConfig = {{}, -1, 0};

const int g_KeyButtonWords[KEY_BUTTON_COUNT] = {1,  26, 25, 6,  8,  24, 27, 28, 7,  9,
                                                31, 34, 35, 32, 33, 37, 39, 40, 36, 38};

namespace {

// Two functions of one list never share a key; a key may serve one function of each list.
constexpr KeyButton kListA[] = {KEY_PA, KEY_SL, KEY_SR, KEY_SU, KEY_SD, KEY_MS};
constexpr KeyButton kListB[] = {KEY_PA, KEY_SW, KEY_RA, KEY_OW, KEY_UW, KEY_ES, KEY_DL, KEY_DR,
                                KEY_DU, KEY_DD, KEY_DF, KEY_WORD36, KEY_DA, KEY_WORD38, KEY_PS};

// The conflict group of a button: 0 both lists, 1 list A, 2 list B.
int GroupOf(int button) {
    switch (button) {
    case KEY_PA:
        return 0;
    case KEY_SL: case KEY_SR: case KEY_SU: case KEY_SD: case KEY_MS: case KEY_RA:
        return 1;
    default:
        return 2;
    }
}

template <size_t N>
void Unbind(const KeyButton (&list)[N], int32_t code) {
    for (KeyButton b : list)
        if (g_KeyConfig.values[b] == code)
            g_KeyConfig.values[b] = -1;
}

bool Refused(int code) {
    return (code >= 2 && code <= 11) || (code >= 59 && code <= 88);
}

}  // namespace

void FE_CaptureKey() {
    int code = -1;
    for (int k = 0; k < 256 && code < 0; ++k)
        if (INP_IsKeyDown(k))
            code = k;
    if (code < 0)
        return;
    g_KeyConfig.capturePending = 0;
    if (Refused(code)) {
        g_KeyConfig.capturePending = 1;
        return;
    }
    const int button = g_KeyConfig.selected;
    if (code == 1 || button < 0 || button >= KEY_WORD36)
        return;  // Escape, or no button to give the key to
    const int group = GroupOf(button);
    if (group != 2)
        Unbind(kListA, code);
    if (group != 1)
        Unbind(kListB, code);
    g_KeyConfig.values[button] = code;
    g_KeyConfig.selected = -1;
}
