// worldsim's scenario reader and runner (see scenario.h). The run uses the game's own frame
// (GAME_Update, GAME_Frame) over a world that the world harness sets up.
#include "scenario.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <ostream>
#include <sstream>

#include "plat_input.h"
#include "shell/cda.h"
#include "shell/inp.h"
#include "shell/snd.h"
#include "common/calltrace.h"
#include "common/match.h"
#include "ui/hud_records.h"
#include "world/act.h"
#include "world/bod_radar.h"
#include "world/bod_record.h"
#include "world/cam.h"
#include "world/game_state.h"
#include "world/lvl.h"
#include "world/wo.h"
#include "win32.h"
#include "world/bod.h"
#include "world/character.h"
#include "world/clk.h"
#include "world/game_frame.h"
#include "characters.h"
#include "objects.h"
#include "world_harness.h"

const char* const kScenarioHelp =
    "worldsim [--frames N] SCENARIO\n"
    "\n"
    "Runs a world scenario headless (virtual clock, no window) for N frames. Each frame is the\n"
    "game's own GAME_Update and GAME_Frame; what happened in it is printed in order:\n"
    "  call NAME(args)     every call the frame made through the modules that report them: the\n"
    "                      frame steps, the draw passes (lighting mode, batch flushes), the clock's\n"
    "                      particle pass, the world update (BOD_Handler(bod,action), BOD_Hook(bod)),\n"
    "                      the AI tick, sounds (SND_...), damage, the flip\n"
    "  action BOD A -> B   a bod's action changed during the frame\n"
    "  removed BOD         a bod left the world\n"
    "  message BYTES       a game message sent: its type as a character, then the bytes in hex\n"
    "  hud TEXT            a HUD message line that appeared\n"
    "  pos BOD X Y Z SURFACE\n"
    "                      with print positions: every character's position and surface\n"
    "With the game's handlers (handlers game) a frame is reported only when something happened to a\n"
    "character, and the report is the characters' own:\n"
    "  action BOD A -> B   as above\n"
    "  anim BOD NAME       an animation started\n"
    "  door BOD X Z phase P, belt BOD mode M rate R, carry BOD TYPES selected S,\n"
    "  where BOD W [held]  a door moved; a conveyor's mode and belt rate; a character's\n"
    "                      carried entries; an object's place\n"
    "  health BOD N        the character's health changed\n"
    "  call SND_...        a sound played; call ACT_KillCharacter, AI_OnDamaged, AI_OnHurt,\n"
    "                      AI_Release, AI_TakeBack, AI_TurnOnAttacker, CMB_RestoreLimbs: the\n"
    "                      character's calls into modules not built yet\n"
    "  message, hud        as above\n"
    "\n"
    "Scenario file: one command per line; '#' starts a comment.\n"
    "  level N                      the level id 0..16 (default 2)\n"
    "  game single|host|client [SLOT]\n"
    "                               the kind of game and this machine's player slot (default 0); a\n"
    "                               network game has 4 player slots whose player ids are 0..3\n"
    "  frames N                     frames to run (default 3; --frames overrides it)\n"
    "  handlers logging|game        logging (default): every bod runs handlers that only report\n"
    "                               their calls; game: characters run the game's action table on\n"
    "                               the demo install's character body, standing at the start\n"
    "  step MS                      milliseconds added to each frame beyond the platform's 20\n"
    "  floor X0 Z0 X1 Z1 Y [TEXTURE [MODE SPEED]]\n"
    "                               a horizontal floor rectangle of the landscape, showing the\n"
    "                               texture file name; MODE belt: its material scrolls at SPEED (a\n"
    "                               conveyor belt); flow: a strong flow along +x over a material\n"
    "                               scrolling at SPEED (carries SPEED units a second)\n"
    "  wall X0 Z0 X1 Z1 BOTTOM TOP [TEXTURE]\n"
    "                               a vertical wall between two plan points\n"
    "  frame MS                     every frame lasts MS milliseconds (in place of 20 plus step)\n"
    "  map FILE                     the landscape is the map file (any of the four formats) in\n"
    "                               place of the floors and walls\n"
    "  print positions              each frame: pos BOD X Y Z SURFACE for every character\n"
    "  player SLOT X Y Z [ID [ACTION]]\n"
    "                               a player character (id: the slot; action: 18); player 0 is\n"
    "                               the focus of the camera\n"
    "  npc INDEX X Y Z [HEALTH [ACTION]]\n"
    "                               a non-player character of the pool with an AI record (health\n"
    "                               0..64, default 64; action 0)\n"
    "  object TYPE X Y Z [ACTION]   a world object, named object0, object1, ... (action 19); with\n"
    "                               handlers game a real one made by the object spawner (or made\n"
    "                               directly where the spawner refuses the type), ACTION its\n"
    "                               ammunition\n"
    "  door WALL HEADING ALONG ACROSS SPEED [OPEN]\n"
    "                               (handlers game) a door static on the landscape object WALL\n"
    "                               (wall0, wall1, ...), placed closed or (OPEN 1) open; named like\n"
    "                               the objects; at FRAME action BOD 4 opens it, 9 closes it\n"
    "  conveyor SPEED MATERIAL [MATERIAL]\n"
    "                               (handlers game) a conveyor static moving the belt materials\n"
    "                               (1-based); at FRAME action BOD 16 steps its mode\n"
    "  at FRAME pickup BOD OBJECT   the character picks the object up (result printed)\n"
    "  at FRAME take BOD OBJECT     the character takes it as a received message gives it\n"
    "  at FRAME drop BOD            the character drops its current object\n"
    "  at FRAME health BOD OBJECT   the character uses the health item\n"
    "  at FRAME return OBJECT       the object goes back to where it was made\n"
    "  at FRAME action BOD A        before frame FRAME: BOD_SetAction(BOD, A)\n"
    "  at FRAME remote BOD A        ACT_ApplyRemoteAction(BOD, A): an action from the network\n"
    "  at FRAME remove BOD          flags the bod for removal at its next update\n"
    "  at FRAME halt | resume       halts or resumes play (an in-game menu)\n"
    "  at FRAME blast X Y Z RADIUS AMOUNT\n"
    "                               an explosion without attacker hurting the characters\n"
    "  at FRAME command BOD turn|move|attack|use|push|kick|gait VALUE\n"
    "                               writes a command field of a character (the interface rewrites\n"
    "                               them every frame; here they keep their value until changed)\n"
    "  at FRAME select BOD TYPE     gives the character an object of TYPE (0..161) in slot 1 and\n"
    "                               selects it; TYPE -1 selects bare hands\n"
    "  at FRAME key down|up CODE    a key event into the platform's keyboard (DirectInput scan code,\n"
    "                               decimal or 0x hex: Shift 0x2A, Home 0xC7, End 0xCF)\n"
    "  at FRAME cam COMMAND         CAM_Command(COMMAND)\n"
    "  at FRAME orders TEAM MEMBER X Y Z A B FLAG\n"
    "                               the HUD's command block applied (ACT_ApplyPlayerCommands): team\n"
    "                               mode, steered member, order point (X -1: none), camera words,\n"
    "                               camera-mode flag\n"
    "  at FRAME place BOD X Y Z HEADING\n"
    "                               puts a character or object there\n"
    "  at FRAME radar VIEWX VIEWZ WIDTH HEIGHT\n"
    "                               fills the radar with that scale and prints it: \"radar COUNT\",\n"
    "                               \"blip KIND X Z\" per entry, \"wedge X Z X Z X Z\"\n"
    "  levelframes N                the level frame counter at the start (default 50: settled)\n"
    "  match TYPE FRAGLIMIT         the network match's game type and frag limit\n"
    "  at FRAME finish WON VALUE    LVL_FinishLevel(WON, VALUE); prints \"outcome WON FAILED\n"
    "                               PENDING REQUESTWON REQUESTVALUE frames N\"\n"
    "  at FRAME frag KILLER VICTIM KIND\n"
    "                               APP_RecordFrag(KILLER, VICTIM, KIND, 0); prints \"frags\" and\n"
    "                               the frags of player slots 0..3, then \"ended RESULT\" once over\n"
    "  print camera                 after every frame: camera X Y Z YAW PITCH DISTANCE MODE\n"
    "                               (the camera's position, its yaw, pitch, distance, preferred mode)\n"
    "The level's camera mode is set and the camera put behind player 0 before the first frame.\n"
    "BOD is player<SLOT>, npc<INDEX> or object<N>; frames count from 1. Every character and\n"
    "object runs handlers that only report their calls (unless handlers game), so the frame shows\n"
    "the world's order.\n";

