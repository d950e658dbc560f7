// The game frame is built: this name only forwards to world/game_frame.h until its includers move.
#pragma once
#include "world/game_frame.h"
