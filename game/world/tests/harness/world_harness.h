// The headless world harness: a fresh game world for tests and for worldsim, never linked into
// the program. It offers a fake clock (the platform's virtual tick count), the seeded 15-bit
// generator, recording sinks (the stand-ins' call trace for the renderer and sound, the network
// messages sent, the HUD message lines), builders for small synthetic landscapes and models, and
// builders for bods with handler tables that log every call.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/mth.h"

struct Bod;
struct CharacterControl;
struct WorldObjectControl;
struct AICharacter;

// Resets everything the world reads: the headless platform (virtual time 0, seed 1), the tracked
// heap, the stand-ins' trace (switched on) and results, the network (single player), the shell's
// and the interface's level state, the world list and its pools, the clock, the frame globals,
// the synthetic landscape and models.
void WH_Reset();
// Frees what the harness made (call before the test ends).
void WH_Release();

// The fake clock: the tick count GetTickCount returns.
void WH_SetTicks(uint32_t ms);
void WH_AdvanceTicks(uint32_t ms);
// The random generator.
void WH_Seed(unsigned seed);

// Level state of the shell and the interface.
void WH_EnterLevel(int level);     // a level is loaded, active, drawn and unhalted
void WH_SetHalted(bool halted);

// The network: a game of `players` slots (one member each, player id = slot) in which this machine
// owns localSlot; isHost says whether it hosts. Every message sent is recorded.
struct WhMessage {
    int from;
    int to;  // -1 for a broadcast
    std::vector<uint8_t> bytes;
};
void WH_SetNetworkGame(bool isHost, int localSlot, int players = 4);
void WH_SetSinglePlayer();
const std::vector<WhMessage>& WH_Messages();
void WH_ClearMessages();
// "S 02 13" style: the type as a character when printable, then the bytes in hex.
std::string WH_FormatMessage(const WhMessage& message);

// Recording sinks over the call trace of the stand-ins and of the modules that report into it:
// the renderer's and the camera's calls, the frame's passes, sounds (SND_...), damage.
size_t WH_TraceMark();                                   // the current length of the trace
std::vector<std::string> WH_TraceSince(size_t mark);     // entries recorded after a mark
std::vector<std::string> WH_Calls(const std::vector<std::string>& trace, const std::string& prefix);
inline std::vector<std::string> WH_Sounds(const std::vector<std::string>& trace) {
    return WH_Calls(trace, "SND_");
}
// The HUD message lines now shown (text, in line order, free lines left out).
std::vector<std::string> WH_HudLines();

// Synthetic landscapes, loaded as the level's map: floors are horizontal rectangles (two
// triangles each, surfaces numbered from 1 in the order given; x1 > x0, z1 > z0), walls solid
// landscape objects standing between two plan points (blocking traces from either side).
// A floor or wall may name a texture (its material shows it); a floor's material may also move
// what stands on it: mode "belt" scrolls the material at `speed` (a conveyor belt), mode "flow"
// gives the surface a strong flow along +x over a material scrolling at `speed`.
struct WhFloor {
    float x0, z0, x1, z1, y;
    std::string texture = {};
    std::string mode = {};
    float speed = 0.0f;
};
struct WhWall {
    float x0, z0, x1, z1, bottom, top;
    std::string texture = {};
};
void WH_BuildLandscape(const std::vector<WhFloor>& floors, const std::vector<WhWall>& walls);
// Marks a surface as drawn (or not) in the current frame, as the landscape pass would.
void WH_MarkSurfaceDrawn(int surface, bool drawn);

// Synthetic models, put into the model caches under the cache name of `path` (the file name
// without directory and extension), so that MDL_Load of that path hands out instances of them.
// A skinned model has one frame per animation and bones without geometry; a rigid model is one
// box of half-size `radius`. The harness owns them.
struct WhModel {
    std::string path;
    bool skinned = true;
    float radius = 50.0f;
    std::vector<std::string> bones;
    std::vector<std::string> animations = {"stand"};
    float groundOffset = 0.0f;
};
void WH_AddModel(const WhModel& model);
inline WhModel WH_Skinned(const std::string& path, std::vector<std::string> bones, float radius = 50.0f,
                          float groundOffset = 0.0f) {
    WhModel model;
    model.path = path;
    model.bones = std::move(bones);
    model.radius = radius;
    model.groundOffset = groundOffset;
    return model;
}
inline WhModel WH_Rigid(const std::string& path, float radius = 50.0f) {
    WhModel model;
    model.path = path;
    model.skinned = false;
    model.radius = radius;
    return model;
}

// Real model files written by the data kit into the harness's working directory (the current
// directory while a world is set up), at a game path such as "graphics\\models\\female.qkm": a
// humanoid with the eighteen named bones ("hold_pos" among them) and the game's animations
// ("stand" among them), or a cube of half-size `half` whose radius stays 50 (packed frames).
void WH_WriteHumanoid(const std::string& gamePath);
// The data kit's character body (the humanoid with walk and run cycles long enough for their
// footstep frames), as the demo install has it.
void WH_WriteCharacterBody(const std::string& gamePath);
// A small 8-bit skin bitmap at a game path.
void WH_WriteSkin(const std::string& gamePath);
void WH_WriteCube(const std::string& gamePath, float half);

// Handler tables that log their calls: entry i records (bod, i) and reports "BOD_Handler(name,i)"
// into the call trace (the hook: "BOD_Hook(name)"), then runs the reaction when one is set. A table
// has 101 entries, enough for characters and world objects.
struct WhCall {
    Bod* bod;
    int action;  // -1: the hook
};
extern const void* const kWhLoggingTable;  // a const BodHandler* (see world/bod.h)
const std::vector<WhCall>& WH_HandlerLog();
void WH_ClearHandlerLog();
// The hook that logs (bod, -1).
void WH_LoggingHook(Bod* bod, void* control);
// Called by every logging handler and hook after it logged; an empty function removes it.
void WH_SetReaction(std::function<void(Bod* bod, int action)> reaction);

// Bods. A character has a CharacterControl on the logging table; with `aiHealth` >= 0 it also gets
// an AI record (health, state). An object has a WorldObjectControl on the logging table.
Bod* WH_MakeCharacter(uint32_t classMask, Vec3 position, float heading = 0.0f, float aiHealth = -1.0f,
                      int aiState = 0);
Bod* WH_MakeObject(uint32_t classMask, uint32_t type, Vec3 position);
CharacterControl* WH_Character(Bod* bod);
WorldObjectControl* WH_Object(Bod* bod);
AICharacter* WH_Ai(Bod* bod);
// Loads the model of `path` into the bod's record instance (MDL_Load).
void WH_GiveModel(Bod* bod, const std::string& path);
// The player slots and NPC pool: puts existing bods there.
void WH_SetPlayer(int slot, Bod* bod, int playerId);
void WH_SetNpc(int index, Bod* bod);
