// The queue of raw keyboard and mouse events. The backend fills it (SDL events, or the headless
// input script); the DirectInput layer drains it into its buffered devices. These events never
// appear as window messages, so the game's main loop keeps seeing idle passes while the mouse
// moves.
#pragma once
#include <cstdint>
#include <vector>

#include "plat.h"

namespace plat {

enum class InputKind : uint8_t { KeyDown, KeyUp, MouseMove, MouseDown, MouseUp };

struct InputEvent {
    InputKind kind = InputKind::KeyDown;
    uint8_t scanCode = 0; // keys: DirectInput scan code (PC set 1; extended keys have 0x80 set)
    uint8_t button = 0;   // mouse buttons: 0 left, 1 right, 2 middle
    int32_t dx = 0, dy = 0; // mouse moves: relative motion
    int32_t x = 0, y = 0;   // mouse events: absolute position in the window after the event
    uint32_t time = 0;      // GetTickCount() when the event arrived
};

// At most this many events wait; when nobody drains the queue the oldest are dropped.
constexpr size_t kInputQueueLimit = 4096;

// Queues the event; a key event also sets the key's held state (GetAsyncKeyState).
PLATEXPORT void PushInput(const InputEvent& event);
// Takes every waiting event, oldest first.
PLATEXPORT std::vector<InputEvent> DrainInput();
// Drops the waiting events and releases every held key.
PLATEXPORT void ClearInput();
// 1 while the key of this DirectInput scan code is held.
PLATEXPORT bool IsKeyHeld(uint8_t scanCode);

}  // namespace plat