namespace {

// Numbers of a scenario stay within +-1e9, so every count, index and type read from one converts
// to an integer safely.
constexpr float kLargestNumber = 1e9f;

bool ReadNumbers(std::istringstream& words, size_t required, size_t allowed, std::vector<float>* out) {
    float value;
    while (out->size() < allowed && words >> value) {
        if (!(std::fabs(value) <= kLargestNumber))
            return false;
        out->push_back(value);
    }
    std::string rest;
    return out->size() >= required && !(words >> rest);
}

bool ReadBod(const std::string& command, std::istringstream& words, Scenario* s, int objects) {
    std::vector<float> n;
    ScenarioBod bod;
    bod.kind = command;
    if (command == "object") {
        if (!ReadNumbers(words, 4, 5, &n))
            return false;
        bod = {command, objects, n[1], n[2], n[3], int(n[0]), n.size() > 4 ? int(n[4]) : 19};
        if (n.size() > 4)
            bod.params = {n[4]};
    } else {
        if (!ReadNumbers(words, 4, 6, &n) || n[0] < 0)
            return false;
        const bool player = command == "player";
        if (n[0] >= (player ? BOD_PLAYER_SLOTS : BOD_NPC_POOL))
            return false;
        const int value = n.size() > 4 ? int(n[4]) : (player ? int(n[0]) : 64);
        bod = {command, int(n[0]), n[1], n[2], n[3], value, n.size() > 5 ? int(n[5]) : (player ? 18 : 0)};
    }
    s->bods.push_back(bod);
    return true;
}

// The camera and team events; false when the words do not form one.
bool ReadCameraEvent(ScenarioEvent* event, std::istringstream& words) {
    if (event->what == "key") {
        std::string direction, code;
        if (!(words >> direction >> code) || (direction != "down" && direction != "up"))
            return false;
        char* end = nullptr;
        const long value = std::strtol(code.c_str(), &end, 0);
        if (*end || value < 0 || value > 255)
            return false;
        event->who = direction;
        event->numbers = {float(value)};
        std::string rest;
        return !(words >> rest);
    }
    if (event->what == "cam")
        return ReadNumbers(words, 1, 1, &event->numbers);
    if (event->what == "orders")
        return ReadNumbers(words, 8, 8, &event->numbers);
    if (event->what == "radar")
        return ReadNumbers(words, 4, 4, &event->numbers);
    if (event->what == "place")
        return bool(words >> event->who) && ReadNumbers(words, 4, 4, &event->numbers);
    return false;
}

bool IsCameraEvent(const std::string& what) {
    return what == "key" || what == "cam" || what == "orders" || what == "radar" || what == "place";
}

bool ReadEvent(std::istringstream& words, Scenario* s) {
    ScenarioEvent event;
    if (!(words >> event.frame >> event.what) || event.frame < 1)
        return false;
    if (event.what == "halt" || event.what == "resume") {
        std::string rest;
        return !(words >> rest) && (s->events.push_back(event), true);
    }
    if (event.what == "blast")
        return ReadNumbers(words, 5, 5, &event.numbers) && (s->events.push_back(event), true);
    if (event.what == "finish")
        return ReadNumbers(words, 2, 2, &event.numbers) && (s->events.push_back(event), true);
    if (event.what == "frag")
        return ReadNumbers(words, 3, 3, &event.numbers) && (s->events.push_back(event), true);
    if (IsCameraEvent(event.what))
        return ReadCameraEvent(&event, words) && (s->events.push_back(event), true);
    if (event.what == "command") {
        static const char* const kFields[] = {"turn", "move", "attack", "use", "push", "kick", "gait"};
        if (!(words >> event.who >> event.field) ||
            std::find(std::begin(kFields), std::end(kFields), event.field) == std::end(kFields))
            return false;
        return ReadNumbers(words, 1, 1, &event.numbers) && (s->events.push_back(event), true);
    }
    if (SimIsCarryEvent(event.what))
        return SimReadCarryEvent(&event, words) && (s->events.push_back(event), true);
    if (event.what == "select") {
        if (!(words >> event.who) || !ReadNumbers(words, 1, 1, &event.numbers))
            return false;
        const float type = event.numbers[0];
        return type >= -1 && type < float(WO_NO_TYPE) && type == float(int(type)) && (s->events.push_back(event), true);
    }
    if (event.what != "action" && event.what != "remote" && event.what != "remove")
        return false;
    if (!(words >> event.who))
        return false;
    if (!ReadNumbers(words, event.what == "remove" ? 0 : 1, event.what == "remove" ? 0 : 1, &event.numbers))
        return false;
    s->events.push_back(event);
    return true;
}

std::string Name(const ScenarioBod& b) {
    const bool isStatic = b.kind == "door" || b.kind == "conveyor";
    return (isStatic ? std::string("object") : b.kind) + std::to_string(b.index);
}

bool InWorld(const Bod* bod) {
    for (const Bod* b = g_WorldBods.head; b; b = b->next)
        if (b == bod)
            return true;
    return false;
}

int ActionOf(const Bod* bod) {
    return bod && bod->control ? static_cast<const BodControl*>(bod->control)->action : -1;
}

void PrintRadar(const std::vector<float>& scale, std::ostream& out) {
    // The level's map parameters, as the level start sets them.
    for (int k = 0; k < GAME_MAP_PARAMS; ++k)
        g_LevelMapParams[k] = kGameLevelMapParams[g_LevelNumber][k];
    for (int k = 0; k < 4; ++k)
        g_RadarScale[k] = scale[size_t(k)];
    BOD_FillRadar(&g_HudState);
    const HudState& h = g_HudState;
    char line[160];
    out << "  radar " << h.radarCount << "\n";
    for (int i = 0; i < h.radarCount && i < HUD_RADAR_ENTRIES; ++i) {
        std::snprintf(line, sizeof line, "  blip %.0f %.1f %.1f\n", h.radar[i][1], h.radar[i][0], h.radar[i][2]);
        out << line;
    }
    std::snprintf(line, sizeof line, "  wedge %.1f %.1f %.1f %.1f %.1f %.1f\n", h.mapping[0], h.mapping[1], h.mapping[2],
                  h.mapping[3], h.mapping[4], h.mapping[5]);
    out << line;
}

// A camera or team event before a frame; false when the event is none of them.
bool RunCameraEvent(const ScenarioEvent& e, Bod* bod, std::ostream& out) {
    if (e.what == "key") {
        plat::InputEvent key;
        key.kind = e.who == "down" ? plat::InputKind::KeyDown : plat::InputKind::KeyUp;
        key.scanCode = uint8_t(e.numbers[0]);
        plat::PushInput(key);
    } else if (e.what == "cam") {
        CAM_Command(int(e.numbers[0]));
    } else if (e.what == "orders") {
        HudState& h = g_HudState;
        h.teamMode = int32_t(e.numbers[0]);
        h.controlledMember = int32_t(e.numbers[1]);
        for (int k = 0; k < 3; ++k)
            h.orderPoint[k] = e.numbers[size_t(2 + k)];
        h.panHorizontal = int32_t(e.numbers[5]);
        h.panVertical = int32_t(e.numbers[6]);
        h.panByPress = int32_t(e.numbers[7]);
        ACT_ApplyPlayerCommands(&h);
    } else if (e.what == "radar") {
        PrintRadar(e.numbers, out);
    } else if (e.what == "place") {
        if (!bod) {
            out << "  (no bod " << e.who << ")\n";
            return true;
        }
        BOD_WithRecord(bod, [&](auto* record) {
            BOD_SetPosition(record, Vec3{e.numbers[0], e.numbers[1], e.numbers[2]});
            record->heading = e.numbers[3];
        });
    } else {
        return false;
    }
    return true;
}

// The level's end or a frag, with what it changed.
void RunScoreEvent(const ScenarioEvent& e, std::ostream& out) {
    char line[160];
    if (e.what == "finish") {
        LVL_FinishLevel(int(e.numbers[0]), int(e.numbers[1]));
        std::snprintf(line, sizeof line, "  outcome %d %d %d %d %d frames %d\n", g_Match.levelWon, g_Match.levelFailed,
                      g_LevelEndRequest.pending, g_LevelEndRequest.won, g_LevelEndRequest.value,
                      APP_GetLevelFrameCount());
        out << line;
        return;
    }
    APP_RecordFrag(int(e.numbers[0]), int(e.numbers[1]), int(e.numbers[2]), 0);
    std::snprintf(line, sizeof line, "  frags %d %d %d %d\n", g_Match.slotFrags[0], g_Match.slotFrags[1],
                  g_Match.slotFrags[2], g_Match.slotFrags[3]);
    out << line;
    if (g_Match.matchEnded)
        out << "  ended " << g_Match.gameResult << "\n";
}

// Output written as "  LINE\n" lines, added to a frame's lines without the indent.
void AddLines(const std::string& text, std::vector<std::string>* lines) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines->push_back(line.rfind("  ", 0) == 0 ? line.substr(2) : line);
}

