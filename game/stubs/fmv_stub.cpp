// Stand-in for the movie player: plays nothing, so a run never blocks in a movie, but keeps the
// player's outer steps: nothing in a network game, the path mapped under the install source
// (recorded), and the CD music stopped and resumed only when it was playing.
#include <cstring>

#include "movie/fmv.h"
#include "common/match.h"
#include "shell/cda.h"
#include "common/muf.h"
#include "common/calltrace.h"

int FMV_PlayMovie(const char* path) {
    if (int multiplayer = APP_IsMultiplayerGame())
        return multiplayer;
    if (!path)
        return 0;
    const char* slash = std::strchr(path, '\\');
    const char* source = MUF_MakeSourcePath(slash ? slash + 1 : path);
    TRC_Trace("FMV_PlayMovie", "%s", source);
    const int wasPlaying = CDA_Stop();
    if (wasPlaying)
        CDA_Resume();
    return 0;
}
