// Stand-in for the game frame: no world; the update polls input and runs the interface or
// network step, the frame draws the interface and flips. Each call is recorded.
#include "stubs/game_stub.h"

#include "net/msg.h"
#include "shell/app.h"
#include "stubs/inp_stub.h"
#include "stubs/rnd_stub.h"
#include "stubs/trace.h"
#include "ui/gui.h"

int GAME_Update() {
    STUB_Trace("GAME_Update");
    INP_Poll();
    return APP_IsMultiplayerGame() ? MSG_FrameUpdate() : GUI_Tick();
}

void GAME_Frame() {
    STUB_Trace("GAME_Frame");
    GUI_Draw();
    RND_Flip();
}
