// The game-message layer as the rest of the game sees it: start-up reset, the per-frame update of
// a network game, the receiver, the per-player records, and the lookups that turn player ids
// (character ids in the 8 x 4 slot member table) into player indexes 0..7.
#pragma once
#include <cstdint>

#include "ui/hud.h"

struct Bod;

// Resets the per-player and per-NPC records; 1 (0 would stop the start-up).
int MSG_ResetNetState();
// The per-frame step of a network game in place of GUI_Tick: registers the receiver, pumps the
// transport, runs the interface step and sends this frame's state messages. Also runs while the
// window is minimised.
int MSG_FrameUpdate();
// Does nothing; 1.
int MSG_Shutdown();
// The game's receiver of messages (a NetMessageHandler).
int MSG_Receive(int senderSlot, int receiverSlot, const uint8_t* bytes, int length);

// The position of id among the occupied entries of the slot member table, counted from 0 in slot
// order. An id that no entry holds (or -1) gives the number of occupied entries minus 1; callers
// pass ids that are present.
int MSG_PlayerIdIndex(int id);
// 1 when an entry holds id and its slot is owned by this machine, else 0.
int MSG_IsLocalPlayerId(int id);
// The direct-control flag of the player holding id (messages 0x1c and 0x1d set and clear it); 0
// for -1, an id that no slot holds, or an index beyond the 8 players.
int MSG_GetPlayerFlag(int id);

constexpr int MSG_PLAYERS = 8;
constexpr int MSG_ITEM_ENTRIES = 9;

// What the message layer last sent or received for one player.
struct NetPlayerState {
    int32_t teamMark;
    int32_t memberIndex;
    int32_t entryKinds[MSG_ITEM_ENTRIES];  // -1 empty
    Bod* entryObjects[MSG_ITEM_ENTRIES];
    int32_t entryCounts[MSG_ITEM_ENTRIES];
    int32_t selectedEntry;
    int32_t selectedObjectId;
    int32_t valueA;
    int32_t orderA, orderB, orderC, orderD, orderE;
    float health;
    int32_t directControl;
    int32_t orderF, orderG;
    int32_t action;
    float position[3];
    float heading;
    int32_t animIndex;
    int32_t animSpeed;
    int32_t animFinished;
    void* animState;
    void* animStatePrev;
    float motion[3];
    int32_t aiState;
    int32_t positionReceived;
    int32_t statusReceived;
    PlayerStatus status;
    int32_t dropFlag;
    int32_t respawnArmed;
    int32_t respawnTimer;
};
extern NetPlayerState g_NetPlayers[MSG_PLAYERS];      // this frame
extern NetPlayerState g_NetPlayersLast[MSG_PLAYERS];  // as last sent
// The per-match state that APP_SetupMultiplayerGame resets.
extern int32_t g_MsgPlayerPresent[MSG_PLAYERS];   // a player index whose slot has a first member
extern int32_t g_MsgSendTiming[10];               // the sender's timing values
extern int32_t g_MsgLevelStart[2];                // the two level-start words
constexpr int32_t MSG_SEND_TIMING_DEFAULTS[10] = {0, 0, 100, 1, 2, 30, 0, 50, 24, 100};
// Direct-control flags by player index.
extern int32_t g_MsgPlayerFlags[MSG_PLAYERS];
// The local-effects flag: set at the start of every network frame, cleared while a received
// message is applied; pickup, drop and reload sounds play only while it is set.
extern int32_t g_WOAnnounce;
