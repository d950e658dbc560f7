// The movie player as the rest of the game calls it.
#pragma once

// Plays a movie given by a game path that begins with "graphics\" ("graphics\movies\intro_01.avi")
// from the install source, with the CD music stopped meanwhile; any key or button ends it.
// Returns when it has ended. In a network game it plays nothing and returns nonzero.
int FMV_PlayMovie(const char* path);
