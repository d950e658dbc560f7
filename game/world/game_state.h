// The game-state services that tie the interface's team slots to the world's characters: direct
// control, the selected team member, the member's owner and carried items, the level frame
// counter, the frame light override, and the match score of a network game (frags and match end).
#pragma once
#include <cstdint>

// Direct control of the selected team member. In a network game the flags of this machine's
// characters are set (1 for the member of the first selected team slot, else 0) and a client
// tells the host ({0x1c, index} or {0x1d, index}); but first, when the selected member's
// character stands below the ground of its surface, direct control is refused: no flag is set
// and nothing is sent. Taken: g_DirectControl = 1 and the world takes over.
void APP_BeginDirectControl();
// Gives direct control back: the world releases it; in a network game this
// machine's flags are cleared and a client sends {0x1d, index} for each of its characters.
void APP_EndDirectControl();
int APP_IsDirectControl();
// Re-takes direct control for each selected, unblocked team slot showing memberId; -1 stands for
// the selected team member and re-takes only while direct control is held. Recorded.
void APP_RefreshDirectControl(int memberId);
// Marks the front-end windows for redraw (state 3). Recorded.
void APP_MarkMenusForRedraw();
// Makes the team slot showing memberId the only selected one.
void APP_SelectTeamMember(int memberId);
int APP_IsSelectedTeamMember(int memberId);
// 1 when the member's player character (single player: the team slot's index; network game: the
// player index of the id) is in action 51, 58, 63, 64, 65 or 68; 0 for a member without one.
int APP_IsPlayerCharacterBusy(int memberId);
// The name of the player whose slot holds the member, or null.
const char* APP_GetMemberOwnerName(int memberId);
// Silences the emitters of the objects a member carries: in a network game the character whose
// playerId is memberId, else the team slot showing it (all nine entries). Recorded.
void APP_StopCarriedItemSounds(int memberId);
// Announces a picked-up object on the HUD (single player, from the level's fifth frame);
// recorded.
void APP_AnnouncePickup(int characterId, int objectType);

// Enters the lobby's network game after a lobby launch (a stand-in until the lobby entry is
// built).
void APP_EnterLobbyGame();

// The level frame counter: 0 at level start and at match end, +1 per in-level frame, held at 50.
int APP_GetLevelFrameCount();
void APP_ResetLevelFrameCount();
void APP_CountLevelFrame();
extern int32_t g_LevelFrameCount;

// One frame's light override (a lightning flash): the in-level step applies and clears it.
struct FrameLightOverride {
    int32_t active;
    float r, g, b;
};
extern FrameLightOverride g_FrameLight;
void APP_SetFrameLightOverride(float r, float g, float b);
// The level chosen for play (0..16, -1 none).
int APP_GetChosenLevel();

// Frags of a type-5 network match whose match is not over. The killer's slot gains a frag (loses
// one for a kill within its own slot; an environment kill has no victim); textKind 0 or 1 adds a
// HUD line. The host broadcasts message 16 (unless noSend) and ends the match when a slot reaches
// the frag limit.
void APP_RecordFrag(int killerId, int victimId, int textKind, int noSend);
// The receiver of message 16: sets the frags of the slot holding memberId; an id no slot holds
// changes nothing.
void APP_SetFragCount(int memberId, int count);
// Ends the network match once: polls the input, silences every world object's emitter, sets the
// time-limit flag (the match clock's minutes have reached the limit), the frag-limit flag, the
// finished table (this machine's slot) and the match-over flag; in a network game also the result
// (1 frag limit, 0 otherwise) and restarts the level frame counter. A second call while it is
// over does nothing. Recorded.
void APP_EndMatch(int result);
// The finished table of the match: the slots that have finished.
extern int32_t g_MatchFinished[8];
// Message 16, 12 bytes: {16, killer id, victim id, text kind, killer frags (i32 LE), victim
// frags (i32 LE)}, -1 for a missing slot.
constexpr int APP_FRAG_MESSAGE_BYTES = 12;
