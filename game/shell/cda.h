// CD music: the game's music is played from the audio tracks of the disc through the multimedia
// command strings of the "cdaudio" device. One track plays at a time, with a completion
// notification (MM_MCINOTIFY) to the main window that restarts a looping track; the music stops
// and resumes around movies, and the interface learns when a track has ended. Main thread only.
#pragma once
#include <cstdint>

#include "win32.h"

extern uint32_t g_CdaOpen;           // the device has been opened
extern uint32_t g_CdaPlaying;        // a play command is outstanding
extern uint32_t g_CdaLooping;        // replay the track when it ends
extern int32_t g_CdaFirstTrack;      // the remembered track range
extern int32_t g_CdaLastTrack;
extern uint32_t g_CdaTrackFinished;  // a play has ended; cleared when a new track starts

// Opens the device and sets the track time format, once.
void CDA_Open();
void CDA_Close();
// Plays one track, from its start to the start of the next, notifying the main window; the
// command is sent even when the device is not open. 0.
int CDA_PlayTrack(int track, uint32_t loop);
// 1 when a play was stopped, 0 when nothing played.
int CDA_Stop();
// Plays the remembered track again (after a movie); the track-finished flag is left alone. 0.
int CDA_Resume();
uint32_t CDA_IsTrackFinished();
void CDA_SetTrackFinished(uint32_t value);
// The main window's MM_MCINOTIFY handler: a successful end replays a looping track, or ends the
// play; other codes (superseded, aborted, failure) change nothing.
void CDA_OnNotify(WPARAM wParam);

// Tests of the start-up order observe the calls here, reported as "NAME" or "NAME(args)". Off
// (null) by default.
void CDA_SetCallTrace(void (*trace)(const char* entry));
