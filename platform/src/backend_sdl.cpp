// The sdl backend: a real window showing the presented frames (scaled, aspect kept), and SDL's
// events turned into what the game expects: quit -> WM_CLOSE, minimise/restore -> WM_SIZE and
// IsIconic, focus -> the input devices, keys and mouse -> the raw input queue (never window
// messages); relative mouse mode while the game holds an exclusive mouse. Built only with SDL2.
#if defined(PLATFORM_HAVE_SDL2)
#include <SDL.h>

#include <cstdio>
#include <mutex>

#include "dinput.h"
#include "internal.h"
#include "plat_input.h"

namespace plat::detail {
namespace {
// The key table is written with USB usage numbers; SDL's scan codes are those numbers.
static_assert(SDL_SCANCODE_A == 4 && SDL_SCANCODE_ESCAPE == 41 && SDL_SCANCODE_F12 == 69 &&
              SDL_SCANCODE_UP == 82 && SDL_SCANCODE_KP_PERIOD == 99 && SDL_SCANCODE_RALT == 230);

struct SdlState {
    std::mutex lock;
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureWidth = 0, textureHeight = 0;
};
SdlState& S() {
    static SdlState* s = new SdlState; // never destroyed: closed from the exit handler
    return *s;
}

void PushKey(const SDL_KeyboardEvent& key) {
    if (key.repeat)
        return; // DirectInput reports a held key once
    uint8_t dik = DikFromSdlScancode(key.keysym.scancode);
    if (!dik)
        return;
    InputEvent ev;
    ev.kind = key.type == SDL_KEYDOWN ? InputKind::KeyDown : InputKind::KeyUp;
    ev.scanCode = dik;
    ev.time = GetTickCount();
    PushInput(ev);
}

void PushMouseButton(const SDL_MouseButtonEvent& button) {
    InputEvent ev;
    switch (button.button) {
    case SDL_BUTTON_LEFT: ev.button = 0; break;
    case SDL_BUTTON_RIGHT: ev.button = 1; break;
    case SDL_BUTTON_MIDDLE: ev.button = 2; break;
    default: return;
    }
    ev.kind = button.type == SDL_MOUSEBUTTONDOWN ? InputKind::MouseDown : InputKind::MouseUp;
    ev.x = button.x;
    ev.y = button.y;
    ev.time = GetTickCount();
    PushInput(ev);
}

void Handle(const SDL_Event& e) {
    switch (e.type) {
    case SDL_QUIT:
        if (HWND main = MainWindow())
            PostToWindow(main, WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_MINIMIZED) {
            if (HWND main = MainWindow())
                SetIconic(main, true);
        } else if (e.window.event == SDL_WINDOWEVENT_RESTORED) {
            if (HWND main = MainWindow())
                SetIconic(main, false);
        } else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            DinputSetFocus(false);  // the game's foreground devices are lost
        } else if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
            DinputSetFocus(true);
        }
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        PushKey(e.key);
        break;
    case SDL_MOUSEMOTION: {
        InputEvent ev;
        ev.kind = InputKind::MouseMove;
        ev.dx = e.motion.xrel;
        ev.dy = e.motion.yrel;
        ev.x = e.motion.x;
        ev.y = e.motion.y;
        ev.time = GetTickCount();
        PushInput(ev);
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        PushMouseButton(e.button);
        break;
    default:
        break;
    }
}
}  // namespace

bool SdlOpenWindow(const char* caption, int width, int height) {
    SdlState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.window)
        return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "platform: SDL video: %s\n", SDL_GetError());
        return false;
    }
    s.window = SDL_CreateWindow(caption, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                                SDL_WINDOW_RESIZABLE);
    if (s.window)
        s.renderer = SDL_CreateRenderer(s.window, -1, 0);
    if (!s.window || !s.renderer) {
        std::fprintf(stderr, "platform: SDL window: %s\n", SDL_GetError());
        if (s.window)
            SDL_DestroyWindow(s.window);
        s.window = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetRenderDrawColor(s.renderer, 0, 0, 0, 255);
    SDL_RenderClear(s.renderer);
    SDL_RenderPresent(s.renderer);
    return true;
}

void SdlCloseWindow() {
    SdlState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.window)
        return;
    if (s.texture)
        SDL_DestroyTexture(s.texture);
    SDL_DestroyRenderer(s.renderer);
    SDL_DestroyWindow(s.window);
    s.texture = nullptr;
    s.renderer = nullptr;
    s.window = nullptr;
    s.textureWidth = s.textureHeight = 0;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void SdlPresent(const uint32_t* xrgb, int width, int height) {
    SdlState& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.renderer)
        return;
    if (!s.texture || s.textureWidth != width || s.textureHeight != height) {
        if (s.texture)
            SDL_DestroyTexture(s.texture);
        // SDL_PIXELFORMAT_RGB888 is 32-bit XRGB, the layout of the presented frame.
        s.texture = SDL_CreateTexture(s.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width,
                                      height);
        if (!s.texture)
            return;
        s.textureWidth = width;
        s.textureHeight = height;
        SDL_RenderSetLogicalSize(s.renderer, width, height);
    }
    SDL_UpdateTexture(s.texture, nullptr, xrgb, width * 4);
    SDL_RenderClear(s.renderer);
    SDL_RenderCopy(s.renderer, s.texture, nullptr, nullptr);
    SDL_RenderPresent(s.renderer);
}

void SdlSetRelativeMouse(bool on) {
    {
        SdlState& s = S();
        std::lock_guard<std::mutex> guard(s.lock);
        if (!s.window)
            return;
    }
    SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE);
}

void SdlPump(int timeoutMs) {
    {
        SdlState& s = S();
        std::lock_guard<std::mutex> guard(s.lock);
        if (!s.window)
            return;
    }
    SDL_Event e;
    if (timeoutMs > 0) {
        if (!SDL_WaitEventTimeout(&e, timeoutMs))
            return;
        Handle(e);
    }
    while (SDL_PollEvent(&e))
        Handle(e);
}

}  // namespace plat::detail
#endif