void PrintCamera(std::ostream& out) {
    const Vec3 p = CAM_GetPose()->translation;
    char line[160];
    std::snprintf(line, sizeof line, "  camera %.1f %.1f %.1f %.4f %.4f %.1f %d\n", p.x, p.y, p.z, CAM_GetYaw(),
                  CAM_GetPitch(), CAM_GetDistance(), CAM_GetMode());
    out << line;
}

}  // namespace

bool ReadScenario(std::istream& in, Scenario* s, std::string* error) {
    std::string line;
    int number = 0, objects = 0;
    while (std::getline(in, line)) {
        ++number;
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string command;
        if (!(words >> command))
            continue;
        bool ok = true;
        std::vector<float> n;
        if (command == "level") {
            ok = ReadNumbers(words, 1, 1, &n) && n[0] >= 0 && n[0] < GAME_LEVEL_COUNT;
            if (ok)
                s->level = int(n[0]);
        } else if (command == "game") {
            ok = bool(words >> s->game) && (s->game == "single" || s->game == "host" || s->game == "client") &&
                 ReadNumbers(words, 0, 1, &n) && (n.empty() || (n[0] >= 0 && n[0] < 4));
            if (ok && !n.empty())
                s->localSlot = int(n[0]);
        } else if (command == "handlers") {
            std::string rest;
            ok = bool(words >> s->handlers) && (s->handlers == "logging" || s->handlers == "game") && !(words >> rest);
        } else if (command == "levelframes") {
            ok = ReadNumbers(words, 1, 1, &n) && n[0] >= 0 && n[0] <= 50;
            if (ok)
                s->levelFrames = int(n[0]);
        } else if (command == "match") {
            ok = ReadNumbers(words, 2, 2, &n) && (n[0] == 5 || n[0] == 6) && n[1] >= 0;
            if (ok) {
                s->matchType = int(n[0]);
                s->fragLimit = int(n[1]);
            }
        } else if (command == "frames") {
            ok = ReadNumbers(words, 1, 1, &n) && n[0] >= 0;
            if (ok)
                s->frames = int(n[0]);
        } else if (command == "step") {
            ok = ReadNumbers(words, 1, 1, &n) && n[0] >= 0;
            if (ok)
                s->extraMs = uint32_t(n[0]);
        } else if (command == "floor") {
            ok = SimReadFloor(words, s);
        } else if (command == "wall") {
            ok = SimReadWall(words, s);
        } else if (command == "map") {
            ok = SimReadMap(words, s);
        } else if (command == "print") {
            std::string what, rest;
            ok = bool(words >> what) && !(words >> rest) && (what == "camera" || what == "positions");
            if (ok)
                (what == "camera" ? s->printCamera : s->printPositions) = true;
        } else if (command == "frame") {
            ok = SimReadFrameLength(words, s);
        } else if (command == "player" || command == "npc" || command == "object") {
            ok = ReadBod(command, words, s, objects);
            if (ok && command == "object")
                ++objects;
        } else if (command == "door" || command == "conveyor") {
            ok = SimReadStatic(command, words, s, objects) && (++objects, true);
        } else if (command == "at") {
            ok = ReadEvent(words, s);
        } else {
            ok = false;
        }
        if (!ok) {
            *error = "line " + std::to_string(number) + ": cannot read \"" + line + "\" (see --help)";
            return false;
        }
    }
    return true;
}

