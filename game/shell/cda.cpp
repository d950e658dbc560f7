// CD music over the "cdaudio" command strings. No command's result is looked at: without a disc
// every command fails quietly and no notification comes, so a play stays outstanding until
// CDA_Stop.
#include "shell/cda.h"
#include "common/calltrace.h"

#include <cstdarg>
#include <cstdio>

#include "mmsystem.h"
#include "common/app_services.h"

uint32_t g_CdaOpen = 0;
uint32_t g_CdaPlaying = 0;
uint32_t g_CdaLooping = 0;
int32_t g_CdaFirstTrack = 0;
int32_t g_CdaLastTrack = 0;
uint32_t g_CdaTrackFinished = 0;

namespace {

void (*g_CdaTrace)(const char*) = nullptr;

void CDA_Trace(const char* name, const char* format = nullptr, ...) __attribute__((format(printf, 2, 3)));
void CDA_Trace(const char* name, const char* format, ...) {
    va_list list;
    va_start(list, format);
    TRC_ReportV(g_CdaTrace, name, format, list);
    va_end(list);
}

void CDA_Send(const char* command, HWND window) {
    mciSendStringA(command, nullptr, 0, window);
}

// "play cdaudio from FIRST to LAST notify" to the main window.
void CDA_SendPlay(int32_t first, int32_t last) {
    char command[64];
    std::snprintf(command, sizeof command, "play cdaudio from %d to %d notify", first, last);
    CDA_Send(command, g_MainWindow);
}

}  // namespace

void CDA_Open() {
    CDA_Trace("CDA_Open");
    if (g_CdaOpen)
        return;
    CDA_Send("open cdaudio", nullptr);
    CDA_Send("set cdaudio time format tmsf", nullptr);
    g_CdaOpen = 1;
    g_CdaTrackFinished = 0;
}

void CDA_Close() {
    CDA_Trace("CDA_Close");
    if (!g_CdaOpen)
        return;
    CDA_Send("close cdaudio", nullptr);
    g_CdaOpen = 0;
}

int CDA_Stop() {
    CDA_Trace("CDA_Stop");
    if (!g_CdaPlaying)
        return 0;
    CDA_Send("stop cdaudio", nullptr);
    g_CdaPlaying = 0;
    return 1;
}

int CDA_PlayTrack(int track, uint32_t loop) {
    CDA_Trace("CDA_PlayTrack", "%d,%u", track, loop);
    if (g_CdaPlaying) {
        CDA_Send("stop cdaudio", nullptr);
        g_CdaPlaying = 0;
    }
    g_CdaFirstTrack = track;
    g_CdaLastTrack = track;
    g_CdaLooping = loop;
    CDA_SendPlay(track, track + 1);
    g_CdaTrackFinished = 0;
    g_CdaPlaying = 1;
    return 0;
}

int CDA_Resume() {
    CDA_Trace("CDA_Resume");
    if (g_CdaPlaying) {
        CDA_Send("stop cdaudio", nullptr);
        g_CdaPlaying = 0;
    }
    // A remembered single track is the range from it to the next, as the play sent it: a range
    // from a track to itself would be empty.
    const int32_t last = g_CdaFirstTrack == g_CdaLastTrack ? g_CdaFirstTrack + 1 : g_CdaLastTrack;
    CDA_SendPlay(g_CdaFirstTrack, last);
    g_CdaPlaying = 1;
    return 0;
}

uint32_t CDA_IsTrackFinished() {
    return g_CdaTrackFinished;
}

void CDA_SetTrackFinished(uint32_t value) {
    g_CdaTrackFinished = value;
}

void CDA_OnNotify(WPARAM wParam) {
    CDA_Trace("CDA_OnNotify", "%lu", static_cast<unsigned long>(wParam));
    if (wParam != MCI_NOTIFY_SUCCESSFUL || !g_CdaPlaying)
        return;
    if (g_CdaLooping) {
        CDA_Send("stop cdaudio", nullptr);
        g_CdaPlaying = 0;
        const int32_t last = g_CdaFirstTrack == g_CdaLastTrack ? g_CdaFirstTrack + 1 : g_CdaLastTrack;
        CDA_SendPlay(g_CdaFirstTrack, last);
        g_CdaPlaying = 1;
        g_CdaTrackFinished = 1;
    } else {
        g_CdaPlaying = 0;
        g_CdaTrackFinished = 1;
    }
}

void CDA_SetCallTrace(void (*trace)(const char* entry)) {
    g_CdaTrace = trace;
}