void RunScenario(const Scenario& s, std::ostream& out) {
    WH_Reset();
    SimResetObjects();
    void (*const forward)(const char*) = [](const char* entry) { TRC_Trace(entry); };
    GAME_SetCallTrace(forward);
    INP_SetCallTrace(forward);
    SND_SetCallTrace(forward);
    CDA_SetCallTrace(forward);
    if (s.game != "single")
        WH_SetNetworkGame(s.game == "host", s.localSlot);
    const bool game = s.handlers == "game";
    if (game)
        SimWriteCharacterFiles();

    SimBuildLandscape(s);

    std::map<std::string, Bod*> bods;
    for (const ScenarioBod& b : s.bods) {
        Bod* bod = nullptr;
        if (b.kind == "player") {
            bod = WH_MakeCharacter(BOD_CLASS_PLAYER, {b.x, b.y, b.z}, 0.0f, 64.0f);
            WH_SetPlayer(b.index, bod, b.value);
            if (b.index == 0)
                g_FocusBod = bod;
        } else if (b.kind == "npc") {
            bod = WH_MakeCharacter(BOD_CLASS_NPC, {b.x, b.y, b.z}, 0.0f, float(b.value));
            WH_SetNpc(b.index, bod);
        } else if (game || b.kind != "object") {
            bod = SimMakeGameObject(b);
            if (!bod) {
                out << "(" << Name(b) << " not made)\n";
                continue;
            }
        } else {
            bod = WH_MakeObject(BOD_CLASS_OBJECT, uint32_t(b.value), {b.x, b.y, b.z});
        }
        if (game && (b.kind == "player" || b.kind == "npc"))
            SimUseGameHandlers(bod, b.kind == "player");
        if (b.kind != "door" && b.kind != "conveyor" && (b.kind != "object" || !game))
            static_cast<BodControl*>(bod->control)->action = b.action;
        bods[Name(b)] = bod;
    }
    WH_EnterLevel(s.level);
    if (s.levelFrames >= 0)
        g_LevelFrameCount = s.levelFrames;
    if (s.matchType) {
        g_Match.settings.gameType = s.matchType;
        g_Match.settings.fragLimit = s.fragLimit;
    }
    CLK_InitLevel();
    SimStartMovement(s, bods);
    // The level's camera, as the level start sets it.
    CAM_Reset();
    CAM_SetLevelMode(s.level);
    CAM_SnapBehind(BOD_CharacterOf(g_FocusBod));
    const uint32_t startTicks = GetTickCount();

    std::map<std::string, int> actions;
    for (const auto& [name, bod] : bods)
        actions[name] = ActionOf(bod);
    std::map<std::string, SimCharacterState> characters;
    std::vector<std::string> unused;
    SimCharacterLines(bods, &characters, &unused, false);
    SimObjectLines(bods, &unused, false);
    size_t messagesSeen = 0;
    std::vector<std::string> hudSeen;
    out << "level " << s.level << ", " << s.game << " game, " << bods.size() << " bods" << (game ? ", game handlers" : "")
        << "\n";

    for (int frame = 1; frame <= s.frames; ++frame) {
        const std::string header = "frame " + std::to_string(frame) + " ticks " + std::to_string(GetTickCount());
        std::vector<std::string> lines;
        const size_t mark = WH_TraceMark();
        for (const ScenarioEvent& e : s.events) {
            if (e.frame != frame)
                continue;
            auto found = bods.find(e.who);
            Bod* bod = found == bods.end() ? nullptr : found->second;
            std::ostringstream eventOutput;
            if (RunCameraEvent(e, bod, eventOutput)) {
                AddLines(eventOutput.str(), &lines);
            } else if (e.what == "finish" || e.what == "frag") {
                std::ostringstream report;
                RunScoreEvent(e, report);
                AddLines(report.str(), &lines);
            } else if (e.what == "halt" || e.what == "resume") {
                WH_SetHalted(e.what == "halt");
            } else if (e.what == "blast") {
                const Vec3 point{e.numbers[0], e.numbers[1], e.numbers[2]};
                BOD_BlastDamage(BOD_NO_ATTACKER, &point, e.numbers[3], e.numbers[3], e.numbers[4], BOD_MASK_CHARACTERS);
            } else if (!bod) {
                lines.push_back("(no bod " + e.who + ")");
            } else if (e.what == "action") {
                BOD_SetAction(bod, int(e.numbers[0]));
            } else if (e.what == "remote") {
                ACT_ApplyRemoteAction(bod, int(e.numbers[0]));
            } else if (e.what == "remove") {
                bod->flags |= BOD_FLAG_REMOVE;
            } else if (e.what == "command") {
                if (!SimCommand(bod, e.field, int(e.numbers[0])))
                    lines.push_back("(no character " + e.who + ")");
            } else if (SimIsCarryEvent(e.what)) {
                SimCarryEvent(e, bods, &lines);
            } else if (e.what == "select") {
                if (!SimSelect(bod, int(e.numbers[0])))
                    lines.push_back("(no character " + e.who + ")");
            }
        }
        GAME_Update();
        GAME_Frame();
        WH_AdvanceTicks(s.extraMs);
        SimKeepFrameLength(s, startTicks, frame);

        for (const std::string& call : WH_TraceSince(mark))
            if (!game || SimReportsCall(call) || SimReportsObjectCall(call))
                lines.push_back("call " + call);
        for (auto it = bods.begin(); it != bods.end();) {
            if (!InWorld(it->second)) {
                lines.push_back("removed " + it->first);
                actions.erase(it->first);
                characters.erase(it->first);
                it = bods.erase(it);
                continue;
            }
            const int now = ActionOf(it->second);
            if (now != actions[it->first])
                lines.push_back("action " + it->first + " " + std::to_string(actions[it->first]) + " -> " +
                                std::to_string(now));
            actions[it->first] = now;
            ++it;
        }
        if (s.printCamera) {
            std::ostringstream camera;
            PrintCamera(camera);
            AddLines(camera.str(), &lines);
        }
        SimCharacterLines(bods, &characters, &lines, true);
        if (game)
            SimObjectLines(bods, &lines, true);
        if (s.printPositions)
            SimPositionLines(bods, &lines);
        const auto& messages = WH_Messages();
        for (; messagesSeen < messages.size(); ++messagesSeen)
            lines.push_back("message " + WH_FormatMessage(messages[messagesSeen]));
        const std::vector<std::string> hud = WH_HudLines();
        for (const std::string& line : hud)
            if (std::find(hudSeen.begin(), hudSeen.end(), line) == hudSeen.end())
                lines.push_back("hud " + line);
        hudSeen = hud;
        // The character report leaves out the frames in which nothing happened to anybody.
        if (game && lines.empty())
            continue;
        out << header << "\n";
        for (const std::string& line : lines)
            out << "  " << line << "\n";
    }
    INP_SetCallTrace(nullptr);
    SND_SetCallTrace(nullptr);
    CDA_SetCallTrace(nullptr);
    WH_Release();
}
